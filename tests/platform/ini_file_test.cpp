#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "files/byte_buffer.h"
#include "files/ini_file.h"
#include "files_testutil.h"

namespace {

std::vector<std::string> LinesOf(const std::string& text, size_t maxLineLength = 0) {
  TLineReader reader(text.data(), text.size(), maxLineLength);
  std::vector<std::string> lines;
  std::string line;
  while (reader.ReadLine(line)) lines.push_back(line);
  return lines;
}

using Lines = std::vector<std::string>;

TEST(LineReader, PairsOfDifferentBreakCharactersCountOnce) {
  EXPECT_EQ(LinesOf("a\r\n\r\nb"), (Lines{"a", "", "b"}));
  EXPECT_EQ(LinesOf("a\n\r"), (Lines{"a"}));
  EXPECT_EQ(LinesOf("a\n\nb"), (Lines{"a", "", "b"}));
  EXPECT_EQ(LinesOf("a\r\rb"), (Lines{"a", "", "b"}));
  EXPECT_EQ(LinesOf("a\rb\nc"), (Lines{"a", "b", "c"}));
}

TEST(LineReader, EndsWithTheLastNonEmptyRemainder) {
  EXPECT_EQ(LinesOf("a\nlast"), (Lines{"a", "last"}));
  EXPECT_EQ(LinesOf("a\n"), (Lines{"a"}));
  EXPECT_EQ(LinesOf(""), Lines{});
  EXPECT_EQ(LinesOf("\n"), (Lines{""}));
}

TEST(LineReader, SkipsNulCharacters) {
  EXPECT_EQ(LinesOf(std::string("a\0b\n\0\nc\0", 8)), (Lines{"ab", "", "c"}));
  EXPECT_EQ(LinesOf(std::string("a\n\0\0", 4)), (Lines{"a"}));
}

TEST(LineReader, CutsLongLinesAndGoesOnAfterTheCut) {
  EXPECT_EQ(LinesOf("abcdefg\nhi", 3), (Lines{"abc", "def", "g", "hi"}));
  EXPECT_EQ(LinesOf("abc\nd", 3), (Lines{"abc", "", "d"}));
}

TEST(LineReader, ReadsAByteBuffer) {
  TLineReader reader(TByteBuffer(std::string("one\r\ntwo")));
  std::string line;
  ASSERT_TRUE(reader.ReadLine(line));
  EXPECT_EQ(line, "one");
  EXPECT_EQ(reader.Position(), 5u);
  ASSERT_TRUE(reader.ReadLine(line));
  EXPECT_EQ(line, "two");
  EXPECT_FALSE(reader.ReadLine(line));
}

TIniFile IniOf(const std::string& text) { return TIniFile("test.ini", TByteBuffer(text)); }

TEST(IniFile, KeysUnderAHeaderAreNotInTheUnnamedSection) {
  const TIniFile ini = IniOf("Trace=1\r\n[Main]\r\nHostURL=10.0.0.5:8080\r\n");
  EXPECT_EQ(ini.GetValue("Trace", "none"), "1");
  EXPECT_EQ(ini.GetValue("HostURL", ""), "");
  EXPECT_EQ(ini.GetValue("Main", "HostURL", ""), "10.0.0.5:8080");
  EXPECT_EQ(ini.GetValue("Main", "Trace", "none"), "none");
}

TEST(IniFile, SectionIsEnteredOnlyByItsOwnHeader) {
  const TIniFile ini = IniOf("[Mainframe]\nKey=frame\n[Main] comment\nKey=main\n[Other]\nKey=other\n");
  EXPECT_EQ(ini.GetValue("Main", "Key", ""), "main");
  EXPECT_EQ(ini.GetValue("Mainframe", "Key", ""), "frame");
  EXPECT_EQ(ini.GetValue("Missing", "Key", "default"), "default");
  // "[]" is too short to be a header, so it does not end the unnamed section.
  EXPECT_EQ(IniOf("[]\nKey=1\n").GetValue("Key", ""), "1");
}

TEST(IniFile, KeyMustBeFollowedDirectlyByEqualsOrColon) {
  EXPECT_EQ(IniOf("HostURL = 10.0.0.5\n").GetValue("HostURL", "none"), "none");
  EXPECT_EQ(IniOf("HostURL= 10.0.0.5\n").GetValue("HostURL", ""), "10.0.0.5");
  EXPECT_EQ(IniOf("HostURL:10.0.0.5\n").GetValue("HostURL", ""), "10.0.0.5");
  EXPECT_EQ(IniOf("HostURLs=1\n").GetValue("HostURL", "none"), "none");
  EXPECT_EQ(IniOf(" HostURL=1\n").GetValue("HostURL", "none"), "none");
  EXPECT_EQ(IniOf("hosturl=1\n").GetValue("HostURL", "none"), "none");
  EXPECT_EQ(IniOf("HostURL\n").GetValue("HostURL", "none"), "none");
}

TEST(IniFile, ValueSkipsLeadingSeparatorsAndKeepsTrailingBlanks) {
  EXPECT_EQ(IniOf("HostURL=10.0.0.5:8080 \n").GetValue("HostURL", ""), "10.0.0.5:8080 ");
  EXPECT_EQ(IniOf("Key=,: \t=value, more\n").GetValue("Key", ""), "value, more");
  EXPECT_EQ(IniOf("Key= \t\nOther=1\n").GetValue("Key", "default"), "");
  EXPECT_EQ(IniOf("Key=first\nKey=second\n").GetValue("Key", ""), "first");
}

TEST(IniFile, NumbersIgnoreTrailingBlanksButNothingElse) {
  const TIniFile ini = IniOf(
      "ComPort=3 \n"
      "Tabbed=7\t \t\n"
      "Leading= 42\n"
      "Junk=3x\n"
      "Inner=1 2\n"
      "Negative=-1\n"
      "Largest=2147483647\n"
      "TooLarge=2147483648\n"
      "Blank= \n");
  EXPECT_EQ(ini.GetInt("ComPort"), 3);
  EXPECT_EQ(ini.GetValue("ComPort", ""), "3 ");
  EXPECT_EQ(ini.GetInt("Tabbed"), 7);
  EXPECT_EQ(ini.GetInt("Leading"), 42);
  EXPECT_EQ(ini.GetInt("Junk"), 0);
  EXPECT_EQ(ini.GetInt("Inner"), 0);
  EXPECT_EQ(ini.GetInt("Negative"), 0);
  EXPECT_EQ(ini.GetInt("Largest"), 2147483647);
  EXPECT_EQ(ini.GetInt("TooLarge"), 0);
  EXPECT_EQ(ini.GetInt("Blank"), 0);
  EXPECT_EQ(ini.GetInt("Missing"), 0);
}

TEST(IniFile, LoadsFromTheProgramsDirectory) {
  TFilesTempDir dir;
  dir.Write("pinpad.ini", "ComPort=4\r\n");
  const TIniFile ini((dir.Name() + "/pinpad.ini").c_str());
  EXPECT_EQ(ini.GetInt("ComPort"), 4);
  EXPECT_EQ(ini.Content().ToString(), "ComPort=4\r\n");
}

TEST(IniFile, MissingFileReadsAsEmpty) {
  TFilesTempDir dir;
  const TIniFile ini((dir.Name() + "/agent.ini").c_str());
  EXPECT_TRUE(ini.Content().Empty());
  EXPECT_EQ(ini.GetValue("Enabled", "1"), "1");
}

}  // namespace
