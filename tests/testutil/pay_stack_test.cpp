#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "log_lines.h"
#include "memory_file_store.h"
#include "pay_stack.h"
#include "unexpected_error.h"

namespace {

const std::wstring kPath = std::wstring(TMemoryFileStore::kProgramDir) + L"pay_stack";

class PayStack : public ::testing::Test {
 protected:
  // A stack loaded from a file holding these bytes.
  void LoadFrom(const std::string& bytes) {
    files_.Put(kPath, bytes);
    stack_.LoadPayStack();
  }
  bool HasFile() { return files_.Exists(kPath); }
  std::string File() { return files_.Files().at(kPath); }
  std::vector<std::wstring> Listed() {
    TLogLines lines;
    stack_.ListPayments(lines, L",");
    return lines.Lines();
  }

  TMemoryFileStore files_;
  TPayStack stack_{files_, kPath};
};

TEST_F(PayStack, PaymentsAreWrittenOldestFirstWithCrLfAfterEveryLine) {
  stack_.LoadPayStack();
  EXPECT_FALSE(HasFile());
  stack_.PushPayment(1);
  stack_.PushPayment(150);
  EXPECT_EQ(File(), "1\r\n150\r\n");
  EXPECT_EQ(stack_.CountPayments(), 2);
}

TEST_F(PayStack, ReadsEveryKindOfLineEnd) {
  LoadFrom("1\r150\n200\r\n300");
  EXPECT_EQ(stack_.CountPayments(), 4);
  stack_.PushPayment(5);
  EXPECT_EQ(File(), "1\r\n150\r\n200\r\n300\r\n5\r\n");
}

TEST_F(PayStack, CancellationTakesTheOldestPaymentAboveOneKopeckThenTheOldestKopeck) {
  LoadFrom("1\r\n150\r\n200\r\n");
  EXPECT_EQ(stack_.CancelAmount(), 150);
  LoadFrom("1\r\n1\r\n");
  EXPECT_EQ(stack_.CancelAmount(), 1);
  EXPECT_TRUE(HasFile());
}

TEST_F(PayStack, NothingToCancelDeletesTheFile) {
  LoadFrom("");
  EXPECT_EQ(stack_.CancelAmount(), -1);
  EXPECT_FALSE(HasFile());
}

TEST_F(PayStack, CancellationDropsLinesThatAreNotAmountsUpToTheChosenOne) {
  LoadFrom("abc\r\n1\r\n");
  EXPECT_EQ(stack_.CancelAmount(), 1);
  EXPECT_EQ(File(), "1\r\n");

  // The walk ends at the chosen entry; what lies behind it is not looked at.
  LoadFrom("x\r\n300\r\ny\r\n");
  EXPECT_EQ(stack_.CancelAmount(), 300);
  EXPECT_EQ(File(), "300\r\ny\r\n");
}

TEST_F(PayStack, AZeroInFrontDoesNotHideAKopeckStillToCancel) {
  LoadFrom("0\r\n1\r\n");
  EXPECT_EQ(stack_.CancelAmount(), 1);
  EXPECT_EQ(File(), "0\r\n1\r\n");
}

TEST_F(PayStack, LeftoversOfZeroAreGoneFromMemoryWhenTheFileIsDeleted) {
  LoadFrom("0\r\n-5\r\n");
  EXPECT_EQ(stack_.CancelAmount(), -1);
  EXPECT_FALSE(HasFile());
  EXPECT_TRUE(stack_.CanReconcile());
  stack_.PushPayment(1);
  EXPECT_EQ(File(), "1\r\n");
}

TEST_F(PayStack, PopRemovesOneMatchingEntryAndTidiesUp) {
  LoadFrom("1\r\n150\r\n150\r\n");
  stack_.PopPayment(150);
  EXPECT_EQ(File(), "1\r\n150\r\n");
  stack_.PopPayment(150);
  EXPECT_EQ(File(), "1\r\n");
  stack_.PopPayment(1);
  EXPECT_FALSE(HasFile());
  EXPECT_EQ(stack_.CountPayments(), 0);
}

TEST_F(PayStack, PopOfAnAmountNotStackedKeepsEveryEntry) {
  LoadFrom("1\r\n150\r\n");
  stack_.PopPayment(999);
  EXPECT_EQ(File(), "1\r\n150\r\n");
}

TEST_F(PayStack, AHandEditedEntryIsStillThePaymentItNames) {
  // A UTF-8 mark from an editor, blanks and a leading zero: all still amounts,
  // so CancelAmount keeps them and the pop after the cancellation finds them.
  LoadFrom("\xEF\xBB\xBF 150 \r\n0200\r\n");
  EXPECT_EQ(stack_.CountPayments(), 2);
  EXPECT_EQ(stack_.CancelAmount(), 150);
  stack_.PopPayment(150);
  EXPECT_EQ(stack_.CancelAmount(), 200);
  stack_.PopPayment(200);
  EXPECT_FALSE(HasFile());

  // Marks twice over: read as the program reads the file it writes, or a
  // payment hidden now would come back after the next write and a restart.
  LoadFrom("\xEF\xBB\xBF\xEF\xBB\xBF" "70\r\n");
  EXPECT_EQ(stack_.CountPayments(), 1);
}

TEST_F(PayStack, ReconciliationOnlyWithNoPaymentsOrASingleKopeck) {
  stack_.LoadPayStack();
  EXPECT_TRUE(stack_.CanReconcile());
  const struct {
    const char* file;
    bool allowed;
  } cases[] = {{"1\r\n", true},         {"150\r\n", false}, {"1\r\n1\r\n", false}, {"1\r\nabc\r\n", true},
               {"0\r\n", false},        {"abc\r\n", false}, {"abc\r\ndef\r\n", true}, {"1\r\n150\r\n", false}};
  for (const auto& c : cases) {
    LoadFrom(c.file);
    EXPECT_EQ(stack_.CanReconcile(), c.allowed) << c.file;
  }
}

TEST_F(PayStack, CountSkipsLinesThatAreNotAmounts) {
  LoadFrom("1\r\nabc\r\n150\r\n\r\n99999999999\r\n");
  EXPECT_EQ(stack_.CountPayments(), 2);
  // The stack is what was loaded and changed since, not what lies on disk.
  files_.Remove(kPath);
  EXPECT_EQ(stack_.CountPayments(), 2);
}

TEST_F(PayStack, ListShowsRoublesWithTheSystemSeparator) {
  LoadFrom("1\r\n150\r\n10000\r\n2147483647\r\n-5\r\nabc\r\n");
  EXPECT_EQ(Listed(), (std::vector<std::wstring>{L"0,01 р.", L"1,5 р.", L"100 р.", L"21474836,47 р.",
                                                 L"-0,05 р.", L"abc"}));
}

TEST_F(PayStack, ClearRemovesTheFile) {
  LoadFrom("1\r\n150\r\n");
  stack_.ClearPayStack();
  EXPECT_FALSE(HasFile());
  EXPECT_TRUE(Listed().empty());
}

TEST_F(PayStack, AFailedWriteThrowsButTheStackKeepsWhatTheCoreConfirmed) {
  LoadFrom("150\r\n");
  files_.unwritable = TMemoryFileStore::kProgramDir;
  EXPECT_THROW(stack_.PushPayment(1), TUnexpectedError);
  EXPECT_THROW(stack_.PopPayment(150), TUnexpectedError);
  EXPECT_EQ(File(), "150\r\n");
  EXPECT_EQ(Listed(), std::vector<std::wstring>{L"0,01 р."});
  files_.unwritable.clear();
  stack_.PushPayment(5);
  EXPECT_EQ(File(), "1\r\n5\r\n");
}

TEST_F(PayStack, EveryQuestionAnswersFromThePaymentsTheFileCouldNotTake) {
  stack_.LoadPayStack();
  files_.unwritable = TMemoryFileStore::kProgramDir;
  EXPECT_THROW(stack_.PushPayment(150), TUnexpectedError);
  EXPECT_FALSE(HasFile());
  EXPECT_EQ(stack_.CountPayments(), 1);
  EXPECT_FALSE(stack_.CanReconcile());
  EXPECT_EQ(Listed(), std::vector<std::wstring>{L"1,5 р."});
  EXPECT_EQ(stack_.CancelAmount(), 150);

  // A pop the file refuses still tidies the stack: a leftover 0 goes, and
  // nothing stands in the way of a reconciliation.
  EXPECT_THROW(stack_.PushPayment(0), TUnexpectedError);
  EXPECT_THROW(stack_.PopPayment(150), TUnexpectedError);
  EXPECT_EQ(stack_.CountPayments(), 0);
  EXPECT_TRUE(stack_.CanReconcile());
}

TEST_F(PayStack, AnUnreadableFileIsNeverOverwritten) {
  files_.Put(kPath, "150\r\n");
  files_.MakeUnreadable(kPath);
  EXPECT_THROW(stack_.LoadPayStack(), TUnexpectedError);
  EXPECT_THROW(stack_.PushPayment(1), TUnexpectedError);
  EXPECT_EQ(files_.writes, 0);
}

TEST_F(PayStack, LoadsOnFirstUseWhenNeverLoaded) {
  files_.Put(kPath, "150\r\n");
  stack_.PushPayment(1);
  EXPECT_EQ(File(), "150\r\n1\r\n");
}

}  // namespace
