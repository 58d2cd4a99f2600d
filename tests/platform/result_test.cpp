#include <gtest/gtest.h>
#include <utility>
#include "system/result.h"

using Codes = std::vector<int32_t>;

TEST(ResultTest, EmptyAndZeroAreSuccessFirstCodeDecides) {
  EXPECT_TRUE(TResult().Succeeded());
  EXPECT_TRUE(TResult().Codes().empty());
  EXPECT_TRUE(TResult(0).Succeeded());
  const TResult failure(RESULT_SOCKET_IO_ERROR, 10054);
  EXPECT_FALSE(failure.Succeeded());
  EXPECT_EQ(failure.GetCode(), RESULT_SOCKET_IO_ERROR);
  EXPECT_EQ(failure.Codes(), (Codes{20004, 10054}));
}

TEST(ResultTest, CopiesShareTheChainAndOutliveEachOther) {
  TResult kept;
  {
    TResult original(19001, 2);
    TResult copy(original);
    kept = copy;
    EXPECT_EQ(copy.Codes(), (Codes{19001, 2}));
  }
  EXPECT_EQ(kept.Codes(), (Codes{19001, 2}));

  const TResult& same = kept;
  kept = same;  // assigning a chain to itself keeps it
  EXPECT_EQ(kept.Codes(), (Codes{19001, 2}));

  TResult moved(std::move(kept));
  EXPECT_EQ(moved.Codes(), (Codes{19001, 2}));
  EXPECT_TRUE(kept.Succeeded());  // a moved-from result is empty
}

TEST(ResultTest, AppendKeepsFirstCodeAndReplacesTheCauses) {
  TResult result(20010, 1);
  result.Append(TResult(20004, 10060));
  EXPECT_EQ(result.Codes(), (Codes{20010, 20004, 10060}));
  result.Append(TResult());
  EXPECT_EQ(result.Codes(), (Codes{20010}));

  TResult empty;
  empty.Append(TResult(5, 6));
  EXPECT_EQ(empty.Codes(), (Codes{5, 6}));
}

TEST(ResultTest, AppendToSharedChainLeavesOtherHoldersAlone) {
  const TResult original(27003, 1);
  TResult changed(original);
  changed.Append(TResult(44001));
  EXPECT_EQ(original.Codes(), (Codes{27003, 1}));
  EXPECT_EQ(changed.Codes(), (Codes{27003, 44001}));

  // A result that adopted another's chain by appending to nothing shares it,
  // so appending to it again must not reach into the other.
  TResult cause(20004, 104);
  TResult adopted;
  adopted.Append(cause);
  adopted.Append(TResult(9));
  EXPECT_EQ(cause.Codes(), (Codes{20004, 104}));
  EXPECT_EQ(adopted.Codes(), (Codes{20004, 9}));
}

TEST(ResultTest, SharedCausesSurviveReleaseOfOneHolder) {
  const TResult cause(20004, 104);
  TResult second(2);
  {
    TResult first(1);
    first.Append(cause);
    second.Append(cause);
    first.Append(TResult(7));  // drops first's hold on the shared causes only
    EXPECT_EQ(first.Codes(), (Codes{1, 7}));
  }
  EXPECT_EQ(second.Codes(), (Codes{2, 20004, 104}));
  EXPECT_EQ(cause.Codes(), (Codes{20004, 104}));
}

TEST(ResultTest, AppendingAResultToItselfMakesNoLoop) {
  TResult result(3, 4);
  result.Append(result);
  EXPECT_EQ(result.Codes(), (Codes{3, 3, 4}));
}
