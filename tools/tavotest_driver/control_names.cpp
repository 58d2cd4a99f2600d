#include "control_names.h"

#include "form_layout.h"

namespace {

struct TNamedId {
  const char* name;
  int id;
};

// The main window's controls that lie outside the form's control table.
const TNamedId kMainFormFrame[] = {{"pgc1", ID_PGC1}, {"mmo1", ID_MMO1}, {"stat1", ID_STAT1}};

// The working-directory dialog builds its controls in this order.
const TNamedId kWorkDirDialog[] = {{"lst1", 2001}, {"btn1", 2002}, {"btn2", 2003}, {"btn3", 2004}, {"stat1", 2005}};

// Message box buttons carry the dialog result they give; the file-open
// dialog's Open button is its OK.
const TNamedId kStandardDialog[] = {{"ok", 1},     {"cancel", 2},  {"abort", 3},
                                    {"retry", 4},  {"ignore", 5},  {"yes", 6},
                                    {"no", 7},     {"open", 1},    {"file-name", kFileNameEditId}};

template <size_t N>
int Find(const TNamedId (&table)[N], const std::string& word) {
  for (const TNamedId& entry : table) {
    if (word == entry.name) return entry.id;
  }
  return -1;
}

}  // namespace

bool IsDecimalNumber(const std::string& word) {
  if (word.empty() || word.size() > 9) return false;
  for (char c : word) {
    if (c < '0' || c > '9') return false;
  }
  return true;
}

TWindowKind WindowKindOfClass(const std::string& className) {
  if (className == "TMainForm") return TWindowKind::MainForm;
  if (className == "TSelectTavoDirDlg") return TWindowKind::WorkDirDialog;
  if (className == "#32770") return TWindowKind::StandardDialog;
  return TWindowKind::Other;
}

int ControlIdByName(TWindowKind kind, const std::string& word) {
  if (IsDecimalNumber(word)) return std::stoi(word);
  switch (kind) {
    case TWindowKind::MainForm:
      for (size_t i = 0; i < kMainFormControlCount; ++i) {
        if (word == kMainFormControls[i].name) return kMainFormControls[i].id;
      }
      return Find(kMainFormFrame, word);
    case TWindowKind::WorkDirDialog:
      return Find(kWorkDirDialog, word);
    case TWindowKind::StandardDialog:
      return Find(kStandardDialog, word);
    case TWindowKind::Other:
      break;
  }
  return -1;
}
