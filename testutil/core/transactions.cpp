#include "transactions.h"

#include "ansi_text.h"
#include "card_texts.h"
#include "cheque_text.h"
#include "error_texts.h"
#include "statistics_count.h"
#include "unexpected_error.h"

namespace {

// Functions of the COM server.
constexpr int32_t kServiceMenuFunction = 10;
constexpr int32_t kPinpadTestFunction = 13;
constexpr int32_t kPaymentFunction = 4000;
constexpr int32_t kCardReadFunction = 5002;
constexpr int32_t kReconcileFunction = 6000;
constexpr int32_t kStatisticsFunction = 6002;

// Operation types of the library's records.
constexpr int32_t kStatisticsType = 0;
constexpr int32_t kPaymentType = 1;
constexpr int32_t kCancellationType = 3;
constexpr int32_t kReconcileType = 7;

// The result of an operation that found no channel to the payment core.
constexpr int32_t kNoChannel = -1;
// The reader was cancelled: a card-read loop ends.
constexpr int32_t kReadCancelled = 4334;

constexpr size_t kCardNumberLength = 20;
constexpr size_t kExpiryLength = 6;

std::wstring LibraryText(const std::string& bytes, size_t limit) {
  return AnsiToWide(FieldText(bytes).substr(0, limit));
}

}  // namespace

TTransactions::TTransactions(const TTransactionsBindings& bindings)
    : log_(bindings.log),
      files_(bindings.files),
      regional_(bindings.regional),
      programDir_(bindings.programDir),
      access_(bindings.com, bindings.library, bindings.chooser, bindings.status, bindings.log),
      payStack_(bindings.files, bindings.programDir + L"pay_stack"),
      archive_(bindings.files, bindings.regional, bindings.log, bindings.programDir) {}

void TTransactions::InitTransactions() {
  access_.FreeCoreLibrary();
  payStack_.LoadPayStack();
}

void TTransactions::ReportError(int32_t code) {
  log_.Add(L"Ошибка: " + std::to_wstring(code) + L"\r\n");
  log_.Add(GetErrorText(files_, programDir_, code));
}

std::wstring TTransactions::ShowComCheque(ICoreCom& com) {
  const std::wstring cheque = CleanChequeText(com.GParamString(L"Cheque"));
  log_.Add(cheque);
  return cheque;
}

int32_t TTransactions::ReportCoreAnswer(const TCoreRecord& answer, std::wstring& cheque) {
  const int32_t code = ResponseCodeOf(answer);
  if (code == 0) {
    cheque = CleanChequeText(AnsiToWide(answer.text));
    log_.Add(cheque);
  } else {
    log_.Add(AnsiToWide(FieldText(answer.message)) + L": " + AnsiToWide(FieldText(answer.responseCode)) + L"\r\n");
    log_.Add(GetErrorText(files_, programDir_, code));
  }
  return code;
}

int32_t TTransactions::Reconcile() {
  int32_t result = kNoChannel;
  log_.Clear();
  if (!payStack_.CanReconcile()) {
    log_.Add(L"Осталось несколько неотмененных операций на следующие суммы:");
    payStack_.ListPayments(log_, regional_.DecimalSeparator());
    log_.Add(L"\r\nСверку итогов можно провести только при наличии 1 операции на сумму 0,01 р., "
             L"либо при отсутсвии операций.");
    return kNoChannel;
  }
  std::wstring cheque;
  if (ICoreCom* com = access_.Com()) {
    com->Clear();
    result = com->NFun(kReconcileFunction);
    if (result == 0) {
      cheque = ShowComCheque(*com);
    } else {
      ReportError(result);
    }
    com->Clear();
  } else if (ICoreLibrary* library = access_.Library(CoreEntry::CloseDay)) {
    TCoreRecord answer;
    answer.operationType = kReconcileType;
    const int32_t r = library->CloseDay(answer);
    if (r == 0) {
      result = ReportCoreAnswer(answer, cheque);
    } else {
      ReportError(r);
      result = r;
    }
  }
  if (result == 0) payStack_.ClearPayStack();
  archive_.SaveCheque(cheque, ChequeKind::Reconciliation);
  return result;
}

