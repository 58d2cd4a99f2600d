#pragma once
#include <windows.h>

#include <string>
#include <vector>

#include "form_layout.h"
#include "win_log_panel.h"

// What the main window's events start. The window calls these and shows any
// exception one of them throws in a message box, then goes on running.
class IMainFormEvents {
 public:
  virtual ~IMainFormEvents() = default;
  virtual void FormCreate() = 0;
  virtual void FormClose() = 0;
  // The user switched to page.
  virtual void PageChanged(TPage page) = 0;
  // A button of the table was clicked.
  virtual void Click(TControlId id) = 0;
};

// TMainForm: the one window of the program, its two pages of buttons, the
// log panel mmo1 and the status bar stat1.
class TMainForm {
 public:
  explicit TMainForm(IMainFormEvents& events) : events_(events) {}
  ~TMainForm();
  TMainForm(const TMainForm&) = delete;
  TMainForm& operator=(const TMainForm&) = delete;

  // Creates the window and its controls, runs FormCreate and shows it.
  bool Create(HINSTANCE instance, int showCommand);
  HWND Handle() const { return window_; }
  HWND Control(TControlId id) const;

  TLogPanel& Log() { return log_; }
  void SetStatusText(const std::wstring& text);
  // lbl1: the registration state, red when the COM server cannot be made.
  void SetRegistrationLabel(const std::wstring& text, bool warning);
  bool IsChecked(TControlId id) const;
  // The text shown in the drop-down list cbb1.
  std::wstring SelectedPort() const;
  void SetPorts(const std::wstring* names, size_t count);
  // Whether a message is the window's keyboard navigation (Tab, Enter).
  bool TranslateDialogMessage(MSG& message);

 private:
  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  static LRESULT CALLBACK PageProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam);
  void CreateFonts();
  void CreateControls(HINSTANCE instance);
  HWND CreateControl(const TControlSpec& spec, HWND page, HINSTANCE instance);
  void Layout();
  void ShowPage(TPage page);
  // Enter on a push button with the focus: that button's click.
  bool PressFocusedButton(HWND focus);
  // Runs an event, showing what it throws in a message box.
  template <typename Event>
  void Guarded(Event event);

  IMainFormEvents& events_;
  HWND window_ = nullptr;
  HWND tab_ = nullptr;
  HWND pages_[2] = {nullptr, nullptr};
  HWND status_ = nullptr;
  std::vector<HWND> controls_;  // one per row of the control table
  TLogPanel log_;
  HFONT normalFont_ = nullptr;
  HFONT boldFont_ = nullptr;
  HFONT labelFont_ = nullptr;
  HFONT smallFont_ = nullptr;
  HFONT logFont_ = nullptr;
  HBITMAP refreshPicture_ = nullptr;
  bool registrationWarning_ = true;
};
