#include <gtest/gtest.h>

#include <string>

#include "build_flavour.h"
#include "log/logger_to_file.h"

namespace {

// 7 March, 09:05:01.
constexpr uint32_t kDate = 20240307;
constexpr uint32_t kTime = 90501;

std::string Blanks(size_t count) { return std::string(count, ' '); }

// A binary event whose text is longer than its lead character.
class TLabelledDump : public TLogEvent {
 public:
  using TLogEvent::TLogEvent;
  bool IsBinary() const override { return true; }
  const char* GetText() const override { return "Req"; }
};

const char kSeventeen[] = "0123456789:;<=>?@";
const std::string kFirstRow = "30 31 32 33 34 35 36 37 38 39 3A 3B 3C 3D 3E 3F|0123456789:;<=>?";
const std::string kSecondRow = "40 " + Blanks(14 * 3) + "  |@" + Blanks(15);

TEST(LogEntry, ShortDumpPadsOneRowAndShowsControlBytesAsDots) {
  const uint8_t bytes[] = {0x41, 0x0D, 0x42};
  std::string expected = "07.03 09:05:01 >41 0D 42 " + Blanks(12 * 3) + "  |A.B" + Blanks(13) + "\r\n";
  EXPECT_EQ(FormatLogEntry(T_LE_Sent(bytes, 3), kDate, kTime), expected);
}

TEST(LogEntry, FurtherRowsAreIndentedUnderTheFirstWithTheLeadCharacter) {
  EXPECT_EQ(FormatLogEntry(T_LE_Received(kSeventeen, 17), kDate, kTime),
            "07.03 09:05:01 <" + kFirstRow + "\r\n" + Blanks(15) + "<" + kSecondRow + "\r\n");

  // Exactly one full row has no continuation.
  EXPECT_EQ(FormatLogEntry(T_LE_Sent(kSeventeen, 16), kDate, kTime), "07.03 09:05:01 >" + kFirstRow + "\r\n");
}

TEST(LogEntry, LongTextStartsTheDumpOnItsOwnLineExceptInTheAgent) {
  std::string entry = FormatLogEntry(TLabelledDump(kSeventeen, 17), kDate, kTime);
  if (kAgentBuild) {
    EXPECT_EQ(entry, "07.03 09:05:01 Req" + kFirstRow + "\r\n" + Blanks(16) + kSecondRow + "\r\n");
  } else {
    EXPECT_EQ(entry, "07.03 09:05:01 Req\r\n" + Blanks(16) + kFirstRow + "\r\n" + Blanks(16) + kSecondRow + "\r\n");
  }
}

TEST(LogEntry, TextEventsWriteTheirDataAsItIs) {
  const char* connected = kAgentBuild ? "Connected " : "Connected";
  EXPECT_EQ(FormatLogEntry(T_LE_Connected("127.0.0.1"), 20241231, 235959),
            std::string("31.12 23:59:59 ") + connected + "127.0.0.1\r\n");

  // A given length takes the bytes as they are, zero bytes included.
  const char withZero[] = {'a', '\0', 'b'};
  EXPECT_EQ(FormatLogEntry(T_LE_Connected(withZero, 3), kDate, kTime),
            std::string("07.03 09:05:01 ") + connected + std::string(withZero, 3) + "\r\n");
}

TEST(LogEntry, DisconnectAndErrorTexts) {
  if (kAgentBuild) {
    EXPECT_EQ(FormatLogEntry(T_LE_Disconnected(), kDate, kTime), "07.03 09:05:01 Disconnected\r\n\r\n");
    EXPECT_EQ(FormatLogEntry(T_LE_ComError("Error 0"), kDate, kTime), "07.03 09:05:01 Error Error 0\r\n");
  } else {
    EXPECT_EQ(FormatLogEntry(T_LE_Disconnected(), kDate, kTime), "07.03 09:05:01 Disconnected\n\r\n");
    EXPECT_EQ(FormatLogEntry(T_LE_ComError("Error 0"), kDate, kTime), "07.03 09:05:01 Error 0\r\n");
  }
}

}  // namespace
