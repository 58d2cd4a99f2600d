#pragma once
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "build_flavour.h"
#include "files/file_system.h"

// An empty directory beside the test program and a platform file system
// rooted in it; both go when the object does. The two flavours' test
// programs run side by side, so each gets its own directory.
class TScratchFileSystem {
 public:
  explicit TScratchFileSystem(const std::string& name) {
    std::string subPath = name + (kAgentBuild ? "-agent" : "-updater");
    fileSystem_.reset(NewPlatformFileSystem(subPath.c_str()));
    char path[kMaxPath];
    directory_ = std::filesystem::path(fileSystem_->MakePath(path, "x")).parent_path();
    std::filesystem::remove_all(directory_);
    std::filesystem::create_directories(directory_);
  }
  ~TScratchFileSystem() {
    fileSystem_.reset();
    std::error_code ignored;
    std::filesystem::remove_all(directory_, ignored);
  }

  IFileSystem* get() const { return fileSystem_.get(); }

  std::vector<std::string> FileNames() const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(directory_)) {
      names.push_back(entry.path().filename().string());
    }
    return names;
  }

  std::string Read(const std::string& name) const {
    std::ifstream in(directory_ / name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }

  void Write(const std::string& name, const std::string& content) const {
    std::ofstream(directory_ / name, std::ios::binary) << content;
  }

 private:
  std::unique_ptr<IFileSystem> fileSystem_;
  std::filesystem::path directory_;
};
