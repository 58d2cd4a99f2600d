#include <gtest/gtest.h>
#include <string>
#include "system/keyboard.h"

namespace {

// Stands for the platform's key source: hands out the typed keys in order.
class TScriptedKeyboard : public TKeyboard {
 public:
  char PollKey() override {
    ++polls;
    if (typed.empty()) return 0;
    const char key = typed.front();
    typed.erase(0, 1);
    return key;
  }
  std::string typed;
  int polls = 0;
};

}  // namespace

TEST(KeyboardTest, PendingKeyComesFirstAndOnlyOnce) {
  TScriptedKeyboard keyboard;
  keyboard.typed = "t";
  keyboard.PutKey('a');
  keyboard.PutKey('b');  // one pending key only: the second replaces it
  EXPECT_EQ(keyboard.GetKey(), 'b');
  EXPECT_EQ(keyboard.polls, 0);
  EXPECT_EQ(keyboard.GetKey(), 't');
  EXPECT_EQ(keyboard.GetKey(), 0);
  EXPECT_EQ(keyboard.polls, 2);
}

TEST(KeyboardTest, ClearedKeyIsNotHandedOut) {
  TScriptedKeyboard keyboard;
  keyboard.PutKey('x');
  keyboard.ClearKey();
  EXPECT_EQ(keyboard.GetKey(), 0);
  EXPECT_EQ(keyboard.polls, 1);
}

#ifndef _WIN32
#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <string.h>
#include <termios.h>
#include "system/posix_keyboard.h"

namespace {

// A pseudo-terminal pair: the test types on the master side, the keyboard
// reads the slave side as its terminal.
class TPseudoTerminal {
 public:
  TPseudoTerminal() {
    master = posix_openpt(O_RDWR | O_NOCTTY);
    if (master >= 0 && grantpt(master) == 0 && unlockpt(master) == 0) slave = open(ptsname(master), O_RDWR | O_NOCTTY);
  }
  ~TPseudoTerminal() {
    if (slave >= 0) close(slave);
    if (master >= 0) close(master);
  }
  TPseudoTerminal(const TPseudoTerminal&) = delete;
  TPseudoTerminal& operator=(const TPseudoTerminal&) = delete;

  void Type(const char* keys) { ASSERT_EQ(write(master, keys, strlen(keys)), static_cast<ssize_t>(strlen(keys))); }
  // The terminal passes typed bytes on asynchronously; wait until they arrive.
  bool WaitForInput() {
    pollfd waiting{slave, POLLIN, 0};
    return poll(&waiting, 1, 10000) == 1;
  }
  tcflag_t LocalFlags() const {
    termios settings{};
    tcgetattr(slave, &settings);
    return settings.c_lflag;
  }

  int master = -1;
  int slave = -1;
};

}  // namespace

TEST(PosixKeyboardTest, ReadsTypedKeysAtOnceWithoutEchoAndRestoresTheTerminal) {
  TPseudoTerminal terminal;
  ASSERT_GE(terminal.slave, 0);
  const tcflag_t before = terminal.LocalFlags();
  ASSERT_TRUE(before & ICANON);
  {
    TPosixKeyboard keyboard(terminal.slave);
    EXPECT_FALSE(terminal.LocalFlags() & (ICANON | ECHO));
    EXPECT_TRUE(terminal.LocalFlags() & ISIG);  // Ctrl+C still stops the program
    EXPECT_EQ(keyboard.GetKey(), 0);

    terminal.Type("q\x1b");  // no line end: keys must not wait for Enter
    ASSERT_TRUE(terminal.WaitForInput());
    EXPECT_EQ(keyboard.GetKey(), 'q');
    ASSERT_TRUE(terminal.WaitForInput());
    EXPECT_EQ(keyboard.GetKey(), '\x1b');
    EXPECT_EQ(keyboard.GetKey(), 0);
  }
  EXPECT_EQ(terminal.LocalFlags(), before);
}

TEST(PosixKeyboardTest, InputThatIsNoTerminalIsLeftUnread) {
  int ends[2];
  ASSERT_EQ(pipe(ends), 0);
  ASSERT_EQ(write(ends[1], "k", 1), 1);
  {
    TPosixKeyboard keyboard(ends[0]);
    EXPECT_EQ(keyboard.GetKey(), 0);
  }
  char left = 0;
  EXPECT_EQ(read(ends[0], &left, 1), 1);
  EXPECT_EQ(left, 'k');
  close(ends[0]);
  close(ends[1]);
}
#endif
