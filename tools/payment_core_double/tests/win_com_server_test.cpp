// dlfx.dll and dlfxcom.dll as TavoTest meets them: registered with
// regsvr32, created by the ProgID "DLFXSRV.Server" in a single-threaded
// apartment and called late-bound, by name. The registrations live in the
// shared Wine prefix, so every test leaves them removed, failures included.
#include <windows.h>
#include <oleauto.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>
#include <sstream>

#include "win_com_identity.h"
#include "win_test_folder.h"

namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;

std::string Hex(HRESULT result) {
  std::ostringstream text;
  text << "0x" << std::hex << static_cast<unsigned long>(result);
  return text.str();
}

std::wstring Text(const VARIANT& value) {
  return value.vt == VT_BSTR ? std::wstring(value.bstrVal, SysStringLen(value.bstrVal)) : L"<not a BSTR>";
}

VARIANT Int32Value(int32_t value) {
  VARIANT variant;
  VariantInit(&variant);
  variant.vt = VT_I4;
  variant.lVal = value;
  return variant;
}

VARIANT Int32Reference(LONG* value) {
  VARIANT variant;
  VariantInit(&variant);
  variant.vt = VT_I4 | VT_BYREF;
  variant.plVal = value;
  return variant;
}

// The caller owns the BSTR inside; TLateBound::Call frees its arguments.
VARIANT TextValue(const wchar_t* text) {
  VARIANT variant;
  VariantInit(&variant);
  variant.vt = VT_BSTR;
  variant.bstrVal = SysAllocString(text);
  return variant;
}

// One copy of the server's files for the whole program, and COM initialised
// as TavoTest does it.
class TComEnvironment : public ::testing::Environment {
 public:
  static TTestFolder& Folder() { return *folder_; }

  void SetUp() override {
    const HRESULT result = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    ASSERT_TRUE(SUCCEEDED(result)) << "CoInitializeEx: " << Hex(result);
    folder_ = std::make_unique<TTestFolder>(std::vector<std::wstring>{L"dlfx.dll", L"dlfxcom.dll"});
  }

  void TearDown() override;

 private:
  static std::unique_ptr<TTestFolder> folder_;
};

std::unique_ptr<TTestFolder> TComEnvironment::folder_;

// Runs the prefix's own regsvr32 on a file of the test folder, as TavoTest
// starts it; its exit code, or a note of why it did not run.
DWORD Regsvr32(const std::wstring& options, const wchar_t* fileName) {
  std::wstring commandLine = L"regsvr32.exe " + options + L" \"" + TComEnvironment::Folder().PathOf(fileName) + L"\"";
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (!CreateProcessW(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
    ADD_FAILURE() << "regsvr32 did not start, Windows error " << GetLastError();
    return ~0u;
  }
  DWORD exitCode = ~0u;
  if (WaitForSingleObject(process.hProcess, 60000) == WAIT_OBJECT_0) {
    GetExitCodeProcess(process.hProcess, &exitCode);
  } else {
    ADD_FAILURE() << "regsvr32 did not finish within 60 s";
    TerminateProcess(process.hProcess, 1);
  }
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return exitCode;
}

void RegisterBoth() {
  EXPECT_EQ(Regsvr32(L"/s", L"dlfx.dll"), 0u) << "regsvr32 dlfx.dll";
  EXPECT_EQ(Regsvr32(L"/s", L"dlfxcom.dll"), 0u) << "regsvr32 dlfxcom.dll";
}

void UnregisterBoth() {
  EXPECT_EQ(Regsvr32(L"/u /s", L"dlfx.dll"), 0u) << "regsvr32 /u dlfx.dll";
  EXPECT_EQ(Regsvr32(L"/u /s", L"dlfxcom.dll"), 0u) << "regsvr32 /u dlfxcom.dll";
}

void TComEnvironment::TearDown() {
  UnregisterBoth();
  // The server DLL must be unloaded before its folder can go.
  CoFreeUnusedLibrariesEx(0, 0);
  CoUninitialize();
  folder_.reset();
}

const auto* const comEnvironment = ::testing::AddGlobalTestEnvironment(new TComEnvironment);

// Creates the server the way TavoTest does: class by ProgID, then an
// instance in this process, asked for IDispatch.
HRESULT CreateByProgId(IDispatch** server) {
  *server = nullptr;
  CLSID clsid;
  const HRESULT found = CLSIDFromProgID(kDoubleServerProgId, &clsid);
  if (FAILED(found)) return found;
  return CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER, IID_IDispatch,
                          reinterpret_cast<void**>(server));
}

