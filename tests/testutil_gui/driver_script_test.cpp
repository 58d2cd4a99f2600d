// The driver's script reading and control names: what a test script writes
// must reach the driver as meant, or fail before anything is started.
#include <gtest/gtest.h>

#include "control_names.h"
#include "form_layout.h"
#include "script.h"

namespace {

using Words = std::vector<std::string>;

TEST(DriverScript, SplitsCommandsAndKeepsQuotedTextExactly) {
  const auto commands = ParseScript(
      "# start-up\n"
      "start Z:\\TavoTest.exe\r\n"
      "\n"
      "   expect status \"Рабочий каталог TAVO:  НЕ ЗАДАН\"\n"
      "expect log \"Список портов в системе:\\nCOM1\\n\"\n"
      "expect lbl2 \"Требует \\\"корректной\\\" настройки \\\\ \\t\\r\"\n"
      "expect-items cbb1 \"\"");
  ASSERT_EQ(commands.size(), 5u);
  EXPECT_EQ(commands[0].line, 2);
  EXPECT_EQ(commands[0].name, "start");
  EXPECT_EQ(commands[0].arguments, Words{"Z:\\TavoTest.exe"});  // backslashes outside quotes stay
  EXPECT_EQ(commands[1].line, 4);
  EXPECT_EQ(commands[1].arguments, (Words{"status", "Рабочий каталог TAVO:  НЕ ЗАДАН"}));
  EXPECT_EQ(commands[2].arguments[1], "Список портов в системе:\nCOM1\n");
  EXPECT_EQ(commands[3].arguments[1], "Требует \"корректной\" настройки \\ \t\r");
  EXPECT_EQ(commands[4].arguments, (Words{"cbb1", ""}));
}

TEST(DriverScript, RefusesTextItCannotReadAndNamesTheLine) {
  const char* broken[] = {
      "click btn1\nexpect log \"unclosed\n",
      "expect log \"ends in a backslash\\",
      "expect status \"C:\\work\\\"",  // \w is no escape
      "expect log \"glued\"text",
  };
  for (const char* script : broken) {
    try {
      ParseScript(script);
      ADD_FAILURE() << "accepted: " << script;
    } catch (const TScriptError& error) {
      EXPECT_EQ(std::string(error.what()).rfind("line ", 0), 0u) << error.what();
    }
  }
  try {
    ParseScript("click btn1\nexpect log \"unclosed\n");
  } catch (const TScriptError& error) {
    EXPECT_EQ(std::string(error.what()).substr(0, 7), "line 2:");
  }
}

TEST(DriverScript, QuotedTextReadsBackAsItWas) {
  const std::string text = "a \"b\"\\c\r\nd\te";
  EXPECT_EQ(QuoteText(text), "\"a \\\"b\\\"\\\\c\\r\\nd\\te\"");
  const auto commands = ParseScript("expect log " + QuoteText(text));
  ASSERT_EQ(commands.size(), 1u);
  EXPECT_EQ(commands[0].arguments[1], text);
}

TEST(DriverControlNames, EachWindowHasItsOwnNames) {
  EXPECT_EQ(ControlIdByName(TWindowKind::MainForm, "btn7"), ID_BTN7);
  EXPECT_EQ(ControlIdByName(TWindowKind::MainForm, "cbb1"), ID_CBB1);
  EXPECT_EQ(ControlIdByName(TWindowKind::MainForm, "mmo1"), ID_MMO1);
  EXPECT_EQ(ControlIdByName(TWindowKind::MainForm, "stat1"), ID_STAT1);
  // btn1 and stat1 of the dialog are other controls than the main window's.
  EXPECT_EQ(ControlIdByName(TWindowKind::WorkDirDialog, "btn1"), 2002);
  EXPECT_EQ(ControlIdByName(TWindowKind::WorkDirDialog, "lst1"), 2001);
  EXPECT_EQ(ControlIdByName(TWindowKind::WorkDirDialog, "stat1"), 2005);
  EXPECT_EQ(ControlIdByName(TWindowKind::StandardDialog, "yes"), 6);
  EXPECT_EQ(ControlIdByName(TWindowKind::StandardDialog, "open"), 1);
  EXPECT_EQ(ControlIdByName(TWindowKind::WorkDirDialog, "btn7"), -1);
  EXPECT_EQ(ControlIdByName(TWindowKind::MainForm, "Сверка"), -1);  // a caption, looked up in the window
  EXPECT_EQ(ControlIdByName(TWindowKind::Other, "1203"), 1203);
  EXPECT_EQ(WindowKindOfClass("TSelectTavoDirDlg"), TWindowKind::WorkDirDialog);
  EXPECT_EQ(WindowKindOfClass("#32770"), TWindowKind::StandardDialog);
}

}  // namespace
