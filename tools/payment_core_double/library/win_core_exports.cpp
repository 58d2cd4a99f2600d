// The exports of corvo_nt.dll. corvo_nt.def gives them their names, which
// begin with an underscore and must not be decorated on either architecture.
#include <new>

#include "core_library.h"
#include "win_double_folder.h"

namespace {

// What an export answers when the double itself runs out of memory: nothing
// may escape into a caller that is not C++.
constexpr int32_t kResultDoubleFailed = 9999;

TCoreLibrary& Library() {
  static TWinDoubleFolder folder(reinterpret_cast<const void*>(&Library));
  static TCoreLibrary library(folder);
  return library;
}

template <typename Call>
int32_t Guarded(Call call) {
  try {
    return call(Library());
  } catch (const std::bad_alloc&) {
    return kResultDoubleFailed;
  }
}

}  // namespace

extern "C" {

int32_t __cdecl CoreTestPinpad() {
  return Guarded([](TCoreLibrary& library) { return library.TestPinpad(); });
}

int32_t __cdecl CoreServiceMenu(TCoreAnswer* answer) {
  return Guarded([=](TCoreLibrary& library) { return library.ServiceMenu(answer); });
}

int32_t __cdecl CoreCloseDay(TCoreAnswer* answer) {
  return Guarded([=](TCoreLibrary& library) { return library.CloseDay(answer); });
}

int32_t __cdecl CoreCardAuthorize6(void* reserved, TCoreAnswerEx* answer) {
  return Guarded([=](TCoreLibrary& library) { return library.CardAuthorize6(reserved, answer); });
}

int32_t __cdecl CoreGetTerminalId(char* terminalId) {
  return Guarded([=](TCoreLibrary& library) { return library.GetTerminalId(terminalId); });
}

int32_t __cdecl CoreGetStatistics(TCoreAnswer* answer) {
  return Guarded([=](TCoreLibrary& library) { return library.GetStatistics(answer); });
}

int32_t __cdecl CoreReadCardFull(char* cardNumber, char* expiry) {
  return Guarded([=](TCoreLibrary& library) { return library.ReadCardFull(cardNumber, expiry); });
}

}  // extern "C"
