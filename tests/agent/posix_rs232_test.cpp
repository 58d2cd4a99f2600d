#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <memory>
#include <string>

#include "agent_process.h"
#include "posix_rs232.h"
#include "rs232_interface.h"
#include "rs232_test_line.h"

// Serial lines on Linux are pseudo-terminals: the port opens the terminal
// end through a link ports/comN beside the program (where the agent looks
// for its ports), and the test plays the far end on the controlling side.
// A pseudo-terminal carries 8 bits without parity whatever it is told, so
// the line format is checked on the settings themselves.

namespace {

class TPtyLine : public TRS232TestLine {
 public:
  TPtyLine(int master, int terminal, uint16_t port, std::string link)
      : master_(master), terminal_(terminal), port_(port), link_(std::move(link)) {}

  ~TPtyLine() override {
    unlink(link_.c_str());
    // Left in place while other lines still use it.
    rmdir(link_.substr(0, link_.rfind('/')).c_str());
    if (master_ >= 0) close(master_);
    close(terminal_);
  }

  uint16_t Port() const override { return port_; }

  // As a USB adapter pulled out: the port's terminal is hung up.
  std::string WhyNotCut() const override { return std::string(); }
  void Cut() override {
    close(master_);
    master_ = -1;
  }

  void SendFar(const std::string& bytes) override {
    size_t sent = 0;
    while (sent < bytes.size()) {
      const ssize_t n = write(master_, bytes.data() + sent, bytes.size() - sent);
      if (n < 0 && errno != EINTR) return;
      if (n > 0) sent += static_cast<size_t>(n);
    }
  }

  std::string ReceiveFar(size_t count) override {
    std::string received;
    char buffer[4096];
    while (received.size() < count) {
      pollfd master = {master_, POLLIN, 0};
      if (poll(&master, 1, kRS232QuietGiveUpMs) <= 0) break;
      const ssize_t n = read(master_, buffer, std::min(sizeof buffer, count - received.size()));
      if (n <= 0) break;
      received.append(buffer, static_cast<size_t>(n));
    }
    return received;
  }

 private:
  int master_;
  // The port's end stays open here too, so that the line outlives the
  // port's closing and opening again.
  int terminal_;
  uint16_t port_;
  std::string link_;
};

std::unique_ptr<TPtyLine> OpenPtyLine() {
  int master = -1;
  int terminal = -1;
  char name[256];
  if (openpty(&master, &terminal, nullptr, nullptr, nullptr) != 0 ||
      ptsname_r(master, name, sizeof name) != 0) {
    ADD_FAILURE() << "no pseudo-terminal: errno " << errno;
    return nullptr;
  }
  const std::string folder = TestProgramDirectory() + "/ports";
  mkdir(folder.c_str(), 0755);
  // The first free number, so that lines of concurrent tests never meet.
  for (uint16_t port = 100; port < 1000; ++port) {
    const std::string link = folder + "/com" + std::to_string(port);
    if (symlink(name, link.c_str()) == 0) {
      return std::make_unique<TPtyLine>(master, terminal, port, link);
    }
    if (errno != EEXIST) break;
  }
  ADD_FAILURE() << "no link for the line in " << folder << ": errno " << errno;
  close(master);
  close(terminal);
  return nullptr;
}

TEST(RS232PosixPort, MapsTheSettingsOntoATerminalsLine) {
  constexpr tcflag_t kFormat = CSIZE | PARENB | PARODD | CSTOPB;
  struct Case {
    TRS232Settings settings;
    tcflag_t format;  // character size, parity and stop bits expected
    speed_t speed;
  };
  const Case cases[] = {
      {{0, 8, 'N', 1, 115200}, CS8, B115200},
      {{0, 7, 'O', 1, 9600}, CS7 | PARENB | PARODD, B9600},
      {{0, 8, 'E', 2, 19200}, CS8 | PARENB | CSTOPB, B19200},
      // Anything but none and odd is even; anything but one stop bit is two.
      {{0, 8, 'M', 0, 57600}, CS8 | PARENB | CSTOPB, B57600},
      // What the terminal cannot take leaves the format and speed it had
      // (here 6 bits, odd parity, 300 baud), but the line still goes raw.
      {{0, 8, 'N', 1, 12345}, CS6 | PARENB | PARODD, B300},
      {{0, 9, 'N', 1, 9600}, CS6 | PARENB | PARODD, B300},
  };
  for (const Case& expected : cases) {
    termios line{};
    line.c_iflag = ICRNL | IXON | INPCK | ISTRIP;
    line.c_oflag = OPOST;
    line.c_lflag = ICANON | ECHO | ISIG | IEXTEN;
    line.c_cflag = CS6 | PARENB | PARODD | CRTSCTS;
    cfsetspeed(&line, B300);
    SetRS232LineSettings(&line, expected.settings);
    EXPECT_EQ(line.c_cflag & kFormat, expected.format)
        << expected.settings.baudRate << " baud, parity " << static_cast<char>(expected.settings.parity);
    EXPECT_EQ(cfgetospeed(&line), expected.speed);
    EXPECT_EQ(cfgetispeed(&line), expected.speed);
    EXPECT_EQ(line.c_lflag & (ICANON | ECHO | ISIG | IEXTEN), 0u);
    EXPECT_EQ(line.c_iflag & (IXON | ICRNL | ISTRIP | INPCK), 0u);
    EXPECT_EQ(line.c_oflag & OPOST, 0u);
    EXPECT_EQ(line.c_cflag & (CLOCAL | CREAD | CRTSCTS), static_cast<tcflag_t>(CLOCAL | CREAD));
  }
}

}  // namespace

std::unique_ptr<TRS232TestLine> OpenRS232TestLine(std::string*) { return OpenPtyLine(); }

// No link names it and there is no 65535th built-in port.
uint16_t MissingRS232Port() { return 65535; }
int32_t MissingRS232PortError() { return ENOENT; }
int32_t RS232WriteTimeoutError() { return ETIMEDOUT; }
