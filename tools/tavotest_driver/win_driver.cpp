#include "win_driver.h"

#include <commctrl.h>

#include "driver_failure.h"
#include "form_layout.h"
#include "win_controls.h"
#include "win_utf8.h"

const TDriver::TCommandSpec TDriver::kCommands[] = {
    {"start", 1, 99, &TDriver::Start},
    {"close", 0, 0, &TDriver::Close},
    {"timeout", 1, 1, &TDriver::SetTimeout},
    {"wait-window", 1, 2, &TDriver::WaitWindow},
    {"wait-no-window", 1, 1, &TDriver::WaitNoWindow},
    {"main-window", 0, 0, &TDriver::UseMainWindow},
    {"click", 1, 1, &TDriver::Click},
    {"switch-page", 1, 1, &TDriver::SwitchPage},
    {"check", 1, 1, &TDriver::Check},
    {"uncheck", 1, 1, &TDriver::Uncheck},
    {"select", 2, 2, &TDriver::Select},
    {"double-click", 2, 2, &TDriver::DoubleClick},
    {"type", 2, 2, &TDriver::Type},
    {"key", 1, 1, &TDriver::Key},
    {"open-file", 1, 1, &TDriver::OpenFile},
    {"wait-idle", 0, 0, &TDriver::WaitIdle},
    {"screenshot", 1, 2, &TDriver::Screenshot},
    {"print", 1, 1, &TDriver::Print},
    {"expect", 2, 2, &TDriver::Expect},
    {"expect-contains", 2, 2, &TDriver::ExpectContains},
    {"expect-lacks", 2, 2, &TDriver::ExpectLacks},
    {"print-items", 1, 1, &TDriver::PrintItems},
    {"expect-items", 1, 999, &TDriver::ExpectItems},
    {"expect-state", 2, 9, &TDriver::ExpectState},
    {"expect-caret", 2, 3, &TDriver::ExpectCaret},
    {"print-controls", 0, 0, &TDriver::PrintControls},
};

TDriver::~TDriver() {
  // A script that failed half-way leaves no program behind.
  if (program_) program_->Terminate();
}

void TDriver::Run(const std::vector<TScriptCommand>& commands) {
  std::vector<const TCommandSpec*> specs;
  for (const TScriptCommand& command : commands) {
    const TCommandSpec* found = nullptr;
    for (const TCommandSpec& spec : kCommands) {
      if (command.name == spec.name) found = &spec;
    }
    const std::string where = "line " + std::to_string(command.line) + ": " + command.name;
    if (!found) throw TScriptError(where + ": unknown command");
    if (command.arguments.size() < found->minArguments || command.arguments.size() > found->maxArguments) {
      throw TScriptError(where + ": wrong number of arguments");
    }
    specs.push_back(found);
  }
  for (size_t i = 0; i < commands.size(); ++i) {
    try {
      (this->*specs[i]->handler)(commands[i].arguments);
    } catch (const TDriverFailure& failure) {
      throw TDriverFailure("line " + std::to_string(commands[i].line) + ": " + commands[i].name + ": " +
                           failure.what());
    }
  }
}

HWND TDriver::Main() {
  if (!main_ || !program_ || !program_->Running()) throw TDriverFailure("the program is not running");
  return main_;
}

HWND TDriver::Current() {
  Main();
  if (!IsWindow(current_) || !IsWindowVisible(current_)) {
    throw TDriverFailure("the current window is no longer shown; the program shows: " + ShownWindows());
  }
  return current_;
}

TWindowKind TDriver::CurrentKind() { return WindowKindOfClass(WideToUtf8(ClassOf(Current()))); }