int32_t TTransactions::CardOperation(OperationKind kind, int32_t amount) {
  log_.Clear();
  payStack_.EnsureLoaded();
  int32_t r = kNoChannel;
  int32_t processed = 0;
  std::wstring cheque;
  if (ICoreCom* com = access_.Com()) {
    com->Clear();
    com->Sparam(L"Amount", amount);
    r = com->NFun(kPaymentFunction + (kind == OperationKind::Payment ? 0 : static_cast<int32_t>(kind)));
    if (r == 0) {
      cheque = ShowComCheque(*com);
      processed = com->GParamInt(L"AmountClear");
    } else {
      ReportError(r);
    }
    com->Clear();
  } else if (ICoreLibrary* library = access_.Library(CoreEntry::CardAuthorize6)) {
    // The library cancels what the stack says is still to cancel, and a
    // refund of a test payment is its cancellation.
    if (kind == OperationKind::Cancellation) amount = payStack_.CancelAmount();
    if (kind == OperationKind::Refund) kind = OperationKind::Cancellation;
    if (amount == -1) {
      log_.Add(L"Операции не найдены");
      return kNoChannel;
    }
    TCoreRecord block;
    block.operationType = kind == OperationKind::Payment ? kPaymentType : kCancellationType;
    block.amount = amount;
    r = library->CardAuthorize6(block);
    if (r == 0) {
      r = ReportCoreAnswer(block, cheque);
      processed = block.amount;
    } else {
      ReportError(r);
    }
  }
  std::wstring stackFailure;
  if (r == 0) {
    try {
      if (kind == OperationKind::Payment) {
        payStack_.PushPayment(processed);
      } else {
        payStack_.PopPayment(processed);
      }
    } catch (const TUnexpectedError& error) {
      stackFailure = error.Text();
    }
  }
  FileCheque(cheque, static_cast<ChequeKind>(kind), stackFailure);
  return r;
}

// The payment core has done the operation: its cheque is filed even when the
// stack file would not take the change, and then both failures are shown.
void TTransactions::FileCheque(const std::wstring& cheque, ChequeKind kind, const std::wstring& stackFailure) {
  try {
    archive_.SaveCheque(cheque, kind);
  } catch (const TUnexpectedError& error) {
    if (stackFailure.empty()) throw;
    throw TUnexpectedError(stackFailure + L"\r\n" + error.Text());
  }
  if (!stackFailure.empty()) throw TUnexpectedError(stackFailure);
}

int32_t TTransactions::PinpadTest() {
  log_.Clear();
  int32_t r = kNoChannel;
  if (ICoreCom* com = access_.Com()) {
    com->Clear();
    r = com->NFun(kPinpadTestFunction);
    com->Clear();
  } else if (ICoreLibrary* library = access_.Library(CoreEntry::TestPinpad)) {
    r = library->TestPinpad();
  } else {
    return kNoChannel;
  }
  if (r == 0) {
    log_.Add(L"Пин-пад подключен и исправен");
  } else {
    ReportError(r);
  }
  return r;
}

int32_t TTransactions::RunServiceMenu() {
  log_.Clear();
  int32_t r = kNoChannel;
  std::wstring text;
  if (ICoreCom* com = access_.Com()) {
    com->Clear();
    r = com->NFun(kServiceMenuFunction);
    if (r == 0) text = com->GParamString(L"Cheque");
    com->Clear();
  } else if (ICoreLibrary* library = access_.Library(CoreEntry::ServiceMenu)) {
    TCoreRecord answer;
    r = library->ServiceMenu(answer);
    if (r == 0) text = AnsiToWide(answer.text);
  } else {
    return kNoChannel;
  }
  if (r != 0) ReportError(r);
  if (!text.empty()) log_.Add(CleanChequeText(text));
  return r;
}