bool ClassesKeyExists(const std::wstring& subkey) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_CLASSES_ROOT, subkey.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
  RegCloseKey(key);
  return true;
}

std::wstring ClassesValue(const std::wstring& subkey, const wchar_t* name) {
  wchar_t value[1024] = {};
  DWORD bytes = sizeof value - sizeof(wchar_t);
  if (RegGetValueW(HKEY_CLASSES_ROOT, subkey.c_str(), name, RRF_RT_REG_SZ, nullptr, value, &bytes) != ERROR_SUCCESS) {
    return L"<missing>";
  }
  return value;
}

const std::wstring kClassKey = std::wstring(L"CLSID\\") + kDoubleServerClsidText;

TEST(ComRegistration, ProgIdCreatesTheServerOnlyWhileBothFilesAreRegistered) {
  UnregisterBoth();
  IDispatch* server = nullptr;
  CLSID clsid;
  EXPECT_TRUE(FAILED(CLSIDFromProgID(kDoubleServerProgId, &clsid)));

  // The class alone: creatable by CLSID, unknown by ProgID.
  ASSERT_EQ(Regsvr32(L"/s", L"dlfx.dll"), 0u);
  EXPECT_EQ(ClassesValue(kClassKey + L"\\InprocServer32", nullptr), TComEnvironment::Folder().PathOf(L"dlfx.dll"));
  EXPECT_EQ(ClassesValue(kClassKey + L"\\InprocServer32", L"ThreadingModel"), L"Apartment");
  HRESULT result = CreateByProgId(&server);
  EXPECT_TRUE(FAILED(result)) << Hex(result);
  result = CoCreateInstance(kDoubleServerClsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch,
                            reinterpret_cast<void**>(&server));
  EXPECT_EQ(result, S_OK) << Hex(result);
  if (server) server->Release();

  ASSERT_EQ(Regsvr32(L"/s", L"dlfxcom.dll"), 0u);
  EXPECT_EQ(ClassesValue(std::wstring(kDoubleServerProgId) + L"\\CLSID", nullptr), kDoubleServerClsidText);
  EXPECT_EQ(ClassesValue(kClassKey + L"\\ProgID", nullptr), kDoubleServerProgId);
  result = CreateByProgId(&server);
  EXPECT_EQ(result, S_OK) << Hex(result);
  if (server) server->Release();

  // The ProgID alone names a class that cannot be created (a 64-bit Wine
  // says the class is not registered, a 32-bit one that its key is missing).
  ASSERT_EQ(Regsvr32(L"/u /s", L"dlfx.dll"), 0u);
  EXPECT_EQ(CLSIDFromProgID(kDoubleServerProgId, &clsid), S_OK);
  result = CreateByProgId(&server);
  EXPECT_TRUE(result == REGDB_E_CLASSNOTREG || result == REGDB_E_KEYMISSING) << Hex(result);

  ASSERT_EQ(Regsvr32(L"/u /s", L"dlfxcom.dll"), 0u);
  EXPECT_FALSE(ClassesKeyExists(kDoubleServerProgId));
  EXPECT_FALSE(ClassesKeyExists(kClassKey));
  result = CreateByProgId(&server);
  EXPECT_TRUE(FAILED(result)) << Hex(result);
}

TEST(ComRegistration, UnregisteringTwiceOrInEitherOrderLeavesNoKeys) {
  RegisterBoth();
  EXPECT_EQ(Regsvr32(L"/u /s", L"dlfxcom.dll"), 0u);
  EXPECT_TRUE(ClassesKeyExists(kClassKey + L"\\InprocServer32"));
  EXPECT_FALSE(ClassesKeyExists(kClassKey + L"\\ProgID"));
  UnregisterBoth();
  EXPECT_FALSE(ClassesKeyExists(kDoubleServerProgId));
  EXPECT_FALSE(ClassesKeyExists(kClassKey));
}

