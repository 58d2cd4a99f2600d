#pragma once
#include <cstddef>

// The main window's controls as data: which page and group box each sits in,
// its kind, caption and place. The window code creates them from this table,
// in table order, which is also the tab order within each group box.

enum class TControlKind { GroupBox, Button, DefaultButton, ImageButton, DropDownList, CheckBox, RadioButton, Label };
enum class TPage { Tests, Transactions };

// Control identifiers; the window code and the test driver find controls by them.
enum TControlId {
  ID_GRP1 = 1001, ID_GRP2, ID_GRP3, ID_GRP4, ID_GRP5,
  ID_CBB1 = 1101,
  ID_BTN1 = 1201, ID_BTN2, ID_BTN3, ID_BTN4, ID_BTN5, ID_BTN6, ID_BTN7, ID_BTN8, ID_BTN9, ID_BTN10,
  ID_BTN11, ID_BTN12, ID_BTN13, ID_BTN14, ID_BTN15, ID_BTN16, ID_BTN17, ID_BTN18, ID_BTN19,
  ID_CHK1 = 1301, ID_RB1, ID_RB2,
  ID_LBL1 = 1401, ID_LBL2,
  ID_PGC1 = 1501, ID_MMO1, ID_STAT1,
};

// The font a control shows its caption in.
enum class TControlFont { Normal, Bold, LabelBold13, Small9 };

struct TControlSpec {
  TControlId id;
  const char* name;       // the control's object name
  TPage page;
  TControlId group;       // the group box it lies in; 0 for a group box itself
  TControlKind kind;
  const wchar_t* caption;
  int x, y, width, height;  // relative to the group box (a group box: to its page)
  TControlFont font;
};

extern const TControlSpec kMainFormControls[];
extern const size_t kMainFormControlCount;

// The entry for id, or nullptr.
const TControlSpec* FindControlSpec(int id);

// Texts of the main window.
extern const wchar_t kMainCaption[];
extern const wchar_t kApplicationTitle[];
extern const wchar_t kTestsPageCaption[];
extern const wchar_t kTransactionsPageCaption[];
extern const wchar_t kStatusInitialText[];

constexpr int kMainWidth = 613;
constexpr int kMainHeight = 405;
constexpr int kTabWidth = 217;
