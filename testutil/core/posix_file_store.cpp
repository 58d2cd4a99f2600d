#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>

#include "file_store.h"
#include "unexpected_error.h"
#include "utf8_text.h"

namespace {

std::string NativePath(const std::wstring& path) {
  std::string native = WideToUtf8(path);
  std::replace(native.begin(), native.end(), '\\', '/');
  return native;
}

class TDescriptor {
 public:
  explicit TDescriptor(int descriptor) : descriptor_(descriptor) {}
  ~TDescriptor() {
    if (IsOpen()) close(descriptor_);
  }
  TDescriptor(const TDescriptor&) = delete;
  TDescriptor& operator=(const TDescriptor&) = delete;
  bool IsOpen() const { return descriptor_ >= 0; }
  int Get() const { return descriptor_; }
  bool Close() {
    const bool closed = close(descriptor_) == 0;
    descriptor_ = -1;
    return closed;
  }

 private:
  int descriptor_;
};

bool WriteAll(int descriptor, const std::string& bytes) {
  errno = 0;
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t written = write(descriptor, bytes.data() + done, bytes.size() - done);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return false;
    done += static_cast<size_t>(written);
  }
  return fsync(descriptor) == 0;
}

}  // namespace

std::optional<std::string> TDiskFileStore::Read(const std::wstring& path) {
  TDescriptor file(open(NativePath(path).c_str(), O_RDONLY | O_CLOEXEC));
  struct stat status {};
  // A folder opens on Linux but not on Windows; it is no file here either.
  if (!file.IsOpen() || fstat(file.Get(), &status) != 0 || !S_ISREG(status.st_mode)) return std::nullopt;
  std::string bytes;
  char buffer[64 * 1024];
  for (;;) {
    const ssize_t got = read(file.Get(), buffer, sizeof(buffer));
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return std::nullopt;
    if (got == 0) return bytes;
    bytes.append(buffer, static_cast<size_t>(got));
  }
}

void TDiskFileStore::Write(const std::wstring& path, const std::string& bytes) {
  const std::string target = NativePath(path);
  const std::string pending = target + ".new";
  TDescriptor file(open(pending.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
  if (!file.IsOpen()) throw TUnexpectedError(CannotWriteText(path, errno));
  int error = 0;
  if (!WriteAll(file.Get(), bytes)) error = errno != 0 ? errno : EIO;
  if (!file.Close() && error == 0) error = errno;
  if (error == 0 && rename(pending.c_str(), target.c_str()) != 0) error = errno;
  if (error != 0) {
    unlink(pending.c_str());
    throw TUnexpectedError(CannotWriteText(path, error));
  }
}

bool TDiskFileStore::Remove(const std::wstring& path) {
  const std::string native = NativePath(path);
  struct stat status {};
  return stat(native.c_str(), &status) == 0 && !S_ISDIR(status.st_mode) && unlink(native.c_str()) == 0;
}

bool TDiskFileStore::Exists(const std::wstring& path) {
  struct stat status {};
  return stat(NativePath(path).c_str(), &status) == 0;
}

bool TDiskFileStore::CreateFolder(const std::wstring& path) { return mkdir(NativePath(path).c_str(), 0755) == 0; }