// The server object, called by name as TavoTest calls it.
class TLateBound {
 public:
  explicit TLateBound(IDispatch* server) : server_(server) {}

  // Arguments in their written order; they are cleared after the call.
  HRESULT Call(const wchar_t* method, std::vector<VARIANT> arguments, VARIANT* result = nullptr,
               UINT* badArgument = nullptr) {
    DISPID id = DISPID_UNKNOWN;
    LPOLESTR name = const_cast<LPOLESTR>(method);
    HRESULT status = server_->GetIDsOfNames(IID_NULL, &name, 1, LOCALE_USER_DEFAULT, &id);
    if (SUCCEEDED(status)) {
      std::vector<VARIANT> reversed(arguments.rbegin(), arguments.rend());
      DISPPARAMS parameters = {reversed.empty() ? nullptr : reversed.data(), nullptr,
                               static_cast<UINT>(reversed.size()), 0};
      status = server_->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &parameters, result,
                               nullptr, badArgument);
    }
    for (VARIANT& argument : arguments) VariantClear(&argument);
    return status;
  }

  void Clear() { EXPECT_EQ(Call(L"Clear", {}), S_OK); }

  void Sparam(const wchar_t* name, LONG value) {
    EXPECT_EQ(Call(L"Sparam", {TextValue(name), Int32Reference(&value)}), S_OK);
  }

  int32_t NFun(int32_t code) {
    VARIANT result;
    VariantInit(&result);
    const HRESULT status = Call(L"NFun", {Int32Value(code)}, &result);
    EXPECT_EQ(status, S_OK) << Hex(status);
    EXPECT_EQ(result.vt, VT_I4);
    return result.lVal;
  }

  std::wstring GParamString(const wchar_t* name) {
    VARIANT result;
    VariantInit(&result);
    const HRESULT status = Call(L"GParamString", {TextValue(name)}, &result);
    EXPECT_EQ(status, S_OK) << Hex(status);
    const std::wstring text = Text(result);
    VariantClear(&result);
    return text;
  }

 private:
  IDispatch* server_;
};

class ComServerTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { RegisterBoth(); }
  static void TearDownTestSuite() { UnregisterBoth(); }

  void SetUp() override {
    // The texts cross COM in the ANSI code page, Russian on a real
    // installation; Wine takes it from LC_ALL.
    ASSERT_EQ(GetACP(), 1251u) << "run with LC_ALL=ru_RU.UTF-8";
    WriteScenario("");
    TComEnvironment::Folder().DeleteCallLog();
    const HRESULT result = CreateByProgId(&server_);
    ASSERT_EQ(result, S_OK) << "creation by ProgID: " << Hex(result);
  }

  void TearDown() override {
    if (server_) server_->Release();
  }

  // Every test's scenario differs from the last one, so that its result
  // sequences start from the beginning.
  static void WriteScenario(const std::string& text) {
    const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
    TComEnvironment::Folder().WriteScenario("# " + std::string(test->name()) + "\r\n" + text);
  }

  IDispatch* server_ = nullptr;
};

TEST_F(ComServerTest, PaymentAnswersWithRussianChequeAndTheAmountAsked) {
  TLateBound core(server_);
  core.Clear();
  core.Sparam(L"Amount", 1);
  EXPECT_EQ(core.NFun(4000), 0);
  const std::wstring cheque = core.GParamString(L"Cheque");
  EXPECT_THAT(cheque, HasSubstr(L"\r\nТерминал: 00004711\r\n"));
  EXPECT_THAT(cheque, HasSubstr(L"ОПЛАТА"));
  EXPECT_EQ(core.GParamString(L"AmountClear"), L"1");
  core.Clear();
  EXPECT_THAT(TComEnvironment::Folder().CallLog(),
              ElementsAre("com Clear", "com Sparam Amount=1", "com NFun 4000 Amount=1 result=0",
                          "com GParamString Cheque", "com GParamString AmountClear", "com Clear"));
}

