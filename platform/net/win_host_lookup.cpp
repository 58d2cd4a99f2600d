#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>

#include <string>

#include "net/host_lookup.h"

namespace {

constexpr WORD kWinsockVersion = 0x0202;

// Shared by the caller and the look-up's thread; whichever lets go last
// frees it.
struct TLookupState {
  LONG references = 2;
  THostLookup lookup = nullptr;
  std::string name;
  HMODULE module = nullptr;
  int32_t error = 0;
  IpAddress address = 0;
};

void Release(TLookupState* state) {
  if (::InterlockedDecrement(&state->references) == 0) delete state;
}

// The thread holds a reference to the module that holds this code (taken
// for it before it starts) and drops it only as it exits, so the host
// program's FreeLibrary cannot unload the DLL under an abandoned look-up.
// Its own Winsock start keeps a WSACleanup of the interface from pulling the
// resolver away under it.
DWORD WINAPI RunLookup(void* parameter) {
  auto* state = static_cast<TLookupState*>(parameter);
  const HMODULE module = state->module;
  WSADATA data;
  const bool started = ::WSAStartup(kWinsockVersion, &data) == 0;
  IpAddress address = 0;
  const int32_t error = state->lookup(state->name.c_str(), &address);
  state->error = error;
  state->address = address;
  if (started) ::WSACleanup();
  Release(state);
  ::FreeLibraryAndExitThread(module, 0);
  return 0;
}

}  // namespace

int32_t LookUpHostAddress(const char* name, IpAddress* out) {
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  const int error = ::getaddrinfo(name, nullptr, &hints, &found);
  if (error != 0) return error;
  int32_t result = WSAHOST_NOT_FOUND;
  for (const addrinfo* entry = found; entry != nullptr; entry = entry->ai_next) {
    if (entry->ai_family == AF_INET && entry->ai_addr != nullptr) {
      *out = ::ntohl(reinterpret_cast<const sockaddr_in*>(entry->ai_addr)->sin_addr.s_addr);
      result = 0;
      break;
    }
  }
  ::freeaddrinfo(found);
  return result;
}

TResult ResolveHostWithin(const char* name, IpAddress* out, uint32_t waitMilliseconds, THostLookup lookup) {
  *out = 0;
  if (name == nullptr || *name == '\0') return TResult(RESULT_SOCKET_NO_ADDRESS);
  auto* state = new TLookupState;
  state->lookup = lookup;
  state->name = name;
  if (!::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, reinterpret_cast<LPCWSTR>(&RunLookup),
                            &state->module)) {
    const DWORD error = ::GetLastError();
    delete state;
    return TResult(RESULT_SOCKET_NO_ADDRESS, static_cast<int32_t>(error));
  }
  const HANDLE thread = ::CreateThread(nullptr, 0, RunLookup, state, 0, nullptr);
  if (thread == nullptr) {
    const DWORD error = ::GetLastError();
    ::FreeLibrary(state->module);
    delete state;
    return TResult(RESULT_SOCKET_NO_ADDRESS, static_cast<int32_t>(error));
  }
  const bool ended = ::WaitForSingleObject(thread, waitMilliseconds) == WAIT_OBJECT_0;
  ::CloseHandle(thread);
  TResult result(RESULT_SOCKET_NO_ADDRESS);
  if (ended) {
    if (state->error != 0) {
      result = TResult(RESULT_SOCKET_NO_ADDRESS, state->error);
    } else if (state->address != 0) {
      *out = state->address;
      result = TResult();
    }
  }
  Release(state);
  return result;
}
