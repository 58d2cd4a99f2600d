#include "win_log_panel.h"

void TLogPanel::Attach(HWND edit) {
  edit_ = edit;
  // Text added by EM_REPLACESEL stops at the control's limit (about 30000
  // characters until told otherwise); the log has no limit of its own.
  SendMessageW(edit_, EM_SETLIMITTEXT, 0, 0);
}

void TLogPanel::Clear() {
  lines_.Clear();
  if (edit_) SetWindowTextW(edit_, L"");
}

// Only the new lines go to the control: rewriting the whole text for every
// line made a long listing take time that grew with the square of its length.
void TLogPanel::Add(const std::wstring& text) {
  const size_t before = lines_.Lines().size();
  lines_.Add(text);
  if (!edit_) return;
  std::wstring added;
  const std::vector<std::wstring>& lines = lines_.Lines();
  for (size_t i = before; i < lines.size(); ++i) {
    if (i > 0) added += L"\r\n";
    added += lines[i];
  }
  // Replacing the empty selection at the end leaves the caret behind the new
  // text and scrolls it into view, so the end stays in view as it does when
  // lines are appended to a memo. It also raises the control's modified flag
  // as typing would; nobody typed into the log, so the flag keeps its value.
  const LRESULT modified = SendMessageW(edit_, EM_GETMODIFY, 0, 0);
  const LRESULT length = SendMessageW(edit_, WM_GETTEXTLENGTH, 0, 0);
  SendMessageW(edit_, EM_SETSEL, static_cast<WPARAM>(length), static_cast<LPARAM>(length));
  SendMessageW(edit_, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(added.c_str()));
  SendMessageW(edit_, EM_SETMODIFY, static_cast<WPARAM>(modified), 0);
}

void TLogPanel::CaretToStart() {
  if (!edit_) return;
  SendMessageW(edit_, EM_SETSEL, 0, 0);
  SendMessageW(edit_, EM_SCROLLCARET, 0, 0);
}
