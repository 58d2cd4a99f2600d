#include "posix_rs232.h"

#include <fcntl.h>
#include <limits.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <string>

#include "files/file_system.h"
#include "rs232_connection.h"
#include "rs232_interface.h"

namespace {

// The device behind COMn. A link ports/comN beside the program names it
// when present, so that any device (a USB adapter, a pseudo-terminal) can
// serve as a numbered port; without one, COMn is the nth built-in port.
std::string DevicePath(uint16_t port) {
  char module[PATH_MAX];
  if (GetCodeModulePath(module, sizeof module) != 0) {
    std::string link(module);
    const size_t separator = link.rfind('/');
    if (separator != std::string::npos) {
      link.erase(separator + 1);
      link += "ports/com" + std::to_string(port);
      struct stat status;
      // A dangling link still names the port: its absence is reported
      // rather than some other device being opened.
      if (lstat(link.c_str(), &status) == 0) return link;
    }
  }
  // There is no COM0: an empty path fails to open as a missing port.
  if (port == 0) return std::string();
  return "/dev/ttyS" + std::to_string(port - 1);
}

bool SpeedOf(int32_t baudRate, speed_t* speed) {
  static const struct {
    int32_t rate;
    speed_t speed;
  } kSpeeds[] = {
      {50, B50},         {75, B75},           {110, B110},         {150, B150},
      {200, B200},       {300, B300},         {600, B600},         {1200, B1200},
      {1800, B1800},     {2400, B2400},       {4800, B4800},       {9600, B9600},
      {19200, B19200},   {38400, B38400},     {57600, B57600},     {115200, B115200},
      {230400, B230400}, {460800, B460800},   {500000, B500000},   {576000, B576000},
      {921600, B921600}, {1000000, B1000000}, {1152000, B1152000}, {1500000, B1500000},
      {2000000, B2000000}, {2500000, B2500000}, {3000000, B3000000}, {3500000, B3500000},
      {4000000, B4000000},
  };
  for (const auto& known : kSpeeds) {
    if (known.rate == baudRate) {
      *speed = known.speed;
      return true;
    }
  }
  return false;
}

bool CharacterSizeOf(uint8_t byteSize, tcflag_t* size) {
  switch (byteSize) {
    case 5: *size = CS5; return true;
    case 6: *size = CS6; return true;
    case 7: *size = CS7; return true;
    case 8: *size = CS8; return true;
    default: return false;
  }
}

tcflag_t ParityFlags(int32_t parity) {
  if (parity == 'N') return 0;
  if (parity == 'O') return PARENB | PARODD;
  return PARENB;
}

void Configure(int fd, const TRS232Settings& settings) {
  termios line;
  if (tcgetattr(fd, &line) != 0) return;
  SetRS232LineSettings(&line, settings);
  tcsetattr(fd, TCSANOW, &line);
}

class TPosixRS232Connection : public TRS232Connection {
 public:
  TPosixRS232Connection(const char* logName, IFileSystem* logFileSystem, const TRS232Settings& settings,
                        int fd)
      : TRS232Connection(logName, logFileSystem, settings), fd_(fd) {}

  ~TPosixRS232Connection() override {
    // A terminal that is closed with output pending waits for it to drain
    // (a serial driver up to 30 seconds): on a stalled line it never will.
    if (stalled_) tcflush(fd_, TCOFLUSH);
    // The exclusive mode belongs to the terminal, not to this descriptor: it
    // would outlive the close while anyone else holds the device open.
    ioctl(fd_, TIOCNXCL);
    close(fd_);
  }

  int32_t WriteRaw(const void* data, uint32_t length) override {
    const char* bytes = static_cast<const char*>(data);
    uint32_t written = 0;
    Clock::time_point lastProgress = Clock::now();
    while (written < length) {
      const ssize_t count = write(fd_, bytes + written, length - written);
      if (count > 0) {
        written += static_cast<uint32_t>(count);
        lastProgress = Clock::now();
        stalled_ = false;
        continue;
      }
      if (count < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) {
        Fail(RESULT_RS232_IO_FAILED, errno);
        return -1;
      }
      // The driver's buffer is full: wait until it drains to the line, but
      // not for a line that has stopped moving. A signal (a stop request)
      // only shortens one wait; the budget still counts from the last byte.
      const int waitMs = WaitLeftMs(lastProgress);
      if (waitMs == 0) {
        stalled_ = true;
        Fail(RESULT_RS232_IO_FAILED, ETIMEDOUT);
        return -1;
      }
      pollfd port = {fd_, POLLOUT, 0};
      if (poll(&port, 1, waitMs) < 0 && errno != EINTR) {
        Fail(RESULT_RS232_IO_FAILED, errno);
        return -1;
      }
    }
    return static_cast<int32_t>(written);
  }

