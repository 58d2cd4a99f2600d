// What the user does: start and close, clicks, pages, lists, keys, dialogs.
#include "win_driver.h"

#include <commctrl.h>

#include "driver_failure.h"
#include "form_layout.h"
#include "win_controls.h"
#include "win_picture.h"
#include "win_utf8.h"

namespace {

// Polls condition until it holds or the time limit passes.
template <typename Condition>
bool WaitUntil(DWORD milliseconds, Condition condition) {
  const ULONGLONG deadline = GetTickCount64() + milliseconds;
  while (!condition()) {
    if (GetTickCount64() >= deadline) return false;
    Sleep(50);
  }
  return true;
}

std::wstring QuotedArguments(const std::vector<std::string>& arguments) {
  std::wstring line;
  for (size_t i = 1; i < arguments.size(); ++i) {
    const std::wstring argument = Utf8ToWide(arguments[i]);
    if (i > 1) line += L" ";
    line += argument.find_first_of(L" \t") == std::wstring::npos ? argument : L"\"" + argument + L"\"";
  }
  return line;
}

bool IsChecked(HWND button) { return SendWithin(button, BM_GETCHECK, 0, 0) == BST_CHECKED; }

void PostNotification(HWND control, WORD code) {
  PostMessageW(GetParent(control), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(control), code),
               reinterpret_cast<LPARAM>(control));
}

struct TKeyName {
  const char* name;
  WPARAM key;
};
const TKeyName kKeys[] = {{"enter", VK_RETURN}, {"escape", VK_ESCAPE}, {"tab", VK_TAB},    {"space", VK_SPACE},
                          {"up", VK_UP},        {"down", VK_DOWN},     {"left", VK_LEFT}, {"right", VK_RIGHT}};

}  // namespace

void TDriver::Start(const std::vector<std::string>& arguments) {
  if (program_ && program_->Running()) throw TDriverFailure("the program is running already");
  program_.reset(new TProgram);
  main_ = current_ = nullptr;
  idle_.reset();
  program_->Start(Utf8ToWide(arguments[0]), QuotedArguments(arguments));
  HWND main = nullptr;
  if (!WaitUntil(timeoutMs_, [&] { return (main = program_->FindWindow(L"TMainForm", nullptr)) != nullptr; })) {
    throw TDriverFailure("no main window (TMainForm) within " + std::to_string(timeoutMs_ / 1000) +
                         " s; the program shows: " + ShownWindows());
  }
  HWND log = FindDescendant(main, ID_MMO1);
  if (!log) throw TDriverFailure("the main window has no log panel (mmo1)");
  main_ = current_ = main;
  idle_.reset(new TIdleProbe(log, program_->Process()));
  idle_->WaitIdle(timeoutMs_);
}

void TDriver::Close(const std::vector<std::string>&) {
  HWND window = Current();
  if (window != main_) {
    Act([window] { PostMessageW(window, WM_CLOSE, 0, 0); });
    if (IsWindow(window) && IsWindowVisible(window)) throw TDriverFailure("the window is still shown");
    return;
  }
  PostMessageW(window, WM_CLOSE, 0, 0);
  DWORD exitCode = 0;
  if (!program_->WaitForExit(timeoutMs_, &exitCode)) {
    throw TDriverFailure("the program has not ended " + std::to_string(timeoutMs_ / 1000) +
                         " s after its main window was closed; it shows: " + ShownWindows());
  }
  main_ = current_ = nullptr;
  idle_.reset();
}

void TDriver::SetTimeout(const std::vector<std::string>& arguments) {
  const int seconds = std::atoi(arguments[0].c_str());
  if (seconds <= 0) throw TDriverFailure("not a number of seconds: " + arguments[0]);
  timeoutMs_ = static_cast<DWORD>(seconds) * 1000;
}

void TDriver::WaitWindow(const std::vector<std::string>& arguments) {
  Main();
  const std::wstring className = Utf8ToWide(arguments[0]);
  const std::wstring caption = arguments.size() > 1 ? Utf8ToWide(arguments[1]) : std::wstring();
  const std::wstring* wanted = arguments.size() > 1 ? &caption : nullptr;
  HWND found = nullptr;
  if (!WaitUntil(timeoutMs_, [&] { return (found = program_->FindWindow(className, wanted)) != nullptr; })) {
    throw TDriverFailure("no such window within " + std::to_string(timeoutMs_ / 1000) +
                         " s; the program shows: " + ShownWindows());
  }
  current_ = found;
}

void TDriver::WaitNoWindow(const std::vector<std::string>& arguments) {
  Main();
  const std::wstring className = Utf8ToWide(arguments[0]);
  if (!WaitUntil(timeoutMs_, [&] { return program_->FindWindow(className, nullptr) == nullptr; })) {
    throw TDriverFailure("still shown after " + std::to_string(timeoutMs_ / 1000) + " s");
  }
  if (current_ != main_ && !IsWindowVisible(current_)) current_ = main_;
}

void TDriver::UseMainWindow(const std::vector<std::string>&) { current_ = Main(); }