HWND TDriver::Control(const std::string& name) {
  HWND window = Current();
  const TWindowKind kind = CurrentKind();
  const int id = ControlIdByName(kind, name);
  HWND control = nullptr;
  if (id < 0) {
    control = FindDescendantByCaption(window, Utf8ToWide(name));
  } else if (kind == TWindowKind::StandardDialog && id == kFileNameEditId) {
    // An edit of its own in the old layout, inside a combo box in the new.
    control = FindDescendant(window, kFileNameEditId, L"Edit");
    if (!control) control = FindDescendant(window, kFileNameComboId, L"Edit");
  } else if (kind == TWindowKind::StandardDialog && !IsDecimalNumber(name)) {
    // A named dialog button: in the file dialog its list view shares the
    // identifier of the Open button.
    control = FindDescendant(window, id, L"Button");
  } else {
    control = FindDescendant(window, id);
  }
  if (!control) {
    throw TDriverFailure("no control " + name + " in the window " + WideToUtf8(ClassOf(window)) + " \"" +
                         WideToUtf8(StoredCaption(window)) + "\"");
  }
  return control;
}

HWND TDriver::UsableControl(const std::string& name) {
  HWND control = Control(name);
  if (!IsUsable(control)) {
    throw TDriverFailure(name + " cannot be used now: it or a window above it is " +
                         (IsWindowVisible(control) ? "disabled" : "hidden"));
  }
  return control;
}

int TDriver::PageIndex(const std::string& page) {
  HWND tab = FindDescendant(Main(), ID_PGC1);
  if (!tab) throw TDriverFailure("the main window has no tab control (pgc1)");
  const int count = TabCount(tab);
  std::string captions;
  for (int i = 0; i < count; ++i) {
    const std::string caption = WideToUtf8(TabCaption(program_->Process(), tab, i));
    if (caption == page || page == std::to_string(i + 1)) return i;
    captions += (i ? ", " : "") + QuoteText(caption);
  }
  throw TDriverFailure("no page " + QuoteText(page) + "; the pages are " + captions);
}

int TDriver::EntryIndex(HWND list, const std::string& entry) {
  const std::vector<std::wstring> entries = ListEntries(list);
  if (entry.size() > 1 && entry[0] == '#') {
    const int number = std::atoi(entry.c_str() + 1);
    if (number >= 1 && static_cast<size_t>(number) <= entries.size()) return number - 1;
  }
  for (size_t i = 0; i < entries.size(); ++i) {
    if (WideToUtf8(entries[i]) == entry) return static_cast<int>(i);
  }
  std::string shown;
  for (const std::wstring& text : entries) shown += (shown.empty() ? "" : ", ") + QuoteText(WideToUtf8(text));
  throw TDriverFailure("no entry " + QuoteText(entry) + "; the entries are: " + (shown.empty() ? "none" : shown));
}

void TDriver::Act(const std::function<void()>& post) {
  Main();
  HWND below = current_ ? GetWindow(current_, GW_OWNER) : nullptr;
  idle_->Act(post, timeoutMs_);
  if (current_ && current_ != main_ && (!IsWindow(current_) || !IsWindowVisible(current_))) {
    current_ = below && IsWindowVisible(below) ? below : main_;
  }
}

namespace {

struct TShownWindows {
  DWORD processId;
  std::string list;
};

BOOL CALLBACK AddShown(HWND window, LPARAM parameter) {
  auto* shown = reinterpret_cast<TShownWindows*>(parameter);
  DWORD processId = 0;
  GetWindowThreadProcessId(window, &processId);
  if (processId != shown->processId || !IsWindowVisible(window)) return TRUE;
  if (!shown->list.empty()) shown->list += ", ";
  shown->list += WideToUtf8(ClassOf(window)) + " " + QuoteText(WideToUtf8(StoredCaption(window)));
  return TRUE;
}

}  // namespace

std::string TDriver::ShownWindows() const {
  if (!program_ || !program_->Running()) return "nothing (it has ended)";
  TShownWindows shown = {GetProcessId(program_->Process()), std::string()};
  EnumWindows(AddShown, reinterpret_cast<LPARAM>(&shown));
  return shown.list.empty() ? "no window" : shown.list;
}

void TDriver::Write(const std::string& text) {
  fwrite(text.data(), 1, text.size(), output_);
  fflush(output_);
}
