#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ansi_text.h"
#include "log_lines.h"
#include "memory_file_store.h"
#include "payment_core_fakes.h"
#include "transactions.h"
#include "unexpected_error.h"

namespace {

using Lines = std::vector<std::wstring>;

const std::wstring kDir = TMemoryFileStore::kProgramDir;
const std::wstring kStack = kDir + L"pay_stack";
const std::wstring kCheque = L"ООО Тест\r\nКасса номер 1\r\nТерминал: 0042\r\nИтого 0,01";
const std::wstring kFiledAs = L"Cheque\\ООО Тест\\Касса номер 1\\42\\";
const std::wstring kMoment = L"07.12.2026 в 14-05-09.txt";
const std::wstring kUnknown = L"Неизвестная ошибка. Либо в каталоге с TAVO Test отсутствует файл с ошибками error_list";

class Transactions : public ::testing::Test {
 protected:
  void SetUp() override {
    library_.answer.text = WideToAnsi(kCheque);
    com_.strings[L"Cheque"] = kCheque;
  }
  // The library channel: no COM server object.
  void UseLibrary() { com_.ready = false; }
  void Stack(const std::string& entries) { files_.Put(kStack, entries); }
  std::string StackFile() { return files_.Exists(kStack) ? files_.Files().at(kStack) : "<none>"; }
  bool Filed(const std::wstring& path) { return files_.Exists(kDir + path); }
  bool NothingFiled() { return !files_.Exists(kDir + L"Cheque"); }
  const Lines& Log() { return log_.Lines(); }

