#pragma once
#include <windows.h>

#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "control_names.h"
#include "script.h"
#include "win_idle_probe.h"
#include "win_program.h"

// Runs script commands against TavoTest as a user would: it starts the
// program, clicks, switches pages, fills dialogs, and reads what the windows
// show. Commands act on the current window: the main window after start, a
// window found by wait-window, and again the window below once the current
// one closes.
class TDriver {
 public:
  explicit TDriver(FILE* output) : output_(output) {}
  ~TDriver();
  TDriver(const TDriver&) = delete;
  TDriver& operator=(const TDriver&) = delete;

  // Runs the commands in order and stops at the first that fails; the
  // failure (TDriverFailure) names the line and the command.
  void Run(const std::vector<TScriptCommand>& commands);

 private:
  using THandler = void (TDriver::*)(const std::vector<std::string>& arguments);
  struct TCommandSpec {
    const char* name;
    size_t minArguments;
    size_t maxArguments;
    THandler handler;
  };
  static const TCommandSpec kCommands[];

  // Actions (win_driver_actions.cpp).
  void Start(const std::vector<std::string>& arguments);
  void Close(const std::vector<std::string>& arguments);
  void SetTimeout(const std::vector<std::string>& arguments);
  void WaitWindow(const std::vector<std::string>& arguments);
  void WaitNoWindow(const std::vector<std::string>& arguments);
  void UseMainWindow(const std::vector<std::string>& arguments);
  void Click(const std::vector<std::string>& arguments);
  void SwitchPage(const std::vector<std::string>& arguments);
  void Check(const std::vector<std::string>& arguments);
  void Uncheck(const std::vector<std::string>& arguments);
  void Select(const std::vector<std::string>& arguments);
  void DoubleClick(const std::vector<std::string>& arguments);
  void Type(const std::vector<std::string>& arguments);
  void Key(const std::vector<std::string>& arguments);
  void OpenFile(const std::vector<std::string>& arguments);
  void WaitIdle(const std::vector<std::string>& arguments);
  void Screenshot(const std::vector<std::string>& arguments);

  // Reading and expectations (win_driver_checks.cpp).
  void Print(const std::vector<std::string>& arguments);
  void Expect(const std::vector<std::string>& arguments);
  void ExpectContains(const std::vector<std::string>& arguments);
  void ExpectLacks(const std::vector<std::string>& arguments);
  void PrintItems(const std::vector<std::string>& arguments);
  void ExpectItems(const std::vector<std::string>& arguments);
  void ExpectState(const std::vector<std::string>& arguments);
  void ExpectCaret(const std::vector<std::string>& arguments);
  void PrintControls(const std::vector<std::string>& arguments);

  // What a subject of print and expect shows: log, status, message, page,
  // caption, or a control of the current window; line breaks read as \n.
  std::string ReadSubject(const std::string& subject);
  std::vector<std::wstring> Entries(const std::string& control);

  // The current window, or a failure when it is no longer shown.
  HWND Current();
  HWND Main();
  TWindowKind CurrentKind();
  // A control of the current window named by number, object name or caption.
  HWND Control(const std::string& name);
  // The same, refused when a user could not reach it.
  HWND UsableControl(const std::string& name);
  int PageIndex(const std::string& page);
  int EntryIndex(HWND list, const std::string& entry);

  // Posts the messages of an action and waits until the program is idle
  // again; when the current window has closed meanwhile, the window below
  // it becomes current.
  void Act(const std::function<void()>& post);
  void ReturnToWindowBelow();
  // A short list of the program's visible windows, for failure messages.
  std::string ShownWindows() const;
  void Write(const std::string& text);

  FILE* output_;
  std::unique_ptr<TProgram> program_;
  HWND main_ = nullptr;
  HWND current_ = nullptr;
  std::unique_ptr<TIdleProbe> idle_;
  DWORD timeoutMs_ = 30000;
};
