#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "automation_object.h"
#include "test_folder.h"

// A real automation object that every Windows (and Wine) installation
// registers: the scripting runtime's dictionary, called by name as a script
// calls it.

namespace {

const wchar_t kDictionary[] = L"Scripting.Dictionary";

class AutomationObject : public testing::Test {
 protected:
  void SetUp() override {
    if (!dictionary_.Create(kDictionary)) GTEST_SKIP() << "no Scripting.Dictionary on this system";
  }

  TComApartment apartment_;
  TAutomationObject dictionary_;
};

// The failure a call raises; fails the test when it raises none.
TAutomationError FailureOf(const std::function<void()>& call) {
  try {
    call();
  } catch (const TAutomationError& error) {
    return error;
  }
  ADD_FAILURE() << "the call did not fail";
  return TAutomationError(L"", S_OK, L"");
}

}  // namespace

TEST_F(AutomationObject, PassesIntegersTextsAndReferencesAndConvertsResults) {
  int32_t amount = 150;
  dictionary_.Call(L"Add", {TAutomationArgument::Text(L"Amount"),
                            TAutomationArgument::IntegerReference(&amount)});
  dictionary_.Call(L"Add", {TAutomationArgument::Integer(7),
                            TAutomationArgument::Text(L"Сверка итогов")});
  EXPECT_EQ(amount, 150);
  EXPECT_EQ(dictionary_.CallForInteger(L"Count"), 2);
  EXPECT_EQ(dictionary_.CallForInteger(L"Item", {TAutomationArgument::Text(L"Amount")}), 150);
  // An integer result read as text, and a text read back whole.
  EXPECT_EQ(dictionary_.CallForText(L"Item", {TAutomationArgument::Text(L"Amount")}), L"150");
  EXPECT_EQ(dictionary_.CallForText(L"Item", {TAutomationArgument::Integer(7)}), L"Сверка итогов");
  // A boolean result as an integer: true is -1.
  EXPECT_EQ(dictionary_.CallForInteger(L"Exists", {TAutomationArgument::Integer(7)}), -1);
  EXPECT_EQ(dictionary_.CallForInteger(L"Exists", {TAutomationArgument::Integer(8)}), 0);
}

TEST_F(AutomationObject, AFailingCallThrowsWithTheMethodAndItsCode) {
  const TAutomationError unknown = FailureOf([this] { dictionary_.Call(L"NFun"); });
  EXPECT_EQ(unknown.Method(), L"NFun");
  EXPECT_EQ(unknown.Code(), DISP_E_UNKNOWNNAME);
  EXPECT_NE(unknown.Message().find(L"NFun"), std::wstring::npos);
  EXPECT_NE(unknown.Message().find(L"0x80020006"), std::wstring::npos);
  // In the program's language, on screen and in what() (UTF-8) alike.
  EXPECT_EQ(unknown.Message(), L"Ошибка вызова NFun через COM (код 0x80020006): у объекта нет такого метода");
  EXPECT_NE(std::string(unknown.what()).find(u8"у объекта нет такого метода"), std::string::npos);

  // The dictionary refuses a key it already holds.
  dictionary_.Call(L"Add", {TAutomationArgument::Integer(1), TAutomationArgument::Integer(2)});
  const TAutomationError refused = FailureOf([this] {
    dictionary_.Call(L"Add", {TAutomationArgument::Integer(1), TAutomationArgument::Integer(3)});
  });
  EXPECT_EQ(refused.Method(), L"Add");
  EXPECT_TRUE(FAILED(refused.Code()));
}

TEST(AutomationObjectLifetime, CreationFailsQuietlyAndCallsWithoutAnObjectThrow) {
  TComApartment apartment;
  TAutomationObject object;
  EXPECT_FALSE(object.Create(L"Tavo.NoSuchServer"));
  EXPECT_FALSE(object.IsCreated());
  EXPECT_THROW(object.Call(L"Clear"), TAutomationError);

  if (!object.Create(kDictionary)) GTEST_SKIP() << "no Scripting.Dictionary on this system";
  EXPECT_TRUE(object.IsCreated());
  object.Release();
  object.Release();
  EXPECT_FALSE(object.IsCreated());
  EXPECT_THROW(object.CallForInteger(L"Count"), TAutomationError);
}
