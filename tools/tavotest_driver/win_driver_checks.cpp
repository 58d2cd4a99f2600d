// What the user sees: texts, list entries, states; printed or compared.
#include "win_driver.h"

#include <commctrl.h>

#include "driver_failure.h"
#include "form_layout.h"
#include "win_controls.h"
#include "win_utf8.h"

namespace {

// A message box keeps its text in a static control of this identifier.
const int kMessageTextId = 0xFFFF;

// Multi-line controls separate lines with CR LF; scripts write \n.
std::string WithNewlines(const std::wstring& text) {
  std::string lines = WideToUtf8(text);
  std::string result;
  for (size_t i = 0; i < lines.size(); ++i) {
    if (lines[i] == '\r' && i + 1 < lines.size() && lines[i + 1] == '\n') continue;
    result += lines[i];
  }
  return result;
}

BOOL CALLBACK CollectChild(HWND child, LPARAM parameter) {
  reinterpret_cast<std::vector<HWND>*>(parameter)->push_back(child);
  return TRUE;
}

bool HasClass(HWND window, const wchar_t* className) { return _wcsicmp(ClassOf(window).c_str(), className) == 0; }

std::string Listed(const std::vector<std::string>& entries) {
  std::string listed;
  for (const std::string& entry : entries) listed += (listed.empty() ? "" : " ") + QuoteText(entry);
  return listed.empty() ? "none" : listed;
}

}  // namespace

std::string TDriver::ReadSubject(const std::string& subject) {
  if (subject == "log") return WithNewlines(WindowText(FindDescendant(Main(), ID_MMO1)));
  if (subject == "caption") return WideToUtf8(StoredCaption(Current()));
  if (subject == "page") {
    HWND tab = FindDescendant(Main(), ID_PGC1);
    if (!tab) throw TDriverFailure("the main window has no tab control (pgc1)");
    return WideToUtf8(TabCaption(program_->Process(), tab, static_cast<int>(SendWithin(tab, TCM_GETCURSEL, 0, 0))));
  }
  if (subject == "message") {
    if (CurrentKind() != TWindowKind::StandardDialog) throw TDriverFailure("the current window is no message box");
    HWND text = FindDescendant(Current(), kMessageTextId);
    if (!text) throw TDriverFailure("the current window is no message box");
    return WithNewlines(WindowText(text));
  }
  HWND control = subject == "status" ? FindWindowExW(Current(), nullptr, STATUSCLASSNAMEW, nullptr) : Control(subject);
  if (!control) throw TDriverFailure("the current window has no status bar");
  if (HasClass(control, STATUSCLASSNAMEW)) return WithNewlines(StatusText(program_->Process(), control, 0));
  if (IsComboBox(control) || HasClass(control, L"ListBox")) {
    const int selected = SelectedEntry(control);
    if (selected < 0) return std::string();
    return WithNewlines(ListEntries(control)[static_cast<size_t>(selected)]);
  }
  return WithNewlines(WindowText(control));
}

void TDriver::Print(const std::vector<std::string>& arguments) { Write(ReadSubject(arguments[0]) + "\n"); }

void TDriver::Expect(const std::vector<std::string>& arguments) {
  const std::string actual = ReadSubject(arguments[0]);
  if (actual != arguments[1]) {
    throw TDriverFailure(arguments[0] + " shows " + QuoteText(actual) + ", expected " + QuoteText(arguments[1]));
  }
}

void TDriver::ExpectContains(const std::vector<std::string>& arguments) {
  const std::string actual = ReadSubject(arguments[0]);
  if (actual.find(arguments[1]) == std::string::npos) {
    throw TDriverFailure(arguments[0] + " lacks " + QuoteText(arguments[1]) + "; it shows " + QuoteText(actual));
  }
}

void TDriver::ExpectLacks(const std::vector<std::string>& arguments) {
  const std::string actual = ReadSubject(arguments[0]);
  if (actual.find(arguments[1]) != std::string::npos) {
    throw TDriverFailure(arguments[0] + " contains " + QuoteText(arguments[1]) + "; it shows " + QuoteText(actual));
  }
}

std::vector<std::wstring> TDriver::Entries(const std::string& control) {
  HWND list = Control(control);
  if (!IsComboBox(list) && !HasClass(list, L"ListBox")) throw TDriverFailure(control + " is no list");
  return ListEntries(list);
}

void TDriver::PrintItems(const std::vector<std::string>& arguments) {
  std::string text;
  for (const std::wstring& entry : Entries(arguments[0])) text += WideToUtf8(entry) + "\n";
  Write(text);
}

void TDriver::ExpectItems(const std::vector<std::string>& arguments) {
  std::vector<std::string> actual;
  for (const std::wstring& entry : Entries(arguments[0])) actual.push_back(WideToUtf8(entry));
  const std::vector<std::string> expected(arguments.begin() + 1, arguments.end());
  if (actual != expected) {
    throw TDriverFailure(arguments[0] + " holds " + Listed(actual) + ", expected " + Listed(expected));
  }
}

void TDriver::ExpectState(const std::vector<std::string>& arguments) {
  HWND control = Control(arguments[0]);
  for (size_t i = 1; i < arguments.size(); ++i) {
    const std::string& state = arguments[i];
    bool holds;
    if (state == "checked" || state == "unchecked") {
      holds = (SendWithin(control, BM_GETCHECK, 0, 0) == BST_CHECKED) == (state == "checked");
    } else if (state == "enabled" || state == "disabled") {
      holds = (IsWindowEnabled(control) != FALSE) == (state == "enabled");
    } else if (state == "visible" || state == "hidden") {
      holds = (IsWindowVisible(control) != FALSE) == (state == "visible");
    } else {
      throw TDriverFailure("unknown state " + state + " (checked, unchecked, enabled, disabled, visible, hidden)");
    }
    if (!holds) throw TDriverFailure(arguments[0] + " is not " + state);
  }
}

void TDriver::ExpectCaret(const std::vector<std::string>& arguments) {
  HWND edit = Control(arguments[0]);
  // With null pointers the answer packs both ends into one value.
  const LRESULT selection = SendWithin(edit, EM_GETSEL, 0, 0);
  const DWORD start = LOWORD(selection);
  const DWORD end = HIWORD(selection);
  const std::string expectedStart = arguments[1];
  const std::string expectedEnd = arguments.size() > 2 ? arguments[2] : arguments[1];
  if (std::to_string(start) != expectedStart || std::to_string(end) != expectedEnd) {
    throw TDriverFailure(arguments[0] + " has its selection from " + std::to_string(start) + " to " +
                         std::to_string(end) + ", expected " + expectedStart + " to " + expectedEnd);
  }
}

void TDriver::PrintControls(const std::vector<std::string>&) {
  std::vector<HWND> children;
  EnumChildWindows(Current(), CollectChild, reinterpret_cast<LPARAM>(&children));
  std::string text;
  for (HWND child : children) {
    text += std::to_string(GetDlgCtrlID(child)) + " " + WideToUtf8(ClassOf(child)) + " " +
            QuoteText(WideToUtf8(StoredCaption(child))) + (IsWindowVisible(child) ? "" : " hidden") + "\n";
  }
  Write(text);
}
