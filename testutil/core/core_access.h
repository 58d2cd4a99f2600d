#pragma once
#include <string>

#include "log_lines.h"
#include "payment_core.h"
#include "window_services.h"

// Which channel an operation reaches the payment core by, and the working
// directory the library is loaded from. The COM server is used whenever its
// object exists; the library only otherwise, loaded on first use from the
// working directory and kept until FreeCoreLibrary.
class TCoreAccess {
 public:
  TCoreAccess(ICoreCom& com, ICoreLibrary& library, IWorkDirChooser& chooser, IStatusPanel& status,
              ILogLines& log);

  // The COM server when its object exists, else nothing.
  ICoreCom* Com();
  // The library when the COM server is absent, the library is loaded (or
  // loads now) and it exports the entry point; else nothing.
  ICoreLibrary* Library(CoreEntry entry);

  // Shows the dialog and takes its result as the working directory, shown in
  // the status panel; whether one is set. A library already loaded stays.
  bool ChooseWorkDir();
  // Loads the library on first use, asking for the working directory when
  // none is set. A library that does not load is reported in the log and
  // tried again at the next use.
  bool EnsureCoreLibrary();
  void FreeCoreLibrary();
  // Ends in a backslash, or is empty (then the system's search finds the
  // library by its bare name).
  const std::wstring& WorkDir() const { return workDir_; }

 private:
  void TakeWorkDir(const std::wstring& workDir);

  ICoreCom& com_;
  ICoreLibrary& library_;
  IWorkDirChooser& chooser_;
  IStatusPanel& status_;
  ILogLines& log_;
  std::wstring workDir_;
  bool libraryLoaded_ = false;
};