TEST_F(ComServerTest, FunctionCodesAnswerAsScripted) {
  WriteScenario(
      "[NFun 4002]\r\namount = 150\r\n"
      "[NFun 5002]\r\nresult = 0, 0, 5, 4334\r\ncard = 5469000011112222\r\nexpiry = 2601\r\n"
      "[NFun 6002]\r\ntext = \xD1\xD2\xC0\xD2\xC8\xD1\xD2\xC8\xCA\xC0\r\ntext = \xEE\xEF\xE5\xF0\xE0\xF6\xE8\xE9: 1 2\r\n"
      "[nfun 13]\r\nresult = 2001\r\n");
  TLateBound core(server_);
  core.Sparam(L"Amount", 1);
  EXPECT_EQ(core.NFun(4002), 0);
  EXPECT_EQ(core.GParamString(L"AmountClear"), L"150");
  EXPECT_THAT(core.GParamString(L"Cheque"), HasSubstr(L"Сумма: 1,50 руб."));

  std::vector<int32_t> reads;
  for (int i = 0; i < 4; ++i) reads.push_back(core.NFun(5002));
  EXPECT_THAT(reads, ElementsAre(0, 0, 5, 4334));
  EXPECT_EQ(core.GParamString(L"clientcard"), L"5469000011112222");
  EXPECT_EQ(core.GParamString(L"ClientExpiryDate"), L"2601");

  EXPECT_EQ(core.NFun(6002), 0);
  EXPECT_EQ(core.GParamString(L"Cheque"), L"СТАТИСТИКА\r\nопераций: 1 2");
  EXPECT_EQ(core.NFun(13), 2001);
  EXPECT_EQ(core.GParamString(L"NoSuchParameter"), L"");
}

TEST_F(ComServerTest, SparamTakesIntegersByValueOrByReferenceAndRefusesText) {
  TLateBound core(server_);
  EXPECT_EQ(core.Call(L"Sparam", {TextValue(L"Amount"), Int32Value(5)}), S_OK);
  LONG seven = 7;
  EXPECT_EQ(core.Call(L"Sparam", {TextValue(L"Amount"), Int32Reference(&seven)}), S_OK);
  UINT badArgument = 99;
  EXPECT_EQ(core.Call(L"Sparam", {TextValue(L"Amount"), TextValue(L"many")}, nullptr, &badArgument),
            DISP_E_TYPEMISMATCH);
  // Arguments are numbered from the last: the value is argument 0.
  EXPECT_EQ(badArgument, 0u);
  EXPECT_EQ(core.NFun(4003), 0);
  EXPECT_EQ(core.GParamString(L"AmountClear"), L"7");
  EXPECT_THAT(TComEnvironment::Folder().CallLog(),
              ElementsAre("com Sparam Amount=5", "com Sparam Amount=7", "com NFun 4003 Amount=7 result=0",
                          "com GParamString AmountClear"));
}

TEST_F(ComServerTest, ClearForgetsParametersAndResults) {
  TLateBound core(server_);
  core.Sparam(L"Amount", 5);
  EXPECT_EQ(core.NFun(4000), 0);
  core.Clear();
  EXPECT_EQ(core.GParamString(L"Cheque"), L"");
  EXPECT_EQ(core.NFun(6000), 0);
  EXPECT_THAT(core.GParamString(L"Cheque"), HasSubstr(L"СВЕРКА ИТОГОВ"));
  const std::vector<std::string> log = TComEnvironment::Folder().CallLog();
  ASSERT_FALSE(log.empty());
  EXPECT_EQ(log[log.size() - 2], "com NFun 6000 result=0");
}

