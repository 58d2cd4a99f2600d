#include <gtest/gtest.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <sstream>
#include <string>

// The program on real pseudo-terminals: two programs at its ends exchange
// bytes both ways at once, no faster than the line, and on SIGTERM it
// reports what it carried and takes its links away.

namespace {

using Clock = std::chrono::steady_clock;

std::string Pattern(size_t size, char first) {
  std::string bytes(size, '\0');
  for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>(first + i % 23);
  return bytes;
}

int OpenEnd(const std::string& link) {
  const int fd = open(link.c_str(), O_RDWR | O_NOCTTY);
  termios line;
  if (fd >= 0 && tcgetattr(fd, &line) == 0) {
    cfmakeraw(&line);
    tcsetattr(fd, TCSANOW, &line);
  }
  return fd;
}

// Reads until count bytes have come or the end has been quiet for 10 s.
std::string ReadEnd(int fd, size_t count) {
  std::string bytes;
  char buffer[1024];
  while (bytes.size() < count) {
    pollfd end = {fd, POLLIN, 0};
    if (poll(&end, 1, 10000) <= 0) break;
    const ssize_t n = read(fd, buffer, sizeof buffer);
    if (n <= 0) break;
    bytes.append(buffer, static_cast<size_t>(n));
  }
  return bytes;
}

TEST(LineEmulatorProgram, CarriesBothWaysAtTheLinePaceAndReportsAtTheEnd) {
  char folderTemplate[] = "/tmp/line-emulator-XXXXXX";
  const std::string folder = mkdtemp(folderTemplate);
  const std::string a = folder + "/a", b = folder + "/b", report = folder + "/report";
  const pid_t emulator = fork();
  if (emulator == 0) {
    const int out = open(report.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    dup2(out, STDOUT_FILENO);
    execl(LINE_EMULATOR_PROGRAM, LINE_EMULATOR_PROGRAM, a.c_str(), b.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  struct stat status;
  for (int i = 0; i < 200 && (lstat(a.c_str(), &status) != 0 || lstat(b.c_str(), &status) != 0); ++i) {
    usleep(20000);
  }
  const int endA = OpenEnd(a);
  const int endB = OpenEnd(b);
  ASSERT_GE(endA, 0);
  ASSERT_GE(endB, 0);

  // 0.2 s of line time one way, 0.1 s the other, both at once.
  const std::string ab = Pattern(2304, 'a');
  const std::string ba = Pattern(1152, 'A');
  const auto start = Clock::now();
  ASSERT_EQ(static_cast<ssize_t>(ab.size()), write(endA, ab.data(), ab.size()));
  ASSERT_EQ(static_cast<ssize_t>(ba.size()), write(endB, ba.data(), ba.size()));
  EXPECT_EQ(ba, ReadEnd(endA, ba.size()));
  EXPECT_EQ(ab, ReadEnd(endB, ab.size()));
  EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(190)) << "faster than the line";
  close(endA);
  close(endB);

  kill(emulator, SIGTERM);
  int exit = -1;
  waitpid(emulator, &exit, 0);
  EXPECT_TRUE(WIFEXITED(exit) && WEXITSTATUS(exit) == 0);
  std::ifstream in(report);
  std::stringstream text;
  text << in.rdbuf();
  EXPECT_NE(std::string::npos, text.str().find("a -> b: 2304 bytes carried")) << text.str();
  EXPECT_NE(std::string::npos, text.str().find("b -> a: 1152 bytes carried")) << text.str();
  EXPECT_NE(0, lstat(a.c_str(), &status)) << "the link is left behind";
  unlink(report.c_str());
  rmdir(folder.c_str());
}

}  // namespace
