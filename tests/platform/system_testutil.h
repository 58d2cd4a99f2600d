#pragma once
// Helpers shared by the tests of the system object, timers and devices.
#include <unistd.h>
#include <cstdint>
#include <filesystem>
#include <string>

#ifdef _WIN32
#include "system/win_system.h"
using TPlatformSystem = TWinSystem;
// What setting the clock to 5 March 2024, 09:07:03 runs.
inline const char* const kSetDateCommand = "date 5-3-2024";
inline const char* const kSetTimeCommand = "time 9:7:3";
#else
#include "system/posix_system.h"
using TPlatformSystem = TPosixSystem;
inline const char* const kSetDateCommand = "date -s \"2024-3-5 $(date +%H:%M:%S)\" >/dev/null";
inline const char* const kSetTimeCommand = "date -s 9:7:3 >/dev/null";
#endif

// A tick counter the test moves by hand, so that timers reach their end and
// the counter's wrap without waiting.
inline uint32_t fakeTicks = 0;
inline uint32_t ReadFakeTicks() { return fakeTicks; }

// Makes a fresh empty directory the current one for the life of the object,
// then goes back and removes it.
class TScopedTempCwd {
 public:
  TScopedTempCwd() : previous_(std::filesystem::current_path()) {
    static int counter = 0;
    path_ = std::filesystem::temp_directory_path() /
            ("tavo_sys_" + std::to_string(getpid()) + "_" + std::to_string(++counter));
    std::filesystem::remove_all(path_);
    std::filesystem::create_directories(path_);
    std::filesystem::current_path(path_);
  }
  ~TScopedTempCwd() {
    std::error_code ignored;
    std::filesystem::current_path(previous_, ignored);
    std::filesystem::remove_all(path_, ignored);
  }
  TScopedTempCwd(const TScopedTempCwd&) = delete;
  TScopedTempCwd& operator=(const TScopedTempCwd&) = delete;

  const std::filesystem::path& Path() const { return path_; }

 private:
  std::filesystem::path previous_;
  std::filesystem::path path_;
};

