#include <gtest/gtest.h>

#include <cctype>
#include <string>
#include <vector>

#include "log/logger_to_file.h"
#include "log_testutil.h"

namespace {

constexpr size_t kTimestampWidth = 15;  // "dd.mm hh:mm:ss "

// An entry as the logger wrote it, without the clock's part.
std::string Untimed(const std::string& entry) { return entry.substr(kTimestampWidth); }

TEST(LoggerToFile, AppendsOneTimestampedEntryPerEvent) {
  TScratchFileSystem scratch("log-append");
  TLoggerToFile logger("conn.txt", scratch.get());
  const uint8_t bytes[] = {0x01, 0x41};
  logger.Log(T_LE_Connected());
  logger.Log(T_LE_Sent(bytes, 2));

  std::string first = FormatLogEntry(T_LE_Connected(), 0, 0);
  std::string second = FormatLogEntry(T_LE_Sent(bytes, 2), 0, 0);
  std::string content = scratch.Read("conn.txt");
  ASSERT_EQ(content.size(), first.size() + second.size());
  EXPECT_EQ(Untimed(content.substr(0, first.size())), Untimed(first));
  EXPECT_EQ(Untimed(content.substr(first.size())), Untimed(second));

  // The stamp is the clock's "dd.mm hh:mm:ss ".
  for (size_t i : {0, 1, 3, 4, 6, 7, 9, 10, 12, 13}) {
    EXPECT_TRUE(std::isdigit(static_cast<unsigned char>(content[i]))) << content;
  }
  EXPECT_EQ(content.substr(2, 1) + content.substr(5, 1) + content.substr(8, 1) + content.substr(11, 1), ". ::");
}

TEST(LoggerToFile, SizeLimitKeepsTheNewestHalfBeforeAddingTheEntry) {
  TScratchFileSystem scratch("log-limit");
  std::string old;
  for (int i = 0; i < 30; ++i) old += "line " + std::to_string(100 + i) + "\n";  // 30 * 9 bytes
  scratch.Write("limited.txt", old);

  TLoggerToFile logger("limited.txt", scratch.get(), 200);
  logger.Log(T_LE_Connected());

  std::string entry = FormatLogEntry(T_LE_Connected(), 0, 0);
  std::string content = scratch.Read("limited.txt");
  ASSERT_EQ(content.size(), 100 + entry.size());
  EXPECT_EQ(content.substr(0, 100), old.substr(old.size() - 100));
  EXPECT_EQ(Untimed(content.substr(100)), Untimed(entry));
  EXPECT_EQ(scratch.FileNames(), std::vector<std::string>{"limited.txt"});

  // Under the limit nothing is cut.
  logger.Log(T_LE_Connected());
  EXPECT_EQ(scratch.Read("limited.txt").size(), 100 + 2 * entry.size());
}

}  // namespace
