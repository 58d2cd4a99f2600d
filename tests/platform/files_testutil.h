#pragma once
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <random>
#include <string>
#include <system_error>
#include <vector>

#include "build_flavour.h"
#include "files/file_system.h"

// A fresh directory beside the test program, with the platform's file system
// rooted in it the way the programs root theirs (a sub-path of the module's
// directory). Removed with everything in it at the end.
class TFilesTempDir {
 public:
  TFilesTempDir() {
    char modulePath[kMaxPath] = {};
    GetCodeModulePath(modulePath, sizeof(modulePath));
    const std::filesystem::path beside = std::filesystem::path(modulePath).parent_path();
    std::random_device random;
    for (;;) {
      name_ = std::string("files_test_") + (kAgentBuild ? "agent_" : "updater_") + std::to_string(random());
      path_ = beside / name_;
      std::error_code error;
      if (std::filesystem::create_directory(path_, error)) break;
      if (error) throw std::filesystem::filesystem_error("temp directory", path_, error);
    }
    files_.reset(NewPlatformFileSystem(name_.c_str()));
  }
  ~TFilesTempDir() {
    files_.reset();
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  TFilesTempDir(const TFilesTempDir&) = delete;
  TFilesTempDir& operator=(const TFilesTempDir&) = delete;

  IFileSystem& Files() { return *files_; }
  // The directory relative to the program's directory.
  const std::string& Name() const { return name_; }
  std::filesystem::path Path(const std::string& file) const { return path_ / file; }

  // Files are written and read behind the file system's back, in binary.
  void Write(const std::string& file, const std::string& content) const {
    std::ofstream(Path(file), std::ios::binary) << content;
  }
  std::string Read(const std::string& file) const {
    std::ifstream in(Path(file), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  bool Exists(const std::string& file) const { return std::filesystem::exists(Path(file)); }
  std::vector<std::string> List() const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(path_)) {
      names.push_back(entry.path().filename().string());
    }
    return names;
  }

 private:
  std::string name_;
  std::filesystem::path path_;
  std::unique_ptr<IFileSystem> files_;
};

// The codes a file failure carries: the agent's build drops the error number.
inline std::vector<int32_t> FileFailure(int32_t code, int error) {
  if (kAgentBuild) return {code};
  return {code, error};
}
