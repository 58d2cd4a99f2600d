#include <gtest/gtest.h>

#include "com_server.h"
#include "fake_payment_server.h"
#include "test_folder.h"

namespace {

class ComServer : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(fake_.Registered()) << "the fake payment server could not be registered";
    ASSERT_TRUE(server_.Create(TFakePaymentServer::kProgId));
  }

  TComApartment apartment_;
  TFakePaymentServer fake_;
  TComServer server_;
};

}  // namespace

TEST_F(ComServer, CallsEachMethodWithTheArgumentTypesTheServerExpects) {
  fake_.results[4000] = 0;
  fake_.results[6000] = 4334;
  fake_.parameters[L"Cheque"] = L"ОПЛАТА\r\nИтого: 0,01";
  fake_.parameters[L"AmountClear"] = L"150";

  server_.Clear();
  server_.Sparam(L"Amount", 150);
  EXPECT_EQ(server_.NFun(4000), 0);
  EXPECT_EQ(server_.NFun(6000), 4334);
  EXPECT_EQ(server_.GParamString(L"Cheque"), L"ОПЛАТА\r\nИтого: 0,01");
  EXPECT_EQ(server_.GParamInt(L"AmountClear"), 150);
  EXPECT_EQ(server_.GParamString(L"Unknown"), L"");

  ASSERT_EQ(fake_.calls.size(), 7u);
  EXPECT_EQ(fake_.calls[0].method, L"Clear");
  EXPECT_TRUE(fake_.calls[0].types.empty());

  const TFakePaymentServer::TCall& sparam = fake_.calls[1];
  EXPECT_EQ(sparam.method, L"Sparam");
  EXPECT_EQ(sparam.types, (std::vector<VARTYPE>{VT_BSTR, VT_I4 | VT_BYREF}));
  EXPECT_EQ(sparam.text, L"Amount");
  EXPECT_EQ(sparam.integer, 150);

  EXPECT_EQ(fake_.calls[2].method, L"NFun");
  EXPECT_EQ(fake_.calls[2].types, std::vector<VARTYPE>{VT_I4});
  EXPECT_EQ(fake_.calls[2].integer, 4000);
  EXPECT_EQ(fake_.calls[4].method, L"GParamString");
  EXPECT_EQ(fake_.calls[4].types, std::vector<VARTYPE>{VT_BSTR});
  EXPECT_EQ(fake_.calls[4].text, L"Cheque");
}

TEST_F(ComServer, AFailingFunctionThrowsWithTheMethodTheCodeAndTheServersWords) {
  try {
    server_.NFun(99);
    FAIL() << "NFun(99) did not throw";
  } catch (const TAutomationError& error) {
    EXPECT_EQ(error.Method(), L"NFun");
    EXPECT_EQ(error.Code(), DISP_E_EXCEPTION);
    EXPECT_NE(error.Message().find(L"0x80020009"), std::wstring::npos);
    EXPECT_NE(error.Message().find(L"no such function"), std::wstring::npos);
  }
}

TEST_F(ComServer, AnAmountThatIsNotANumberThrows) {
  fake_.parameters[L"AmountClear"] = L"abc";
  EXPECT_THROW(server_.GParamInt(L"AmountClear"), TAutomationError);
  fake_.parameters[L"AmountClear"] = L"";
  EXPECT_THROW(server_.GParamInt(L"AmountClear"), TAutomationError);
}
