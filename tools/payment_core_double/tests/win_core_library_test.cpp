// corvo_nt.dll as TavoTest uses it: loaded from its folder, every entry
// point found by name, answers scripted through the scenario file.
#include <windows.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>
#include <memory>

#include "core_answer.h"
#include "cp1251.h"
#include "win_test_folder.h"

namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::StartsWith;

std::string Field(const char* field, size_t size) { return std::string(field, size); }

class CoreLibraryTest : public ::testing::Test {
 protected:
  void SetUp() override { folder_ = std::make_unique<TTestFolder>(std::vector<std::wstring>{L"corvo_nt.dll"}); }

  void TearDown() override {
    if (library_) FreeLibrary(library_);
    folder_.reset();
  }

  // Loaded on first use, after the test has written its scenario, and
  // unloaded with the test, so every test starts its sequences afresh.
  template <typename Function>
  Function Export(const char* name) {
    if (!library_) library_ = LoadLibraryW(folder_->PathOf(L"corvo_nt.dll").c_str());
    if (!library_) {
      ADD_FAILURE() << "LoadLibrary failed, Windows error " << GetLastError();
      return nullptr;
    }
    FARPROC address = GetProcAddress(library_, name);
    if (!address) ADD_FAILURE() << "no export " << name;
    return reinterpret_cast<Function>(reinterpret_cast<void*>(address));
  }

  TCoreAnswerEx CardOperation(int32_t type, int32_t amount, int32_t* result) {
    TCoreAnswerEx block{};
    block.answer.operationType = type;
    block.answer.amount = amount;
    *result = Export<TCardAuthorize6>("_card_authorize6")(nullptr, &block);
    return block;
  }

  std::unique_ptr<TTestFolder> folder_;
  HMODULE library_ = nullptr;
};

TEST_F(CoreLibraryTest, WithoutScenarioEveryEntryPointSucceedsWithRussianTexts) {
  // The texts are code page 1251: "Терминал" is these bytes.
  ASSERT_EQ(Cp1251FromUtf8("Терминал"), "\xD2\xE5\xF0\xEC\xE8\xED\xE0\xEB");

  int32_t result = -1;
  const TCoreAnswerEx payment = CardOperation(1, 1, &result);
  EXPECT_EQ(result, 0);
  EXPECT_EQ(payment.answer.operationType, 1);
  EXPECT_EQ(payment.answer.amount, 1);
  EXPECT_EQ(Field(payment.answer.responseCode, 3), "000");
  EXPECT_EQ(Field(payment.answer.message, 16), Cp1251FromUtf8("ОДОБРЕНО        "));
  ASSERT_NE(payment.answer.text, nullptr);
  const std::string cheque = payment.answer.text;
  EXPECT_THAT(cheque, HasSubstr(Cp1251FromUtf8("\r\nТерминал: 00004711\r\n")));
  EXPECT_THAT(cheque, HasSubstr(Cp1251FromUtf8("ОПЛАТА")));
  EXPECT_THAT(cheque, HasSubstr(Cp1251FromUtf8("Сумма: 0,01 руб.")));
  // The archive would cut a first line longer than the second.
  const size_t firstEnd = cheque.find("\r\n");
  const size_t secondEnd = cheque.find("\r\n", firstEnd + 2);
  EXPECT_LE(firstEnd, secondEnd - firstEnd - 2);

  TCoreAnswer reconciliation{};
  reconciliation.operationType = 7;
  EXPECT_EQ(Export<TCloseDay>("_close_day")(&reconciliation), 0);
  ASSERT_NE(reconciliation.text, nullptr);
  EXPECT_THAT(reconciliation.text, HasSubstr(Cp1251FromUtf8("СВЕРКА ИТОГОВ")));

  TCoreAnswer statistics{};
  EXPECT_EQ(Export<TGetStatistics>("_get_statistics")(&statistics), 0);
  EXPECT_EQ(Field(statistics.responseCode, 3), "000");
  ASSERT_NE(statistics.text, nullptr);
  EXPECT_THAT(statistics.text, HasSubstr(Cp1251FromUtf8("операций: 0\r\n")));

  TCoreAnswer service{};
  EXPECT_EQ(Export<TServiceMenu>("_ServiceMenu")(&service), 0);
  EXPECT_NE(service.text, nullptr);

  EXPECT_EQ(Export<TTestPinpad>("_TestPinpad")(), 0);

  char card[30] = {};
  char expiry[6] = {};
  EXPECT_EQ(Export<TReadCardFull>("_ReadCardFull")(card, expiry), 0);
  EXPECT_STREQ(card, "4111111111111111");
  EXPECT_EQ(Field(expiry, 4), "2712");

  char terminal[9] = {};
  EXPECT_EQ(Export<TGetTerminalId>("_GetTerminalID")(terminal), 0);
  EXPECT_STREQ(terminal, "00004711");
}

