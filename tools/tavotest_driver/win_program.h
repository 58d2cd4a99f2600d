#pragma once
#include <windows.h>

#include <string>

// The program under test, started by the driver. The driver sees only this
// program's top-level windows, so a window of another program with the same
// class (a second instance, a system dialog) is never mistaken for it.
class TProgram {
 public:
  TProgram() = default;
  ~TProgram();
  TProgram(const TProgram&) = delete;
  TProgram& operator=(const TProgram&) = delete;

  // Starts path with arguments (already quoted as needed) in the program's
  // own folder, as a double click in a file manager would.
  void Start(const std::wstring& path, const std::wstring& arguments);
  bool Running() const;
  HANDLE Process() const { return process_; }

  // A visible top-level window of the program of that class (and with that
  // caption, unless caption is null); nullptr if there is none.
  HWND FindWindow(const std::wstring& className, const std::wstring* caption) const;

  // Waits up to milliseconds for the program to end.
  bool WaitForExit(DWORD milliseconds, DWORD* exitCode) const;
  void Terminate();

 private:
  HANDLE process_ = nullptr;
  DWORD id_ = 0;
};