  TMemoryFileStore files_;
  TLogLines log_;
  TFakeStatus status_;
  TFakeChooser chooser_;
  TFakeCom com_;
  TFakeLibrary library_;
  TFakeRegional regional_;
  TTransactions transactions_{{log_, status_, chooser_, com_, library_, files_, regional_, kDir}};
};

TEST_F(Transactions, APaymentThroughTheLibraryIsStackedAndFiled) {
  UseLibrary();
  library_.answer.amount = 1;
  EXPECT_EQ(transactions_.CardOperation(OperationKind::Payment, 1), 0);
  EXPECT_EQ(library_.calls, Lines{L"CardAuthorize6 type=1 amount=1"});
  EXPECT_EQ(StackFile(), "1\r\n");
  EXPECT_TRUE(Filed(kFiledAs + L"Оплата от " + kMoment));
  EXPECT_EQ(Log(), (Lines{L"ООО Тест", L"Касса номер 1", L"Терминал: 0042", L"Итого 0,01", L""}));
}

TEST_F(Transactions, AChequeThatCannotBeFiledStillLeavesThePaymentStacked) {
  UseLibrary();
  files_.unwritable = kDir + L"Cheque";
  EXPECT_THROW(transactions_.CardOperation(OperationKind::Payment, 1), TUnexpectedError);
  EXPECT_EQ(StackFile(), "1\r\n");
  EXPECT_EQ(Log().front(), L"ООО Тест");
}

TEST_F(Transactions, AStackThatCannotBeWrittenStillFilesTheChequeAndHoldsThePayment) {
  UseLibrary();
  library_.answer.amount = 150;
  library_.answerSetsAmount = true;
  files_.unwritable = kStack;
  EXPECT_THROW(transactions_.CardOperation(OperationKind::Payment, 0), TUnexpectedError);
  EXPECT_TRUE(Filed(kFiledAs + L"Оплата от " + kMoment));
  EXPECT_EQ(StackFile(), "<none>");
  // The payment is still there to warn about and to stand in the way of a
  // reconciliation.
  EXPECT_EQ(transactions_.CountUnconfirmed(), 1);
  EXPECT_EQ(transactions_.Reconcile(), -1);
  EXPECT_EQ(Log()[1], L"1,5 р.");
  EXPECT_EQ(library_.calls, Lines{L"CardAuthorize6 type=1 amount=0"});

  // Neither file writable: one message names both.
  files_.unwritable = kDir;
  try {
    transactions_.CardOperation(OperationKind::Payment, 0);
    ADD_FAILURE() << "nothing was thrown";
  } catch (const TUnexpectedError& error) {
    EXPECT_NE(error.Text().find(kStack), std::wstring::npos);
    EXPECT_NE(error.Text().find(kDir + kFiledAs), std::wstring::npos);
  }
}

TEST_F(Transactions, ThePaymentCoreDecidesTheAmountThatIsStacked) {
  UseLibrary();
  library_.answer.amount = 2500;
  library_.answerSetsAmount = true;
  EXPECT_EQ(transactions_.CardOperation(OperationKind::Payment, 0), 0);
  EXPECT_EQ(StackFile(), "2500\r\n");

  com_.ready = true;
  com_.integers[L"AmountClear"] = 700;
  EXPECT_EQ(transactions_.CardOperation(OperationKind::Payment, 0), 0);
  EXPECT_EQ(com_.calls, (Lines{L"Clear", L"Sparam Amount=0", L"NFun 4000", L"GParamString Cheque",
                               L"GParamInt AmountClear", L"Clear"}));
  EXPECT_EQ(StackFile(), "2500\r\n700\r\n");
}

TEST_F(Transactions, CancellingWithNothingStackedNeverCallsTheLibrary) {
  UseLibrary();
  EXPECT_EQ(transactions_.CardOperation(OperationKind::Cancellation, 0), -1);
  EXPECT_EQ(Log(), Lines{L"Операции не найдены"});
  EXPECT_TRUE(library_.calls.empty());
}

TEST_F(Transactions, TheLibraryCancelsTheOldestPaymentAboveOneKopeck) {
  UseLibrary();
  Stack("1\r\n150\r\n200\r\n");
  EXPECT_EQ(transactions_.CardOperation(OperationKind::Cancellation, 0), 0);
  EXPECT_EQ(library_.calls, Lines{L"CardAuthorize6 type=3 amount=150"});
  EXPECT_EQ(StackFile(), "1\r\n200\r\n");
  EXPECT_TRUE(Filed(kFiledAs + L"Отмена от " + kMoment));
}

TEST_F(Transactions, ARefundThroughTheLibraryIsACancellation) {
  UseLibrary();
  Stack("1\r\n");
  EXPECT_EQ(transactions_.CardOperation(OperationKind::Refund, 1), 0);
  EXPECT_EQ(library_.calls, Lines{L"CardAuthorize6 type=3 amount=1"});
  EXPECT_TRUE(Filed(kFiledAs + L"Отмена от " + kMoment));
  EXPECT_EQ(StackFile(), "<none>");
}

TEST_F(Transactions, ARefundThroughTheComServerIsFiledAsARefund) {
  Stack("1\r\n");
  com_.integers[L"AmountClear"] = 1;
  EXPECT_EQ(transactions_.CardOperation(OperationKind::Refund, 1), 0);
  EXPECT_EQ(com_.calls, (Lines{L"Clear", L"Sparam Amount=1", L"NFun 4002", L"GParamString Cheque",
                               L"GParamInt AmountClear", L"Clear"}));
  EXPECT_TRUE(Filed(kFiledAs + L"Возврат от " + kMoment));
  EXPECT_EQ(StackFile(), "<none>");
  EXPECT_TRUE(library_.loads.empty());
}

TEST_F(Transactions, TheComServerCancelsWhatItReportsAsCleared) {
  Stack("1\r\n150\r\n");
  com_.integers[L"AmountClear"] = 150;
  EXPECT_EQ(transactions_.CardOperation(OperationKind::Cancellation, 0), 0);
  EXPECT_EQ(com_.calls[1], L"Sparam Amount=0");
  EXPECT_EQ(com_.calls[2], L"NFun 4003");
  EXPECT_EQ(StackFile(), "1\r\n");
  EXPECT_TRUE(Filed(kFiledAs + L"Отмена от " + kMoment));
}

TEST_F(Transactions, AFailedOperationIsReportedAndChangesNothing) {
  Stack("150\r\n");
  com_.results = {4451};
  EXPECT_EQ(transactions_.CardOperation(OperationKind::Cancellation, 0), 4451);
  EXPECT_EQ(Log(), (Lines{L"Ошибка: 4451", L"", L"От фронтальной системы получен код ответа 51"}));
  EXPECT_EQ(com_.calls, (Lines{L"Clear", L"Sparam Amount=0", L"NFun 4003", L"Clear"}));

  UseLibrary();
  library_.result = 2000;
  EXPECT_EQ(transactions_.CardOperation(OperationKind::Payment, 1), 2000);
  EXPECT_EQ(Log(), (Lines{L"Ошибка: 2000", L"", kUnknown}));
  EXPECT_EQ(StackFile(), "150\r\n");
  EXPECT_TRUE(NothingFiled());
}

TEST_F(Transactions, ARefusalInTheLibraryAnswerShowsItsMessageAndCode) {
  UseLibrary();
  library_.answer.responseCode = "051";
  library_.answer.message = WideToAnsi(L"ОТКАЗ") + std::string(11, '\0');
  files_.Put(kDir + L"error_list", WideToAnsi(L"51=Недостаточно средств\r\n"));
  EXPECT_EQ(transactions_.CardOperation(OperationKind::Payment, 1), 51);
  EXPECT_EQ(Log(), (Lines{L"ОТКАЗ: 051", L"", L"Недостаточно средств"}));
  EXPECT_EQ(StackFile(), "<none>");
  EXPECT_TRUE(NothingFiled());
}

TEST_F(Transactions, AResponseCodeThatIsNoNumberEndsTheOperation) {
  UseLibrary();
  library_.answer.responseCode = std::string("\0\0\0", 3);
  EXPECT_THROW(transactions_.CardOperation(OperationKind::Payment, 1), TUnexpectedError);
  library_.answer.responseCode = "0A0";
  EXPECT_THROW(transactions_.Reconcile(), TUnexpectedError);
  EXPECT_EQ(StackFile(), "<none>");
}

TEST_F(Transactions, ReconciliationIsRefusedWhilePaymentsAreStacked) {
  Stack("1\r\n150\r\n");
  EXPECT_EQ(transactions_.Reconcile(), -1);
  EXPECT_EQ(Log(), (Lines{L"Осталось несколько неотмененных операций на следующие суммы:", L"0,01 р.", L"1,5 р.", L"",
                          L"Сверку итогов можно провести только при наличии 1 операции на сумму 0,01 р., либо при "
                          L"отсутсвии операций."}));
  EXPECT_TRUE(com_.calls.empty());
  EXPECT_EQ(StackFile(), "1\r\n150\r\n");
}

TEST_F(Transactions, ASuccessfulReconciliationEmptiesTheStack) {
  Stack("1\r\n");
  EXPECT_EQ(transactions_.Reconcile(), 0);
  EXPECT_EQ(com_.calls, (Lines{L"Clear", L"NFun 6000", L"GParamString Cheque", L"Clear"}));
  EXPECT_TRUE(Filed(kFiledAs + L"Сверка от " + kMoment));
  EXPECT_EQ(StackFile(), "<none>");

  UseLibrary();
  Stack("1\r\n");
  EXPECT_EQ(transactions_.Reconcile(), 0);
  EXPECT_EQ(library_.calls, Lines{L"CloseDay type=7 amount=0"});
  EXPECT_EQ(StackFile(), "<none>");
}

TEST_F(Transactions, AFailedReconciliationKeepsTheStack) {
  Stack("1\r\n");
  UseLibrary();
  library_.result = 4499;
  EXPECT_EQ(transactions_.Reconcile(), 4499);
  EXPECT_EQ(StackFile(), "1\r\n");
}

TEST_F(Transactions, WithNeitherChannelNothingHappens) {
  UseLibrary();
  library_.loadable = false;
  Stack("150\r\n");
  EXPECT_EQ(transactions_.CardOperation(OperationKind::Cancellation, 0), -1);
  EXPECT_EQ(Log(), Lines{L"Библиотека не найдена!"});
  EXPECT_EQ(StackFile(), "150\r\n");
  EXPECT_EQ(transactions_.PinpadTest(), -1);
  EXPECT_EQ(transactions_.ReadCard(), -1);

  library_.loadable = true;
  library_.missing = {CoreEntry::TestPinpad};
  EXPECT_EQ(transactions_.PinpadTest(), -1);
  EXPECT_TRUE(library_.calls.empty());
}

TEST_F(Transactions, TheLibraryLoadsOnceFromTheChosenDirectory) {
  UseLibrary();
  transactions_.PinpadTest();
  transactions_.PinpadTest();
  EXPECT_EQ(chooser_.shown, 1);
  EXPECT_EQ(library_.loads, Lines{L"D:\\TAVO\\corvo_nt.dll"});
  EXPECT_EQ(status_.text, L"Рабочий каталог TAVO: D:\\TAVO\\");
  EXPECT_EQ(Log(), Lines{L"Пин-пад подключен и исправен"});
}

TEST_F(Transactions, ALibraryThatDoesNotLoadIsTriedAgainAtTheNextUse) {
  UseLibrary();
  chooser_.result = L"";
  library_.loadable = false;
  transactions_.PinpadTest();
  library_.loadable = true;
  transactions_.PinpadTest();
  // A directory left unchosen is asked for again; the bare name is tried.
  EXPECT_EQ(chooser_.shown, 2);
  EXPECT_EQ(library_.loads, (Lines{L"corvo_nt.dll", L"corvo_nt.dll"}));

  transactions_.FreeCoreLibrary();
  transactions_.PinpadTest();
  EXPECT_EQ(library_.loads.size(), 3u);
}

TEST_F(Transactions, AChosenDirectoryIsKeptAndShown) {
  transactions_.ChangeWorkDir();
  EXPECT_EQ(Log(), (Lines{L"Рабочий каталог TAVO изменен на:", L"D:\\TAVO\\"}));
  EXPECT_EQ(status_.text, L"Рабочий каталог TAVO: D:\\TAVO\\");
  UseLibrary();
  transactions_.PinpadTest();
  EXPECT_EQ(chooser_.shown, 1);
  EXPECT_EQ(transactions_.WorkDir(), L"D:\\TAVO\\");
}

TEST_F(Transactions, TheAutoTestStopsAtTheFirstFailingStep) {
  Stack("150\r\n");
  EXPECT_EQ(transactions_.RunAutoTest(), -1);
  EXPECT_TRUE(com_.calls.empty());

  files_.Remove(kStack);
  transactions_.InitTransactions();
  com_.integers[L"AmountClear"] = 1;
  com_.results = {0, 0, 0, 4334};
  EXPECT_EQ(transactions_.RunAutoTest(), 4334);
  std::vector<std::wstring> functions;
  for (const auto& call : com_.calls) {
    if (call.rfind(L"NFun", 0) == 0) functions.push_back(call);
  }
  EXPECT_EQ(functions, (Lines{L"NFun 6000", L"NFun 4000", L"NFun 6000", L"NFun 4002"}));
  EXPECT_EQ(Log().front(), L"Ошибка: 4334");
}

TEST_F(Transactions, TheAutoTestLeavesNoTestPaymentBehind) {
  UseLibrary();
  EXPECT_EQ(transactions_.RunAutoTest(), 0);
  EXPECT_EQ(library_.calls, (Lines{L"CloseDay type=7 amount=0", L"CardAuthorize6 type=1 amount=1",
                                   L"CloseDay type=7 amount=0", L"CardAuthorize6 type=3 amount=1",
                                   L"CloseDay type=7 amount=0"}));
  EXPECT_EQ(StackFile(), "<none>");
}

TEST_F(Transactions, TheServiceMenuShowsItsReportWithoutFilingIt) {
  Stack("150\r\n");
  com_.strings[L"Cheque"] = L"Меню\r\nВыход\r\n\r\n";
  EXPECT_EQ(transactions_.RunServiceMenu(), 0);
  EXPECT_EQ(com_.calls, (Lines{L"Clear", L"NFun 10", L"GParamString Cheque", L"Clear"}));
  EXPECT_EQ(Log(), (Lines{L"Меню", L"Выход", L""}));

  UseLibrary();
  library_.answer.text = "";
  EXPECT_EQ(transactions_.RunServiceMenu(), 0);
  EXPECT_EQ(library_.calls, Lines{L"ServiceMenu type=0 amount=0"});
  EXPECT_TRUE(Log().empty());
  EXPECT_TRUE(NothingFiled());
  EXPECT_EQ(StackFile(), "150\r\n");
}

TEST_F(Transactions, APinpadTestReportsItsResult) {
  com_.results = {-3};
  EXPECT_EQ(transactions_.PinpadTest(), -3);
  EXPECT_EQ(com_.calls, (Lines{L"Clear", L"NFun 13", L"Clear"}));
  EXPECT_EQ(Log(), (Lines{L"Ошибка: -3", L"", kUnknown}));
}

TEST_F(Transactions, ACardReadShowsTheNumberInGroupsAndTheExpiryMonthFirst) {
  UseLibrary();
  library_.cardBuffer = "4276123456789012345678" + std::string(8, '\0');
  library_.expiryBuffer = std::string("2712\0\0", 6);
  EXPECT_EQ(transactions_.ReadCard(), 0);
  EXPECT_EQ(Log(), (Lines{L"Карта считана успешно. Номер карты:", L"", L"4276 1234 5678 90123456", L"",
                          L"Срок действия до:", L"", L"12/27"}));

  com_.ready = true;
  com_.strings[L"ClientCard"] = L"1234567";
  com_.strings[L"ClientExpiryDate"] = L"";
  EXPECT_EQ(transactions_.ReadCard(), 0);
  EXPECT_EQ(com_.calls, (Lines{L"Clear", L"NFun 5002", L"GParamString ClientCard",
                               L"GParamString ClientExpiryDate", L"Clear"}));
  EXPECT_EQ(Log(), (Lines{L"Карта считана успешно. Номер карты:", L"", L"1234 567  ", L""}));
}

TEST_F(Transactions, TheCardLoopCountsUntilTheReaderIsCancelled) {
  UseLibrary();
  library_.readResults = {0, 0, 5, 4334};
  transactions_.RunCardReading(true);
  EXPECT_EQ(library_.calls.size(), 4u);
  EXPECT_EQ(Log(), (Lines{L"Количество успешных считываний: 2", L"Количество ошибок при считывании: 1"}));

  library_.loadable = false;
  transactions_.FreeCoreLibrary();
  transactions_.RunCardReading(true);
  EXPECT_EQ(Log(), (Lines{L"Количество успешных считываний: 0", L"Количество ошибок при считывании: 0"}));
}

TEST_F(Transactions, OneCardReadWithoutTheLoop) {
  UseLibrary();
  library_.readResults = {5, 0};
  transactions_.RunCardReading(false);
  EXPECT_EQ(library_.calls.size(), 1u);
  EXPECT_EQ(Log().front(), L"Ошибка: 5");
}

TEST_F(Transactions, UnconfirmedOperationsAreTheStackedOnesFirst) {
  Stack("1\r\nabc\r\n150\r\n");
  EXPECT_EQ(transactions_.CountUnconfirmed(), 2);
  EXPECT_TRUE(com_.calls.empty());
}

TEST_F(Transactions, UnconfirmedOperationsOtherwiseComeFromTheStatistics) {
  com_.strings[L"Cheque"] = L"Отчет\r\nВсего операций: 1 из 2\r\nопераций: 7";
  EXPECT_EQ(transactions_.CountUnconfirmed(), 12);
  EXPECT_EQ(com_.calls, (Lines{L"Clear", L"NFun 6002", L"GParamString Cheque", L"Clear"}));
  com_.strings[L"Cheque"] = L"Отчет\r\nОпераций нет";
  EXPECT_EQ(transactions_.CountUnconfirmed(), 0);
  com_.strings[L"Cheque"] = L"операций: 99999999999";
  EXPECT_EQ(transactions_.CountUnconfirmed(), -1);
  com_.results = {3};
  EXPECT_EQ(transactions_.CountUnconfirmed(), -1);
  EXPECT_TRUE(Log().empty());
}

TEST_F(Transactions, UnconfirmedOperationsThroughTheLibrary) {
  UseLibrary();
  library_.answer.text = WideToAnsi(L"Итого операций: 3");
  EXPECT_EQ(transactions_.CountUnconfirmed(), 3);
  EXPECT_EQ(library_.calls, Lines{L"GetStatistics type=0 amount=0"});
  library_.answer.responseCode = "001";
  EXPECT_EQ(transactions_.CountUnconfirmed(), -1);
  library_.result = 7;
  EXPECT_EQ(transactions_.CountUnconfirmed(), -1);
  library_.missing = {CoreEntry::GetStatistics};
  EXPECT_EQ(transactions_.CountUnconfirmed(), 0);
}

TEST_F(Transactions, TheRegistrationStateWarnsAboutStackedPayments) {
  UseLibrary();
  Stack("1\r\n150\r\n");
  transactions_.ReportRegistrationState();
  EXPECT_EQ(Log(), (Lines{L"Библиотека dlfx.dll не зарегистрирована. Для использования функций TAVO необходимо "
                          L"произвести поиск каталога с TAVO.",
                          L"", L"!!!Остались неподтвержденные операции!!!", L"Количество операций: 2", L"",
                          L"Прежде чем выполнять тесты необходимо произвести сверку итогов из кассового ПО, если это "
                          L"возможно."}));
  EXPECT_EQ(RegistrationLabelText(false), L"Библиотека dlfx.dll не зарегистрирована");
}

TEST_F(Transactions, TheRegistrationStateWhenTheCountIsUnknownOrZero) {
  com_.results = {3};
  transactions_.ReportRegistrationState();
  EXPECT_EQ(Log(), (Lines{L"Библиотека dlfx.dll зарегистрирована. Можно использовать функции TAVO.", L"",
                          L"Невозможно точно определить количество неподтвержденных операций из-за ошибки в "
                          L"настройке или работе TAVO."}));
  transactions_.ReportRegistrationState();
  EXPECT_EQ(Log(), Lines{L"Библиотека dlfx.dll зарегистрирована. Можно использовать функции TAVO."});
  EXPECT_EQ(RegistrationLabelText(true), L"Библиотека dlfx.dll зарегистрирована");
}

TEST_F(Transactions, AStackThatCannotBeReadAtStartIsReadAtItsNextUse) {
  Stack("150\r\n");
  files_.MakeUnreadable(kStack);
  EXPECT_THROW(transactions_.InitTransactions(), TUnexpectedError);
  EXPECT_THROW(transactions_.CardOperation(OperationKind::Payment, 1), TUnexpectedError);
  EXPECT_TRUE(com_.calls.empty());
  EXPECT_EQ(files_.writes, 0);
}

}  // namespace
