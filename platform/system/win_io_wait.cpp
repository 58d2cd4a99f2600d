#include <winsock2.h>
#include <windows.h>

#include <vector>

#include "system/io_wait.h"

namespace {

// WaitForMultipleObjects takes this many handles, the sockets' event among
// them.
constexpr size_t kMaxObjects = MAXIMUM_WAIT_OBJECTS - 1;

}  // namespace

// The watched sockets all signal one event, so that there can be any number
// of them: which of them woke the wait does not matter, since the waiting
// loop looks at every one of them afterwards.
class TIoWait::TPlatform {
 public:
  TPlatform() : socketEvent(WSACreateEvent()) {}
  ~TPlatform() {
    if (socketEvent != WSA_INVALID_EVENT) WSACloseEvent(socketEvent);
  }
  TPlatform(const TPlatform&) = delete;
  TPlatform& operator=(const TPlatform&) = delete;

  WSAEVENT socketEvent;
  std::vector<SOCKET> sockets;
  std::vector<HANDLE> objects;
  // What a wait hands to WaitForMultipleObjects, kept from wait to wait.
  std::vector<HANDLE> handles;
};

TIoWait::TIoWait() : platform_(new TPlatform) {}

TIoWait::~TIoWait() = default;

void TIoWait::Begin(uint32_t milliseconds) {
  limit_ = milliseconds;
  readyNow_ = false;
  platform_->sockets.clear();
  platform_->objects.clear();
}

void TIoWait::WatchSocket(TSocket socket, bool readable, bool writable, bool connecting) {
  TPlatform& platform = *platform_;
  if (platform.socketEvent == WSA_INVALID_EVENT) {
    Within(1);
    return;
  }
  if (platform.sockets.empty()) WSAResetEvent(platform.socketEvent);
  // Selecting records the events that hold already (data waiting, room to
  // write, a peer to accept), so nothing that happened before the wait is
  // missed, and room that comes during the wait is FD_WRITE too. A connect,
  // come through or failed, is FD_CONNECT, which a connected socket records
  // again at every selection: asked for only while the socket connects, or
  // a socket without room would end every wait at once. A reset is FD_CLOSE.
  const long events = FD_CLOSE | (readable ? FD_READ | FD_ACCEPT : 0) | (writable ? FD_WRITE : 0) |
                      (connecting ? FD_CONNECT : 0);
  const SOCKET handle = static_cast<SOCKET>(socket);
  if (WSAEventSelect(handle, platform.socketEvent, events) != 0) {
    Within(1);
    return;
  }
  platform.sockets.push_back(handle);
}

void TIoWait::WatchObject(TWaitObject object) {
  if (platform_->objects.size() >= kMaxObjects) {
    Within(1);
    return;
  }
  platform_->objects.push_back(reinterpret_cast<HANDLE>(object));
}

void TIoWait::Within(uint32_t milliseconds) {
  if (milliseconds < limit_) limit_ = milliseconds;
  if (milliseconds == 0) readyNow_ = true;
}

bool TIoWait::Wait() {
  TPlatform& platform = *platform_;
  bool ready = readyNow_;
  if (!ready) {
    std::vector<HANDLE>& handles = platform.handles;
    handles.clear();
    if (!platform.sockets.empty()) handles.push_back(platform.socketEvent);
    handles.insert(handles.end(), platform.objects.begin(), platform.objects.end());
    if (handles.empty()) {
      Sleep(limit_);
    } else {
      const DWORD count = static_cast<DWORD>(handles.size());
      const DWORD woken = WaitForMultipleObjects(count, handles.data(), FALSE, limit_);
      ready = woken < WAIT_OBJECT_0 + count;
    }
  }
  // A socket left selected would go on signalling the event in later waits
  // that do not watch it, and could not be made blocking again.
  for (SOCKET socket : platform.sockets) WSAEventSelect(socket, nullptr, 0);
  platform.sockets.clear();
  return ready;
}