TEST_F(CoreLibraryTest, ScriptedAnswerIsHandedBackByteExact) {
  const std::string cyrillicMessage = Cp1251FromUtf8("ОТКАЗ В ОБСЛУЖИВАНИИ");
  folder_->WriteScenario(Cp1251FromUtf8(
      "; the day cannot be closed\r\n"
      "[_CLOSE_DAY]\r\n"
      "Result = 4101\r\n"
      "code = x1\r\n"
      "message = ОТКАЗ В ОБСЛУЖИВАНИИ\r\n"
      "text = Сверка\\tне выполнена\r\n"
      "text =\r\n"
      "text = \\x20\\r\\nконец\\\\\r\n"
      "[_get_statistics]\n"
      "code = 12345\n"));
  TCoreAnswer answer{};
  answer.operationType = 7;
  EXPECT_EQ(Export<TCloseDay>("_close_day")(&answer), 4101);
  EXPECT_EQ(Field(answer.responseCode, 3), "x1 ");
  EXPECT_EQ(Field(answer.message, 16), cyrillicMessage.substr(0, 16));
  EXPECT_EQ(answer.amount, 0);
  ASSERT_NE(answer.text, nullptr);
  EXPECT_EQ(std::string(answer.text), Cp1251FromUtf8("Сверка\tне выполнена\r\n\r\n \r\nконец\\"));

  // A longer code is cut to its field; what the scenario leaves out stays default.
  TCoreAnswer statistics{};
  EXPECT_EQ(Export<TGetStatistics>("_get_statistics")(&statistics), 0);
  EXPECT_EQ(Field(statistics.responseCode, 3), "123");
  EXPECT_EQ(Field(statistics.message, 16), Cp1251FromUtf8("ОДОБРЕНО        "));
}

TEST_F(CoreLibraryTest, ResultSequenceIsTakenOnePerCallAndItsLastResultStays) {
  folder_->WriteScenario("[_ReadCardFull]\nresult = 0, 0\nresult = 5, 4334\ncard = 5469000011112222\nexpiry = 2601\n");
  const auto readCard = Export<TReadCardFull>("_ReadCardFull");
  std::vector<int32_t> results;
  std::vector<std::string> cards;
  for (int i = 0; i < 5; ++i) {
    char card[30] = {};
    char expiry[6] = {};
    results.push_back(readCard(card, expiry));
    cards.push_back(card);
  }
  EXPECT_THAT(results, ElementsAre(0, 0, 5, 4334, 4334));
  // A failed read leaves the buffers as they were.
  EXPECT_THAT(cards, ElementsAre("5469000011112222", "5469000011112222", "", "", ""));

  // Other entry points keep their own count.
  EXPECT_EQ(Export<TTestPinpad>("_TestPinpad")(), 0);

  // A changed scenario starts again from its first result.
  folder_->WriteScenario("[_ReadCardFull]\nresult = 7, 0\n");
  char card[30] = {};
  char expiry[6] = {};
  EXPECT_EQ(readCard(card, expiry), 7);
  EXPECT_EQ(readCard(card, expiry), 0);
}

TEST_F(CoreLibraryTest, ProcessedAmountIsTheAmountAskedUnlessScripted) {
  int32_t result = -1;
  EXPECT_EQ(CardOperation(3, 250, &result).answer.amount, 250);

  folder_->WriteScenario("[_card_authorize6]\namount = 150\n");
  const TCoreAnswerEx refund = CardOperation(3, 1, &result);
  EXPECT_EQ(result, 0);
  EXPECT_EQ(refund.answer.amount, 150);
  EXPECT_THAT(refund.answer.text, HasSubstr(Cp1251FromUtf8("ОТМЕНА")));
  EXPECT_THAT(refund.answer.text, HasSubstr(Cp1251FromUtf8("Сумма: 1,50 руб.")));
}

