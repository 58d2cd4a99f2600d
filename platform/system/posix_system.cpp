#include "system/posix_system.h"
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>
#include <cerrno>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <sstream>
#include "system/posix_profile.h"

namespace {

void SleepMilliseconds(uint32_t milliseconds) {
  timespec wait{static_cast<time_t>(milliseconds / 1000), static_cast<long>(milliseconds % 1000) * 1000000L};
  // A signal (the agent's stop request) cuts the sleep short; finish it.
  while (nanosleep(&wait, &wait) != 0 && errno == EINTR) {
  }
}

std::string CurrentDirectory() {
  char buffer[4096];
  return getcwd(buffer, sizeof buffer) ? buffer : ".";
}

}  // namespace

ISystem* GetSystem() {
  static TPosixSystem system;
  return &system;
}

TPosixSystem::TPosixSystem() : appFileSystem_(NewPlatformFileSystem("")) {
  std::srand(static_cast<unsigned>(std::time(nullptr)));
}

TPosixSystem::~TPosixSystem() { ReleaseOwned(); }

void TPosixSystem::Idle() {
  TSystem::Idle();
  SleepMilliseconds(1);
}

TResult TPosixSystem::GetDateTime(uint32_t* date, uint32_t* time) {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  if (date) *date = static_cast<uint32_t>((local.tm_year + 1900) * 10000 + (local.tm_mon + 1) * 100 + local.tm_mday);
  if (time) *time = static_cast<uint32_t>(local.tm_hour * 10000 + local.tm_min * 100 + local.tm_sec);
  return TResult();
}

ITimer* TPosixSystem::CreateTimer(uint32_t milliseconds) { return new TPCTimer(milliseconds); }

void TPosixSystem::Delay(uint32_t milliseconds) { SleepMilliseconds(milliseconds); }

TResult TPosixSystem::OpenFileSystem(const char* path, IFileSystem** out) {
  if (!path || !out) return TResult(RESULT_INVALID_ARGUMENT);
  *out = NewPlatformFileSystem(path);
  // The directory is made where the file system puts its files, beside the
  // program, whatever the current directory is. That it exists already is
  // the usual case.
  char root[kMaxPath] = {};
  if (*out && (*out)->MakePath(root, "") && root[0] != 0) mkdir(root, 0777);
  return TResult();
}

uint32_t TPosixSystem::GetModuleFileName(char* buffer, uint32_t size) {
  if (!buffer || size == 0) return 0;
  const ssize_t length = readlink("/proc/self/exe", buffer, size - 1);
  if (length < 0) {
    buffer[0] = 0;
    return 0;
  }
  buffer[length] = 0;
  return static_cast<uint32_t>(length);
}

// "date -s" sets date and time together; each command keeps the half it is
// not about.
std::string TPosixSystem::DateCommand(uint32_t day, uint32_t month, uint32_t year) {
  std::ostringstream command;
  command << "date -s \"" << year << '-' << month << '-' << day << " $(date +%H:%M:%S)\" >/dev/null";
  return command.str();
}

std::string TPosixSystem::TimeCommand(uint32_t hour, uint32_t minute, uint32_t second) {
  std::ostringstream command;
  command << "date -s " << hour << ':' << minute << ':' << second << " >/dev/null";
  return command.str();
}

std::string TPosixSystem::ReadSoftkey(const char* key, const char* fallback) {
  std::ifstream file(CurrentDirectory() + "/softkeys.ini", std::ios::binary);
  std::ostringstream text;
  text << file.rdbuf();
  return ReadProfileString(text.str(), "Keys", key, fallback, 63);
}

uint32_t TPosixSystem::GetVolumeSerial() {
  struct statvfs volume {};
  if (statvfs(".", &volume) != 0) return 0;
  return static_cast<uint32_t>(volume.f_fsid);
}
