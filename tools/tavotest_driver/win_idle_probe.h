#pragma once
#include <windows.h>

#include <functional>

// Knowing when the program's window thread has dealt with an action.
//
// A thread takes sent messages before posted ones, so the answer to a sent
// message says nothing about a click posted just before it. The probe
// therefore posts, behind the action, a message whose effect can be read
// back: it raises the modified flag of the log panel, a read-only edit whose
// flag nothing else raises (only typing would; setting its text lowers it).
// Once the flag reads raised, everything posted before it has been handled,
// or the thread sits in a modal loop (a message box, a dialog) waiting for
// the user, which is just as idle.
class TIdleProbe {
 public:
  TIdleProbe(HWND marker, HANDLE process) : marker_(marker), process_(process) {}

  // Runs post, which posts the action's messages, then waits up to
  // milliseconds for the thread to be idle again (TDriverFailure if not).
  void Act(const std::function<void()>& post, DWORD milliseconds) const;
  void WaitIdle(DWORD milliseconds) const {
    Act([] {}, milliseconds);
  }

 private:
  // Fails when the program has ended or the deadline has passed.
  void CheckWaiting(ULONGLONG deadline, DWORD milliseconds, const char* what) const;

  HWND marker_;
  HANDLE process_;
};
