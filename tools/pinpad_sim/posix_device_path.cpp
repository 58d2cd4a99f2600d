#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>
#include <cerrno>
#include "posix_rs232.h"
#include "rs232_connection.h"
#include "sim_port.h"

namespace {

// Writes that find the device full wait this long for room at a time.
constexpr int kWriteWaitMs = 10;

// Any terminal device by path, typically the far end of a pseudo-terminal
// pair whose near end the agent holds. Not held exclusively: the simulator
// is a test tool and may share a device with a watcher.
class TDevicePathConnection : public TRS232Connection {
 public:
  TDevicePathConnection(int fd, const TRS232Settings& settings) : TRS232Connection("", nullptr, settings), fd_(fd) {}
  ~TDevicePathConnection() override { close(fd_); }

  int32_t WriteRaw(const void* data, uint32_t length) override {
    const auto* bytes = static_cast<const char*>(data);
    uint32_t written = 0;
    while (written < length) {
      const ssize_t count = write(fd_, bytes + written, length - written);
      if (count > 0) {
        written += static_cast<uint32_t>(count);
        continue;
      }
      if (count < 0 && errno != EAGAIN && errno != EINTR) {
        Fail(RESULT_RS232_IO_FAILED, errno);
        return -1;
      }
      pollfd device = {fd_, POLLOUT, 0};
      poll(&device, 1, kWriteWaitMs);
    }
    return static_cast<int32_t>(written);
  }

  int32_t ReadRaw(void* buffer, uint32_t size) override {
    const ssize_t count = read(fd_, buffer, size);
    // A pseudo-terminal whose other end is closed reads EIO until someone
    // opens it again: a quiet line, not a broken one.
    hungUp_ = count < 0 && errno == EIO;
    if (count >= 0) return static_cast<int32_t>(count);
    if (errno == EAGAIN || errno == EINTR || hungUp_) return 0;
    Fail(RESULT_RS232_IO_FAILED, errno);
    return -1;
  }

 protected:
  void WatchDevice(IIoWait& wait, size_t count) override {
    // A hung-up terminal is "readable" for ever: waits then run to their end.
    if (!hungUp_ && WaitForLineTime(wait, count, TerminalBytesWaiting(fd_))) {
      wait.WatchObject(static_cast<TWaitObject>(fd_));
    }
  }

 private:
  int fd_;
  bool hungUp_ = false;
};

}  // namespace

TResult OpenDevicePath(const std::string& path, const TRS232Settings& settings, IConnection** out) {
  *out = nullptr;
  const int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return RS232Failure(RESULT_RS232_OPEN_FAILED, errno);
  termios line;
  if (tcgetattr(fd, &line) != 0) {
    const int error = errno;
    close(fd);
    return RS232Failure(RESULT_RS232_OPEN_FAILED, error);
  }
  SetRS232LineSettings(&line, settings);
  tcsetattr(fd, TCSANOW, &line);
  tcflush(fd, TCIFLUSH);
  *out = new TDevicePathConnection(fd, settings);
  return TResult();
}
