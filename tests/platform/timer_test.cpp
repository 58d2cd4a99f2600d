#include <gtest/gtest.h>
#include "system/timer.h"
#include "system_testutil.h"

TEST(TimerTest, RunsForItsDurationAndRestartsFromNow) {
  fakeTicks = 1000;
  EXPECT_TRUE(TPCTimer(0, ReadFakeTicks).IsExpired());
  TPCTimer timer(500, ReadFakeTicks);
  fakeTicks = 1499;
  EXPECT_FALSE(timer.IsExpired());
  EXPECT_EQ(timer.GetElapsed(), 499u);
  fakeTicks = 1500;
  EXPECT_TRUE(timer.IsExpired());
  fakeTicks = 999;  // the counter went all the way round past the start
  EXPECT_TRUE(timer.IsExpired());

  timer.Restart(100);
  EXPECT_FALSE(timer.IsExpired());
  EXPECT_EQ(timer.GetElapsed(), 0u);
}

TEST(TimerTest, EndPastTheWrapWaitsForTheCounterToWrapAndReachIt) {
  fakeTicks = 0xFFFFFF00u;
  TPCTimer timer(0x200, ReadFakeTicks);  // ends at 0x100 after the wrap
  for (uint32_t now : {0xFFFFFF00u, 0xFFFFFFFFu, 0u, 0xFFu}) {
    fakeTicks = now;
    EXPECT_FALSE(timer.IsExpired()) << std::hex << now;
  }
  fakeTicks = 0x100;
  EXPECT_TRUE(timer.IsExpired());

  fakeTicks = 0xFFFFFFF0u;
  timer.Restart(1000);
  fakeTicks = 0x10;
  EXPECT_EQ(timer.GetElapsed(), 0xFu + 0x10u);
}

TEST(TimerTest, PlatformCounterDrivesADefaultTimer) {
  TPCTimer timer(3600000);
  EXPECT_FALSE(timer.IsExpired());
  EXPECT_LT(timer.GetElapsed(), 3600000u);
}