TEST_F(CoreLibraryTest, TextPointerCanBeScriptedNullAndAnswerTextOutlivesOtherCalls) {
  folder_->WriteScenario("[_ServiceMenu]\nnull_text = 1\n[_close_day]\ntext = day closed\n");
  TCoreAnswer service{};
  EXPECT_EQ(Export<TServiceMenu>("_ServiceMenu")(&service), 0);
  EXPECT_EQ(service.text, nullptr);

  TCoreAnswer reconciliation{};
  EXPECT_EQ(Export<TCloseDay>("_close_day")(&reconciliation), 0);
  int32_t result = -1;
  CardOperation(1, 5, &result);
  ASSERT_NE(reconciliation.text, nullptr);
  EXPECT_STREQ(reconciliation.text, "day closed");
}

TEST_F(CoreLibraryTest, LongValuesStayInsideTheCallersBuffers) {
  folder_->WriteScenario("[_ReadCardFull]\ncard = 1234567890123456789012345678901234567890\nexpiry = 27129999\n"
                         "[_GetTerminalID]\nterminal = 0000471100001234\n");
  struct {
    char card[30];
    char cardGuard[4];
    char expiry[6];
    char expiryGuard[4];
    char terminal[9];
    char terminalGuard[4];
  } buffers;
  std::memset(&buffers, '#', sizeof buffers);
  EXPECT_EQ(Export<TReadCardFull>("_ReadCardFull")(buffers.card, buffers.expiry), 0);
  EXPECT_EQ(Export<TGetTerminalId>("_GetTerminalID")(buffers.terminal), 0);
  EXPECT_STREQ(buffers.card, "12345678901234567890123456789");
  EXPECT_EQ(Field(buffers.expiry, 6), "271299");
  EXPECT_STREQ(buffers.terminal, "00004711");
  EXPECT_EQ(Field(buffers.cardGuard, 4) + Field(buffers.expiryGuard, 4) + Field(buffers.terminalGuard, 4),
            "############");
}

TEST_F(CoreLibraryTest, CallLogShowsEveryCallWithItsInputsAndResult) {
  folder_->WriteScenario("[_TestPinpad]\nresult = 2001\n");
  int32_t result = -1;
  CardOperation(1, 1, &result);
  CardOperation(3, 150, &result);
  TCoreAnswer reconciliation{};
  reconciliation.operationType = 7;
  Export<TCloseDay>("_close_day")(&reconciliation);
  Export<TTestPinpad>("_TestPinpad")();
  // Null records are refused, not written through.
  EXPECT_EQ(Export<TGetStatistics>("_get_statistics")(nullptr), 3);
  EXPECT_EQ(Export<TCardAuthorize6>("_card_authorize6")(nullptr, nullptr), 3);
  EXPECT_EQ(Export<TReadCardFull>("_ReadCardFull")(nullptr, nullptr), 3);
  EXPECT_THAT(folder_->CallLog(), ElementsAre("library _card_authorize6 type=1 amount=1 result=0",
                                              "library _card_authorize6 type=3 amount=150 result=0",
                                              "library _close_day type=7 amount=0 result=0",
                                              "library _TestPinpad result=2001",
                                              "library _get_statistics result=3",
                                              "library _card_authorize6 result=3",
                                              "library _ReadCardFull result=3"));
}

TEST_F(CoreLibraryTest, UnusableScenarioValuesAreLoggedAndLeaveTheDefaults) {
  folder_->WriteScenario("[_card_authorize6]\nresult = 1, x, 2\namount = 99999999999\n");
  int32_t result = -1;
  const TCoreAnswerEx first = CardOperation(1, 7, &result);
  EXPECT_EQ(result, 1);
  EXPECT_EQ(first.answer.amount, 7);
  CardOperation(1, 7, &result);
  EXPECT_EQ(result, 2);
  const std::vector<std::string> log = folder_->CallLog();
  ASSERT_EQ(log.size(), 6u);
  EXPECT_EQ(log[0], "scenario problem: [_card_authorize6] result = x: is not a 32-bit decimal number");
  EXPECT_THAT(log[1], StartsWith("scenario problem: [_card_authorize6] amount = 99999999999"));
  EXPECT_EQ(log[2], "library _card_authorize6 type=1 amount=7 result=1");
}

}  // namespace
