#include "win_server_lifetime.h"

#include <atomic>

namespace {

std::atomic<long> liveObjects{0};
std::atomic<long> locks{0};

}  // namespace

void ServerObjectCreated() { ++liveObjects; }

void ServerObjectDestroyed() { --liveObjects; }

void ServerLocked(bool lock) {
  if (lock) {
    ++locks;
  } else {
    --locks;
  }
}

bool ServerInUse() { return liveObjects > 0 || locks > 0; }
