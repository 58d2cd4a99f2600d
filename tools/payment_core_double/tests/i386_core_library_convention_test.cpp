// The library's seven exports called as TavoTest declares them: cdecl, so
// each must leave its arguments on the stack for the caller. A mismatch
// would move the caller's stack pointer on every call, which only 32-bit
// code can show.
#include <windows.h>

#include <gtest/gtest.h>

#include <type_traits>

#include "core_answer.h"
#include "stack_check.h"
#include "win_test_folder.h"

namespace {

template <typename Argument>
uint32_t Word(Argument* pointer) {
  return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(pointer));
}

// Calls the export with the arguments its declared type takes; answers the
// result and the bytes the export removed from the stack.
template <typename Declared, typename... Arguments>
int32_t CallAsDeclared(HMODULE library, const char* name, int32_t* bytesPopped, Arguments... arguments) {
  static_assert(std::is_invocable_r_v<int32_t, Declared, Arguments...>, "the arguments TavoTest passes");
  const FARPROC address = GetProcAddress(library, name);
  if (!address) {
    ADD_FAILURE() << "no export " << name;
    return -1;
  }
  const uint32_t words[] = {0, Word(arguments)...};  // the leading 0 keeps the array non-empty
  return static_cast<int32_t>(TavoCallCountingPops(reinterpret_cast<const void*>(address), words + 1,
                                                   sizeof...(Arguments), bytesPopped));
}

}  // namespace

TEST(CoreLibraryConvention, EveryExportLeavesItsArgumentsToTheCaller) {
  TTestFolder folder({L"corvo_nt.dll"});
  const HMODULE library = LoadLibraryW(folder.PathOf(L"corvo_nt.dll").c_str());
  ASSERT_NE(library, nullptr) << "Windows error " << GetLastError();

  TCoreAnswer answer{};
  TCoreAnswerEx payment{};
  payment.answer.operationType = 1;
  payment.answer.amount = 1;
  char terminal[9] = {};
  char card[30] = {};
  char expiry[6] = {};
  int32_t popped = -1;
  EXPECT_EQ(CallAsDeclared<TTestPinpad>(library, "_TestPinpad", &popped), 0);
  EXPECT_EQ(popped, 0) << "_TestPinpad";
  EXPECT_EQ(CallAsDeclared<TServiceMenu>(library, "_ServiceMenu", &popped, &answer), 0);
  EXPECT_EQ(popped, 0) << "_ServiceMenu";
  EXPECT_EQ(CallAsDeclared<TCloseDay>(library, "_close_day", &popped, &answer), 0);
  EXPECT_EQ(popped, 0) << "_close_day";
  EXPECT_EQ(CallAsDeclared<TCardAuthorize6>(library, "_card_authorize6", &popped, static_cast<void*>(nullptr),
                                            &payment), 0);
  EXPECT_EQ(popped, 0) << "_card_authorize6";
  EXPECT_EQ(payment.answer.amount, 1);
  EXPECT_EQ(CallAsDeclared<TGetTerminalId>(library, "_GetTerminalID", &popped, terminal), 0);
  EXPECT_EQ(popped, 0) << "_GetTerminalID";
  EXPECT_STREQ(terminal, "00004711");
  EXPECT_EQ(CallAsDeclared<TGetStatistics>(library, "_get_statistics", &popped, &answer), 0);
  EXPECT_EQ(popped, 0) << "_get_statistics";
  EXPECT_EQ(CallAsDeclared<TReadCardFull>(library, "_ReadCardFull", &popped, card, expiry), 0);
  EXPECT_EQ(popped, 0) << "_ReadCardFull";
  EXPECT_STREQ(card, "4111111111111111");
  FreeLibrary(library);
}

// The check itself: a stdcall function, which removes its own arguments, is
// seen doing so.
namespace {
int32_t __stdcall TakesItsOwnArguments(int32_t first, int32_t second) { return first + second; }
}  // namespace

TEST(CoreLibraryConvention, AStdcallCalleeIsSeenRemovingItsArguments) {
  const uint32_t words[] = {40, 2};
  int32_t popped = -1;
  EXPECT_EQ(TavoCallCountingPops(reinterpret_cast<const void*>(&TakesItsOwnArguments), words, 2, &popped), 42u);
  EXPECT_EQ(popped, 8);
}