int32_t TTransactions::ReadCard() {
  log_.Clear();
  int32_t r = kNoChannel;
  std::wstring card;
  std::wstring expiry;
  if (ICoreCom* com = access_.Com()) {
    com->Clear();
    r = com->NFun(kCardReadFunction);
    if (r == 0) {
      card = com->GParamString(L"ClientCard");
      expiry = com->GParamString(L"ClientExpiryDate");
    }
    com->Clear();
  } else if (ICoreLibrary* library = access_.Library(CoreEntry::ReadCardFull)) {
    std::string cardBuffer;
    std::string expiryBuffer;
    r = library->ReadCardFull(cardBuffer, expiryBuffer);
    if (r == 0) {
      card = LibraryText(cardBuffer, kCardNumberLength);
      expiry = LibraryText(expiryBuffer, kExpiryLength);
    }
  } else {
    return kNoChannel;
  }
  if (r != 0) ReportError(r);
  if (!card.empty()) {
    log_.Add(L"Карта считана успешно. Номер карты:\r\n");
    log_.Add(FormatCardNumber(card) + L"\r\n");
    if (!expiry.empty()) {
      log_.Add(L"Срок действия до:\r\n");
      log_.Add(FormatExpiry(expiry));
    }
  }
  return r;
}

int32_t TTransactions::CountUnconfirmed() {
  const int32_t stacked = payStack_.CountPayments();
  if (stacked != 0) return stacked;
  int32_t result = 0;
  std::wstring report;
  if (ICoreCom* com = access_.Com()) {
    com->Clear();
    const int32_t r = com->NFun(kStatisticsFunction);
    if (r == 0) {
      report = com->GParamString(L"Cheque");
    } else {
      result = -1;
    }
    com->Clear();
  } else if (ICoreLibrary* library = access_.Library(CoreEntry::GetStatistics)) {
    TCoreRecord answer;
    answer.operationType = kStatisticsType;
    if (library->GetStatistics(answer) != 0 || ResponseCodeOf(answer) != 0) {
      result = -1;
    } else {
      report = AnsiToWide(answer.text);
    }
  }
  if (!report.empty()) result = CountFromStatistics(report);
  return result;
}

int32_t TTransactions::RunAutoTest() {
  int32_t r = Reconcile();
  if (r == 0) r = CardOperation(OperationKind::Payment, 1);
  if (r == 0) r = Reconcile();
  if (r == 0) r = CardOperation(OperationKind::Refund, 1);
  if (r == 0) r = Reconcile();
  return r;
}

void TTransactions::RunCardReading(bool loop) {
  if (!loop) {
    ReadCard();
    return;
  }
  int successes = 0;
  int errors = 0;
  for (int32_t r = ReadCard(); r != kReadCancelled && r != kNoChannel; r = ReadCard()) {
    if (r == 0) {
      ++successes;
    } else {
      ++errors;
    }
  }
  log_.Clear();
  log_.Add(L"Количество успешных считываний: " + std::to_wstring(successes));
  log_.Add(L"Количество ошибок при считывании: " + std::to_wstring(errors));
}

void TTransactions::ChangeWorkDir() {
  log_.Clear();
  access_.ChooseWorkDir();
  log_.Add(L"Рабочий каталог TAVO изменен на:\r\n" + access_.WorkDir());
}

void TTransactions::WarnUnconfirmed() {
  const int32_t count = CountUnconfirmed();
  if (count > 0) {
    log_.Add(L"\r\n!!!Остались неподтвержденные операции!!!\r\nКоличество операций: " + std::to_wstring(count) +
             L"\r\n\r\nПрежде чем выполнять тесты необходимо произвести сверку итогов из кассового ПО, если это "
             L"возможно.");
  } else if (count == -1) {
    log_.Add(L"\r\nНевозможно точно определить количество неподтвержденных операций из-за ошибки в настройке или "
             L"работе TAVO.");
  }
}

void TTransactions::ReportRegistrationState() {
  log_.Clear();
  if (access_.Com()) {
    log_.Add(L"Библиотека dlfx.dll зарегистрирована. Можно использовать функции TAVO.");
  } else {
    log_.Add(L"Библиотека dlfx.dll не зарегистрирована. Для использования функций TAVO необходимо произвести поиск "
             L"каталога с TAVO.");
  }
  WarnUnconfirmed();
}

std::wstring RegistrationLabelText(bool registered) {
  return registered ? L"Библиотека dlfx.dll зарегистрирована" : L"Библиотека dlfx.dll не зарегистрирована";
}
