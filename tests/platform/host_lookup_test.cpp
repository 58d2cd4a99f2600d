#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <vector>

#include "net/host_lookup.h"

namespace {

// A look-up that the test holds until it opens the gate. It lives for the
// whole process: an abandoned look-up may come back to it at any time.
struct TGate {
  std::mutex mutex;
  std::condition_variable changed;
  bool open = false;
  int entered = 0;
  int left = 0;
  std::string name;
  int32_t error = 0;
};

TGate& Gate() {
  static TGate* gate = new TGate;
  return *gate;
}

int32_t HeldLookup(const char* name, IpAddress* out) {
  TGate& gate = Gate();
  std::unique_lock<std::mutex> lock(gate.mutex);
  ++gate.entered;
  gate.changed.notify_all();
  gate.changed.wait_for(lock, std::chrono::seconds(60), [&] { return gate.open; });
  // Read only now, long after the caller has gone: it must be the look-up's
  // own copy of the name.
  gate.name = name;
  *out = 0x0A000001;
  ++gate.left;
  gate.changed.notify_all();
  return gate.error;
}

template <class Done>
bool AwaitGate(Done done) {
  TGate& gate = Gate();
  std::unique_lock<std::mutex> lock(gate.mutex);
  return gate.changed.wait_for(lock, std::chrono::seconds(30), done);
}

TEST(HostLookup, CallerGoesOnAtTheDeadlineAndTheLateLookupTouchesNothingOfItsOwn) {
  TGate& gate = Gate();
  IpAddress resolved = 1;
  {
    std::string name = "slow.example";
    TResult result = ResolveHostWithin(name.c_str(), &resolved, 100, &HeldLookup);
    EXPECT_EQ(result.Codes(), std::vector<int32_t>{RESULT_SOCKET_NO_ADDRESS});
    std::fill(name.begin(), name.end(), 'x');
  }
  EXPECT_EQ(resolved, 0u);
  ASSERT_TRUE(AwaitGate([&] { return gate.entered == 1; }));
  {
    std::lock_guard<std::mutex> lock(gate.mutex);
    EXPECT_EQ(gate.left, 0) << "the caller waited for the look-up";
    gate.open = true;
    gate.changed.notify_all();
  }
  ASSERT_TRUE(AwaitGate([&] { return gate.left == 1; }));
  EXPECT_EQ(gate.name, "slow.example");
  EXPECT_EQ(resolved, 0u) << "the late answer reached the caller's variable";

  // Look-ups that end in time: the address, or the resolver's error behind
  // the code.
  EXPECT_TRUE(ResolveHostWithin("fast.example", &resolved, 30000, &HeldLookup).Succeeded());
  EXPECT_EQ(resolved, 0x0A000001u);
  gate.error = 11001;
  EXPECT_EQ(ResolveHostWithin("gone.example", &resolved, 30000, &HeldLookup).Codes(),
            (std::vector<int32_t>{RESULT_SOCKET_NO_ADDRESS, 11001}));
  EXPECT_EQ(resolved, 0u);
}

}  // namespace
