#include <gtest/gtest.h>
#include <utility>
#include "system/result.h"

using Codes = std::vector<int32_t>;

TEST(ResultTest, CopiesShareTheChainAndOutliveEachOther) {
  EXPECT_TRUE(TResult().Succeeded());
  TResult kept;
  {
    TResult original(19001, 2);
    TResult copy(original);
    kept = copy;
  }
  const TResult& same = kept;
  kept = same;
  EXPECT_EQ(kept.Codes(), (Codes{19001, 2}));
  TResult moved(std::move(kept));
  EXPECT_EQ(moved.GetCode(), 19001);
  EXPECT_TRUE(kept.Succeeded());  // a moved-from result is empty
}

TEST(ResultTest, AppendReplacesTheCausesWithoutTouchingOtherHolders) {
  const TResult original(20010, 1);
  TResult changed(original);
  changed.Append(TResult(20004, 10060));
  EXPECT_EQ(original.Codes(), (Codes{20010, 1}));
  EXPECT_EQ(changed.Codes(), (Codes{20010, 20004, 10060}));

  // Appending to nothing adopts the other chain, so a later append must not
  // reach into it.
  const TResult cause(20004, 104);
  TResult adopted;
  adopted.Append(cause);
  adopted.Append(TResult(9));
  EXPECT_EQ(cause.Codes(), (Codes{20004, 104}));
  EXPECT_EQ(adopted.Codes(), (Codes{20004, 9}));
}

TEST(ResultTest, SharedCausesSurviveTheirHolders) {
  const TResult cause(20004, 104);
  TResult second(2);
  {
    TResult first(1);
    first.Append(cause);
    second.Append(cause);
    first.Append(TResult(7));
  }
  EXPECT_EQ(second.Codes(), (Codes{2, 20004, 104}));

  TResult self(3, 4);
  self.Append(self);  // must not make the chain point back at itself
  EXPECT_EQ(self.Codes(), (Codes{3, 3, 4}));
}
