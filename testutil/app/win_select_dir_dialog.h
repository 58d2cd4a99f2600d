#pragma once
#include <windows.h>

#include <string>

// TSelectTavoDirDlg: picks the payment core's working directory, the folder
// that holds corvo_nt.dll, from a search of the fixed disks or by browsing to
// the file. One window for the whole run, hidden between showings; the list,
// the status text and the result stay as they were.
class TSelectTavoDirDlg {
 public:
  ~TSelectTavoDirDlg();
  bool Create(HINSTANCE instance);
  // Shows the dialog over owner until it closes; the result, ending in a
  // backslash, or empty while none was ever chosen.
  std::wstring ShowModal(HWND owner);
  HWND Handle() const { return window_; }

 private:
  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam);
  void FindDirectories();  // btn2Click
  void ChooseDirectory();  // btn1Click
  void TakeSelectedEntry();  // lst1DblClick
  void ShowSelectedEntry();  // lst1Click
  bool SelectedEntry(std::wstring* entry) const;
  bool BrowseForLibrary(std::wstring* directory);
  void SetStatusText(const std::wstring& text);
  void EnableButtons(bool enable);
  void Close();

  HWND window_ = nullptr;
  HWND list_ = nullptr;
  HWND status_ = nullptr;
  HWND buttons_[3] = {};
  HFONT font_ = nullptr;
  std::wstring result_;
  bool showing_ = false;
};