TEST_F(ComServerTest, MethodsAreFoundByNameInAnyCaseAndCheckTheirArguments) {
  const auto idOf = [&](const wchar_t* method, DISPID* id) {
    LPOLESTR name = const_cast<LPOLESTR>(method);
    return server_->GetIDsOfNames(IID_NULL, &name, 1, LOCALE_USER_DEFAULT, id);
  };
  DISPID nfun = 0, upper = 0, unknown = 0;
  EXPECT_EQ(idOf(L"NFun", &nfun), S_OK);
  EXPECT_EQ(idOf(L"NFUN", &upper), S_OK);
  EXPECT_EQ(nfun, upper);
  EXPECT_EQ(idOf(L"Pay", &unknown), DISP_E_UNKNOWNNAME);
  EXPECT_EQ(unknown, DISPID_UNKNOWN);

  TLateBound core(server_);
  EXPECT_EQ(core.Call(L"NFun", {}), DISP_E_BADPARAMCOUNT);
  EXPECT_EQ(core.Call(L"Clear", {Int32Value(1)}), DISP_E_BADPARAMCOUNT);
  VARIANT code = Int32Value(4000);
  DISPID named = 0;
  DISPPARAMS withName = {&code, &named, 1, 1};
  EXPECT_EQ(server_->Invoke(nfun, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &withName, nullptr, nullptr,
                            nullptr),
            DISP_E_NONAMEDARGS);
  DISPPARAMS none = {nullptr, nullptr, 0, 0};
  EXPECT_EQ(server_->Invoke(4711, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &none, nullptr, nullptr,
                            nullptr),
            DISP_E_MEMBERNOTFOUND);
  // None of the refused calls reached the payment core.
  EXPECT_TRUE(TComEnvironment::Folder().CallLog().empty());
}

TEST_F(ComServerTest, ObjectsAndLocksKeepTheServerLoaded) {
  // The module COM loaded, reached directly.
  HMODULE dlfx = GetModuleHandleW(TComEnvironment::Folder().PathOf(L"dlfx.dll").c_str());
  ASSERT_NE(dlfx, nullptr);
  using TCanUnloadNow = HRESULT(STDAPICALLTYPE*)();
  using TGetClassObject = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);
  const auto canUnloadNow =
      reinterpret_cast<TCanUnloadNow>(reinterpret_cast<void*>(GetProcAddress(dlfx, "DllCanUnloadNow")));
  const auto getClassObject =
      reinterpret_cast<TGetClassObject>(reinterpret_cast<void*>(GetProcAddress(dlfx, "DllGetClassObject")));
  ASSERT_TRUE(canUnloadNow && getClassObject);

  IUnknown* identity = nullptr;
  ASSERT_EQ(server_->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&identity)), S_OK);
  EXPECT_EQ(identity, static_cast<IUnknown*>(server_));
  void* factoryOfObject = nullptr;
  EXPECT_EQ(server_->QueryInterface(IID_IClassFactory, &factoryOfObject), E_NOINTERFACE);
  EXPECT_EQ(factoryOfObject, nullptr);
  EXPECT_EQ(identity->Release(), 1u);
  EXPECT_EQ(canUnloadNow(), S_FALSE);
  server_->Release();
  server_ = nullptr;
  EXPECT_EQ(canUnloadNow(), S_OK);

  IClassFactory* factory = nullptr;
  void* other = nullptr;
  EXPECT_EQ(getClassObject(IID_IDispatch, IID_IClassFactory, &other), CLASS_E_CLASSNOTAVAILABLE);
  ASSERT_EQ(getClassObject(kDoubleServerClsid, IID_IClassFactory, reinterpret_cast<void**>(&factory)), S_OK);
  EXPECT_EQ(canUnloadNow(), S_FALSE);
  EXPECT_EQ(factory->CreateInstance(factory, IID_IDispatch, &other), CLASS_E_NOAGGREGATION);
  EXPECT_EQ(factory->LockServer(TRUE), S_OK);
  factory->Release();
  EXPECT_EQ(canUnloadNow(), S_FALSE);
  // The lock alone holds the server.
  IClassFactory* again = nullptr;
  ASSERT_EQ(getClassObject(kDoubleServerClsid, IID_IClassFactory, reinterpret_cast<void**>(&again)), S_OK);
  EXPECT_EQ(again->LockServer(FALSE), S_OK);
  again->Release();
  EXPECT_EQ(canUnloadNow(), S_OK);
}

}  // namespace
