#pragma once
#include <windows.h>

#include "file_store.h"
#include "transactions.h"
#include "win_core_channels.h"
#include "win_main_form.h"
#include "win_select_dir_dialog.h"
#include "win_window_services.h"

// The program: the main window, the working-directory dialog, and what each
// of the window's events starts.
class TTavoTest final : public IMainFormEvents {
 public:
  explicit TTavoTest(HINSTANCE instance);
  // Creates both windows; false when the system refuses them.
  bool Start(int showCommand);
  // The event loop, until the main window closes; the exit code.
  int Run();

  void FormCreate() override;
  void FormClose() override;
  void PageChanged(TPage page) override;
  void Click(TControlId id) override;

 private:
  void RefreshPorts();            // btn5Click
  void ProbeAll();                // btn3Click
  void ShowRegistrationState();   // btn16Click
  void RegisterComServer(bool unregister);  // btn14Click, btn15Click
  void CheckHosts();              // btn10Click
  // btn6Click, btn8Click: the payment core lets go of the port meanwhile.
  template <typename Exchange>
  void WithPortFree(Exchange exchange);

  HINSTANCE instance_;
  TMainForm form_;
  TSelectTavoDirDlg dirDialog_;
  TStatusPanel status_;
  TWorkDirChooser chooser_;
  TComChannel com_;
  TLibraryChannel library_;
  TDiskFileStore files_;
  TRegionalTexts regional_;
  TPinpadPort pinpad_;
  THostProbe hosts_;
  std::wstring programDir_;
  TTransactions transactions_;
};