void TDriver::Click(const std::vector<std::string>& arguments) {
  HWND control = UsableControl(arguments[0]);
  // Posted, never sent: the click's operation blocks the program's thread.
  Act([control] { PostMessageW(control, BM_CLICK, 0, 0); });
}

void TDriver::SwitchPage(const std::vector<std::string>& arguments) {
  HWND tab = FindDescendant(Main(), ID_PGC1);
  if (!tab || !IsUsable(tab)) throw TDriverFailure("the pages of the main window cannot be switched now");
  const int index = PageIndex(arguments[0]);
  // On a tab control of tabs (not buttons) this moves the selection and
  // notifies the window as a click on the tab does.
  Act([tab, index] { PostMessageW(tab, TCM_SETCURFOCUS, static_cast<WPARAM>(index), 0); });
  if (SendWithin(tab, TCM_GETCURSEL, 0, 0) != index) throw TDriverFailure("the page did not change");
}

void TDriver::Check(const std::vector<std::string>& arguments) {
  HWND button = UsableControl(arguments[0]);
  if (IsChecked(button)) return;
  Act([button] { PostMessageW(button, BM_CLICK, 0, 0); });
  if (!IsChecked(button)) throw TDriverFailure(arguments[0] + " is still not checked");
}

void TDriver::Uncheck(const std::vector<std::string>& arguments) {
  HWND button = UsableControl(arguments[0]);
  if (!IsChecked(button)) return;
  Act([button] { PostMessageW(button, BM_CLICK, 0, 0); });
  if (IsChecked(button)) throw TDriverFailure(arguments[0] + " is still checked");
}

void TDriver::Select(const std::vector<std::string>& arguments) {
  HWND list = UsableControl(arguments[0]);
  const WPARAM index = static_cast<WPARAM>(EntryIndex(list, arguments[1]));
  if (IsComboBox(list)) {
    Act([list, index] {
      PostMessageW(list, CB_SETCURSEL, index, 0);
      PostNotification(list, CBN_SELCHANGE);
    });
  } else {
    Act([list, index] {
      PostMessageW(list, LB_SETCURSEL, index, 0);
      PostNotification(list, LBN_SELCHANGE);
    });
  }
}

void TDriver::DoubleClick(const std::vector<std::string>& arguments) {
  HWND list = UsableControl(arguments[0]);
  if (IsComboBox(list)) throw TDriverFailure("a drop-down list takes select, not double-click");
  const WPARAM index = static_cast<WPARAM>(EntryIndex(list, arguments[1]));
  // The first click of a double click selects the entry.
  Act([list, index] {
    PostMessageW(list, LB_SETCURSEL, index, 0);
    PostNotification(list, LBN_SELCHANGE);
    PostNotification(list, LBN_DBLCLK);
  });
}

void TDriver::Type(const std::vector<std::string>& arguments) {
  HWND field = UsableControl(arguments[0]);
  const std::wstring text = Utf8ToWide(arguments[1]);
  // The system carries a text set by message across to the program.
  SendWithin(field, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
  Act([] {});
}

void TDriver::Key(const std::vector<std::string>& arguments) {
  const TKeyName* key = nullptr;
  for (const TKeyName& entry : kKeys) {
    if (arguments[0] == entry.name) key = &entry;
  }
  if (!key) throw TDriverFailure("unknown key " + arguments[0]);
  HWND window = Current();
  if (!IsUsable(window)) throw TDriverFailure("the current window takes no input now (disabled)");
  // Keys go to the control that has the focus, as typed keys do.
  GUITHREADINFO thread = {};
  thread.cbSize = sizeof thread;
  HWND target = window;
  if (GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &thread) && thread.hwndFocus &&
      (thread.hwndFocus == window || IsChild(window, thread.hwndFocus))) {
    target = thread.hwndFocus;
  }
  const WPARAM code = key->key;
  Act([target, code] {
    PostMessageW(target, WM_KEYDOWN, code, 1);
    PostMessageW(target, WM_KEYUP, code, static_cast<LPARAM>(0xC0000001u));
  });
}

void TDriver::OpenFile(const std::vector<std::string>& arguments) {
  HWND dialog = Current();
  if (CurrentKind() != TWindowKind::StandardDialog) throw TDriverFailure("the current window is no file dialog");
  HWND field = Control("file-name");
  const std::wstring path = Utf8ToWide(arguments[0]);
  SendWithin(field, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(path.c_str()));
  HWND open = UsableControl("open");
  Act([open] { PostMessageW(open, BM_CLICK, 0, 0); });
  if (IsWindow(dialog) && IsWindowVisible(dialog)) {
    throw TDriverFailure("the file dialog is still shown after Open; the program shows: " + ShownWindows());
  }
}

void TDriver::WaitIdle(const std::vector<std::string>&) {
  Act([] {});
}

void TDriver::Screenshot(const std::vector<std::string>& arguments) {
  HWND window = arguments.size() > 1 ? Control(arguments[1]) : Current();
  // Painting comes after the posted messages; give it a moment.
  Act([] {});
  Sleep(500);
  Act([] {});
  SaveWindowPicture(window, Utf8ToWide(arguments[0]));
}
