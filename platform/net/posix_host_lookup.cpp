#include <arpa/inet.h>
#include <dlfcn.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <system_error>
#include <thread>

#include "net/host_lookup.h"

namespace {

// Shared by the caller and the look-up's thread; whichever lets go last
// frees it.
struct TLookupState {
  std::mutex mutex;
  std::condition_variable finished;
  bool done = false;
  int32_t error = 0;
  IpAddress address = 0;
};

// The host program may dlclose the library while an abandoned look-up still
// runs its code. Marking the library RTLD_NODELETE (dlopen with RTLD_NOLOAD
// finds the loaded copy by the name dladdr gives) keeps it mapped for the
// rest of the process. A thread cannot drop a reference of its own safely:
// the dlclose would unmap the code it returns to. Done only once a look-up
// is abandoned, so a library whose look-ups all end in time unloads as
// before.
void KeepThisCodeLoaded() {
  Dl_info info;
  if (::dladdr(reinterpret_cast<void*>(&KeepThisCodeLoaded), &info) != 0 && info.dli_fname != nullptr) {
    ::dlopen(info.dli_fname, RTLD_NOW | RTLD_NOLOAD | RTLD_NODELETE);
  }
}

}  // namespace

int32_t LookUpHostAddress(const char* name, IpAddress* out) {
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  const int error = ::getaddrinfo(name, nullptr, &hints, &found);
  if (error != 0) return error;
  int32_t result = EAI_NONAME;
  for (const addrinfo* entry = found; entry != nullptr; entry = entry->ai_next) {
    if (entry->ai_family == AF_INET && entry->ai_addr != nullptr) {
      *out = ntohl(reinterpret_cast<const sockaddr_in*>(entry->ai_addr)->sin_addr.s_addr);
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
  auto state = std::make_shared<TLookupState>();
  try {
    std::thread([state, copy = std::string(name), lookup] {
      IpAddress address = 0;
      const int32_t error = lookup(copy.c_str(), &address);
      std::lock_guard<std::mutex> lock(state->mutex);
      state->error = error;
      state->address = address;
      state->done = true;
      state->finished.notify_all();
    }).detach();
  } catch (const std::system_error& failure) {
    return TResult(RESULT_SOCKET_NO_ADDRESS, failure.code().value());
  }
  std::unique_lock<std::mutex> lock(state->mutex);
  if (!state->finished.wait_for(lock, std::chrono::milliseconds(waitMilliseconds), [&] { return state->done; })) {
    lock.unlock();
    KeepThisCodeLoaded();
    return TResult(RESULT_SOCKET_NO_ADDRESS);
  }
  if (state->error != 0) return TResult(RESULT_SOCKET_NO_ADDRESS, state->error);
  if (state->address == 0) return TResult(RESULT_SOCKET_NO_ADDRESS);
  *out = state->address;
  return TResult();
}
