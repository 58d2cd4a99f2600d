#include <gtest/gtest.h>
#include <string>
#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <termios.h>
#include "system/posix_keyboard.h"

namespace {

tcflag_t LocalFlags(int fd) {
  termios settings{};
  tcgetattr(fd, &settings);
  return settings.c_lflag;
}

// The terminal passes typed bytes on asynchronously; wait until they arrive.
bool WaitForInput(int fd) {
  pollfd waiting{fd, POLLIN, 0};
  return poll(&waiting, 1, 10000) == 1;
}

}  // namespace

TEST(PosixKeyboardTest, ReadsTypedKeysAtOnceWithoutEchoAndRestoresTheTerminal) {
  // The test types on the master side of a pseudo-terminal; the keyboard
  // reads the slave side as its terminal.
  const int master = posix_openpt(O_RDWR | O_NOCTTY);
  ASSERT_GE(master, 0);
  ASSERT_EQ(grantpt(master) | unlockpt(master), 0);
  const int slave = open(ptsname(master), O_RDWR | O_NOCTTY);
  ASSERT_GE(slave, 0);
  const tcflag_t before = LocalFlags(slave);
  {
    TPosixKeyboard keyboard(slave);
    EXPECT_FALSE(LocalFlags(slave) & (ICANON | ECHO));
    EXPECT_TRUE(LocalFlags(slave) & ISIG);  // Ctrl+C still stops the program
    EXPECT_EQ(keyboard.GetKey(), 0);
    ASSERT_EQ(write(master, "q\x1b", 2), 2);  // no line end: keys must not wait for Enter
    ASSERT_TRUE(WaitForInput(slave));
    EXPECT_EQ(keyboard.GetKey(), 'q');
    ASSERT_TRUE(WaitForInput(slave));
    EXPECT_EQ(keyboard.GetKey(), '\x1b');
    EXPECT_EQ(keyboard.GetKey(), 0);
  }
  EXPECT_EQ(LocalFlags(slave), before);
  close(slave);
  close(master);
}

TEST(PosixKeyboardTest, InputThatIsNoTerminalIsLeftUnread) {
  int ends[2];
  ASSERT_EQ(pipe(ends), 0);
  ASSERT_EQ(write(ends[1], "k", 1), 1);
  EXPECT_EQ(TPosixKeyboard(ends[0]).GetKey(), 0);
  char left = 0;
  EXPECT_EQ(read(ends[0], &left, 1), 1);
  EXPECT_EQ(left, 'k');
  close(ends[0]);
  close(ends[1]);
}
