#pragma once
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <system_error>

#include "files/file_system.h"
#include "fuzz_check.h"

// A folder of the fuzzer's own beside its program (the platform's file
// systems are rooted beside the program), with the platform's file system
// rooted in it; removed when the fuzzer ends.
class TFuzzFolder {
 public:
  explicit TFuzzFolder(const char* prefix) {
    char module[kMaxPath] = {};
    FUZZ_CHECK(GetCodeModulePath(module, sizeof module) > 0);
    std::string pattern = (std::filesystem::path(module).parent_path() / (std::string(prefix) + "_XXXXXX")).string();
    FUZZ_CHECK(mkdtemp(pattern.data()) != nullptr);
    path_ = pattern;
    files_.reset(NewPlatformFileSystem(std::filesystem::path(path_).filename().string().c_str()));
  }
  ~TFuzzFolder() {
    files_.reset();
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  TFuzzFolder(const TFuzzFolder&) = delete;
  TFuzzFolder& operator=(const TFuzzFolder&) = delete;

  IFileSystem& Files() { return *files_; }
  // Files are read and written behind the file system's back, in binary.
  std::string Read(const std::string& name) const {
    std::ifstream in(path_ + "/" + name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  void Write(const std::string& name, const std::string& content) const {
    std::ofstream(path_ + "/" + name, std::ios::binary) << content;
  }
  void Remove(const std::string& name) const {
    std::error_code ignored;
    std::filesystem::remove(path_ + "/" + name, ignored);
  }

 private:
  std::string path_;
  std::unique_ptr<IFileSystem> files_;
};
