#pragma once
#include <string>

// The kinds of window a script talks to; each has its own control names.
enum class TWindowKind {
  MainForm,       // TMainForm: the names of the form's control table, pgc1, mmo1, stat1
  WorkDirDialog,  // TSelectTavoDirDlg: lst1, btn1, btn2, btn3, stat1
  StandardDialog, // "#32770", message boxes and the file-open dialog: ok, cancel, yes, no, ..., open, file-name
  Other,
};

TWindowKind WindowKindOfClass(const std::string& className);

// A control identifier written as a number: decimal digits only.
bool IsDecimalNumber(const std::string& word);

// The control identifier that word names in a window of that kind: a decimal
// number as written, else the control's object name; -1 when it is neither.
int ControlIdByName(TWindowKind kind, const std::string& word);

// The file-open dialog's file name field: an edit of its own in the old
// layout, the edit inside a combo box in the explorer layout.
constexpr int kFileNameEditId = 0x480;
constexpr int kFileNameComboId = 0x47c;
