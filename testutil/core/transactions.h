#pragma once
#include <cstdint>
#include <string>

#include "cheque_archive.h"
#include "core_access.h"
#include "file_store.h"
#include "log_lines.h"
#include "pay_stack.h"
#include "payment_core.h"
#include "window_services.h"

// The kind of a card operation, as the buttons pass it.
enum class OperationKind { Payment = 1, Refund = 2, Cancellation = 3 };

// What the window side binds the transactions to; all of it outlives them.
struct TTransactionsBindings {
  ILogLines& log;            // mmo1
  IStatusPanel& status;      // stat1, panel 0
  IWorkDirChooser& chooser;  // TSelectTavoDirDlg
  ICoreCom& com;
  ICoreLibrary& library;
  IFileStore& files;
  IRegionalTexts& regional;
  std::wstring programDir;   // the running program's directory, ending in a backslash
};

// The test operations through the payment core. Each clears the log and
// writes its results there, keeps the stack of test payments in step with
// what the payment core confirmed, and files the cheques it returns. Every
// result is 0 for success, a result code of the payment core, or -1 when no
// channel to the payment core could be used. An exception out of any of them
// (TUnexpectedError, or whatever a channel throws) ends the operation; the
// window side shows it and goes on.
class TTransactions {
 public:
  explicit TTransactions(const TTransactionsBindings& bindings);

  // Loads the stack of test payments (FormCreate). Throws when its file
  // exists but cannot be read; the stack then loads at its next use.
  void InitTransactions();

  int32_t Reconcile();                                   // btn1 "Сверка"
  int32_t CardOperation(OperationKind kind, int32_t amount);  // btn2, btn9, btn11, btn12
  int32_t PinpadTest();                                  // btn17 "Опросить пин-пад"
  int32_t RunServiceMenu();                              // btn18 "Тех. обслуживание"
  int32_t ReadCard();                                    // btn19 "Ридер Тест", once
  // Operations the payment core has not confirmed yet: the stacked payments,
  // else the count its statistics report; -1 when that cannot be told. Writes
  // nothing to the log.
  int32_t CountUnconfirmed();
  // Shows a library answer: its cheque, or its refusal and the code's text.
  // Returns the response code and, when it is 0, hands back the cheque for
  // filing. The operation files it once the stack has recorded the result,
  // so that a cheque that cannot be written loses no stack change.
  int32_t ReportCoreAnswer(const TCoreRecord& answer, std::wstring& cheque);

  // btn7 "Авто тест": reconcile, pay 0,01, reconcile, refund 0,01, reconcile,
  // stopping at the first step that fails; that step's result.
  int32_t RunAutoTest();
  // btn19 "Ридер Тест": one read, or with chk1 "Цикл" set reads until the
  // reader is cancelled (4334) and a count of successes and errors.
  void RunCardReading(bool loop);
  // btn13 "Выбрать рабочий каталог TAVO".
  void ChangeWorkDir();
  // btn16 and the switch to the transactions page, after the window side
  // tried CreateComServer: the registration line and the warning about
  // unconfirmed operations.
  void ReportRegistrationState();

  void FreeCoreLibrary() { access_.FreeCoreLibrary(); }
  const std::wstring& WorkDir() const { return access_.WorkDir(); }

 private:
  void ReportError(int32_t code);
  void WarnUnconfirmed();
  // Files the cheque of an operation the payment core confirmed, then throws
  // stackFailure, the text of a stack change that could not be written.
  void FileCheque(const std::wstring& cheque, ChequeKind kind, const std::wstring& stackFailure);
  // The cheque COM function just left, shown; its text for the archive.
  std::wstring ShowComCheque(ICoreCom& com);

  ILogLines& log_;
  IFileStore& files_;
  IRegionalTexts& regional_;
  std::wstring programDir_;
  TCoreAccess access_;
  TPayStack payStack_;
  TChequeArchive archive_;
};

// What lbl1 says, black when registered and red when not.
std::wstring RegistrationLabelText(bool registered);
