#include <gtest/gtest.h>
#include "system/timer.h"
#include "system_testutil.h"

TEST(TimerTest, ZeroMillisecondsIsExpiredAtOnce) {
  fakeTicks = 5000;
  TPCTimer timer(0, ReadFakeTicks);
  EXPECT_TRUE(timer.IsExpired());
}

TEST(TimerTest, RunsForItsDurationAndRestartsFromNow) {
  fakeTicks = 1000;
  TPCTimer timer(500, ReadFakeTicks);
  fakeTicks = 1499;
  EXPECT_FALSE(timer.IsExpired());
  EXPECT_EQ(timer.GetElapsed(), 499u);
  fakeTicks = 1500;
  EXPECT_TRUE(timer.IsExpired());

  timer.Restart(100);
  EXPECT_FALSE(timer.IsExpired());
  EXPECT_EQ(timer.GetElapsed(), 0u);
  fakeTicks = 1600;
  EXPECT_TRUE(timer.IsExpired());
}

TEST(TimerTest, CounterBelowTheStartCountsAsExpired) {
  // Seen when the counter has gone all the way round past the start.
  fakeTicks = 1000;
  TPCTimer timer(500, ReadFakeTicks);
  fakeTicks = 999;
  EXPECT_TRUE(timer.IsExpired());
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
  fakeTicks = 0x80000000u;
  EXPECT_TRUE(timer.IsExpired());
}

TEST(TimerTest, ElapsedAcrossTheWrap) {
  fakeTicks = 0xFFFFFFF0u;
  TPCTimer timer(1000, ReadFakeTicks);
  fakeTicks = 0xFFFFFFFFu;
  EXPECT_EQ(timer.GetElapsed(), 0xFu);
  fakeTicks = 0x10;
  EXPECT_EQ(timer.GetElapsed(), 0xFu + 0x10u);
}

TEST(TimerTest, PlatformCounterDrivesADefaultTimer) {
  TPCTimer timer(3600000);
  EXPECT_FALSE(timer.IsExpired());
  EXPECT_LT(timer.GetElapsed(), 3600000u);
}