  int32_t ReadRaw(void* buffer, uint32_t size) override {
    // Bytes with line errors (parity, framing) are read as they came: the
    // protocol's checks above decide what is damaged.
    const ssize_t count = read(fd_, buffer, size);
    if (count >= 0) readFailed_ = false;
    if (count > 0) return static_cast<int32_t>(count);
    if (count == 0) {
      // A hung-up terminal reads as empty, the same as a quiet line; only
      // poll tells them apart.
      pollfd port = {fd_, POLLIN, 0};
      if (poll(&port, 1, 0) == 1 && (port.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0) {
        FailDevice(RESULT_RS232_IO_FAILED, EIO);
        return -1;
      }
      return 0;
    }
    if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) return 0;
    if (errno == EIO || errno == ENXIO || errno == ENODEV || errno == EBADF) {
      FailDevice(RESULT_RS232_IO_FAILED, errno);
    } else {
      readFailed_ = true;
      Fail(RESULT_RS232_IO_FAILED, errno);
    }
    return -1;
  }

 protected:
  void WatchDevice(IIoWait& wait, size_t count) override {
    // A device that fails its reads is "readable" for ever; watching it would
    // end every wait at once.
    if (!readFailed_ && GetState() != CONNECTION_CLOSED &&
        WaitForLineTime(wait, count, TerminalBytesWaiting(fd_))) {
      wait.WatchObject(static_cast<TWaitObject>(fd_));
    }
  }

 private:
  using Clock = std::chrono::steady_clock;

  // What is left of the wait for the device to take a byte.
  int WaitLeftMs(Clock::time_point lastProgress) const {
    const uint32_t allowed = stalled_ ? kRS232StalledWriteWaitMs : kRS232WriteBudgetMs;
    const auto waited =
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - lastProgress).count();
    return waited >= allowed ? 0 : static_cast<int>(allowed - waited);
  }

  int fd_;
  // The last write timed out and the device has taken nothing since.
  bool stalled_ = false;
  // The last read failed for a reason other than the device's end.
  bool readFailed_ = false;
};

class TPosixRS232Interface : public TRS232Interface {
 public:
  using TRS232Interface::TRS232Interface;

  TResult OpenPort(const TRS232Settings& settings, IConnection** out) override {
    *out = nullptr;
    // Not blocking: a port without carrier would hold open() until one
    // appears. Writes wait with poll instead; reads never wait.
    const int fd = open(DevicePath(settings.port).c_str(),
                        O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return RS232Failure(RESULT_RS232_OPEN_FAILED, errno);
    // The port is held exclusively, as on Windows: the lock turns away every
    // other opener that locks (this program among them, and root, whom
    // TIOCEXCL lets through); TIOCEXCL turns away the others. A device that
    // is not a terminal fails here too.
    if (flock(fd, LOCK_EX | LOCK_NB) != 0 || ioctl(fd, TIOCEXCL) != 0) {
      const int error = errno;
      close(fd);
      return RS232Failure(RESULT_RS232_OPEN_FAILED, error);
    }
    Configure(fd, settings);
    // Whatever arrived before the port was ours belongs to nobody.
    tcflush(fd, TCIFLUSH);
    *out = new TPosixRS232Connection(RS232LogName(settings.port).c_str(), LogFileSystem(), settings, fd);
    return TResult();
  }
};

}  // namespace

void SetRS232LineSettings(termios* line, const TRS232Settings& settings) {
  line->c_iflag &= ~(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON | IXOFF |
                     IXANY | INPCK);
  line->c_oflag &= ~OPOST;
  line->c_lflag &= ~(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
  line->c_cflag &= ~CRTSCTS;
  line->c_cflag |= CLOCAL | CREAD;
  line->c_cc[VMIN] = 0;
  line->c_cc[VTIME] = 0;
  speed_t speed;
  tcflag_t size;
  if (SpeedOf(settings.baudRate, &speed) && CharacterSizeOf(settings.byteSize, &size)) {
    cfsetispeed(line, speed);
    cfsetospeed(line, speed);
    line->c_cflag &= ~(CSIZE | PARENB | PARODD | CSTOPB);
    line->c_cflag |= size | ParityFlags(settings.parity) | (settings.stopBits == 1 ? 0 : CSTOPB);
  }
}

size_t TerminalBytesWaiting(int fd) {
  int waiting = 0;
  return ioctl(fd, FIONREAD, &waiting) == 0 && waiting > 0 ? static_cast<size_t>(waiting) : 0;
}

IRS232Interface* NewPlatformRS232Interface(IFileSystem* logFileSystem) {
  return new TPosixRS232Interface(logFileSystem);
}
