#include "memory_file_system.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <utility>

namespace {

// An open file: reads and writes go straight to the disk's copy.
class TMemoryFile final : public IFileWritable {
 public:
  TMemoryFile(TMemoryDisk& disk, std::string name, bool append)
      : disk_(disk), name_(std::move(name)), append_(append) {}

  int32_t Read(void* buffer, uint32_t count) override {
    const std::string& content = disk_.files[name_];
    if (position_ >= content.size()) return 0;
    const size_t taken = std::min<size_t>(count, content.size() - position_);
    std::memcpy(buffer, content.data() + position_, taken);
    position_ += taken;
    return static_cast<int32_t>(taken);
  }
  int32_t Seek(uint32_t position) override {
    position_ = position;
    return static_cast<int32_t>(position);
  }
  int32_t Tell() override { return static_cast<int32_t>(position_); }
  uint32_t GetSize() override { return static_cast<uint32_t>(disk_.files[name_].size()); }
  int32_t Write(const void* buffer, uint32_t count) override {
    if (!disk_.TakeWrite(name_)) return -1;
    std::string& content = disk_.files[name_];
    if (append_) position_ = content.size();
    if (content.size() < position_ + count) content.resize(position_ + count);
    content.replace(position_, count, static_cast<const char*>(buffer), count);
    position_ += count;
    return static_cast<int32_t>(count);
  }

 private:
  TMemoryDisk& disk_;
  std::string name_;
  bool append_;
  size_t position_ = 0;
};

bool SameNameIgnoringCase(const std::string& a, const std::string& b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
         });
}

}  // namespace

bool TMemoryDisk::TakeWrite(const std::string& name) {
  namesWritten.insert(name);
  ++writes;
  if (faults.fullFromWrite != 0 && writes >= faults.fullFromWrite) {
    namesRefusedWrite.insert(name);
    return false;
  }
  return true;
}

bool TMemoryDisk::TakeRename() { return ++renames != faults.refusedRename; }

TMemoryFileSystem::TMemoryFileSystem(TMemoryDisk& disk, std::string root) : disk_(disk), root_(std::move(root)) {}

std::string TMemoryFileSystem::FullName(const std::string& name) const {
  return root_.empty() ? name : root_ + "/" + name;
}

TResult TMemoryFileSystem::Store(const TResult& result) {
  lastResult_ = result;
  return result;
}

uint32_t TMemoryFileSystem::GetFileSize(const char* name) {
  const auto found = disk_.files.find(FullName(name));
  return found == disk_.files.end() ? 0 : static_cast<uint32_t>(found->second.size());
}

TResult TMemoryFileSystem::Remove(const char* name) {
  disk_.files.erase(FullName(name));
  return Store(TResult());
}

TResult TMemoryFileSystem::Rename(const std::string& source, const std::string& target) {
  const auto found = disk_.files.find(FullName(source));
  if (found == disk_.files.end()) return Store(TResult(RESULT_FILE_MOVE_FAILED, ENOENT));
  if (!disk_.TakeRename()) return Store(TResult(RESULT_FILE_MOVE_FAILED, EACCES));
  disk_.namesWritten.insert(FullName(target));
  std::string content = std::move(found->second);
  disk_.files.erase(found);
  disk_.files[FullName(target)] = std::move(content);
  return Store(TResult());
}

TResult TMemoryFileSystem::Move(const char* source, const char* target) {
  if (SameNameIgnoringCase(source, target)) return Store(TResult());
  if (std::strstr(target, ".new") == nullptr) return Rename(source, target);
  const auto found = disk_.files.find(FullName(source));
  if (found == disk_.files.end()) return Store(TResult(RESULT_FILE_MOVE_FAILED, ENOENT));
  const std::string content = found->second;
  TMemoryFile copy(disk_, FullName(target), false);
  disk_.files[FullName(target)].clear();
  if (copy.Write(content.data(), static_cast<uint32_t>(content.size())) != static_cast<int32_t>(content.size())) {
    return Store(TResult(RESULT_FILE_MOVE_FAILED));
  }
  return Remove(source);
}

TResult TMemoryFileSystem::Replace(const char* source, const char* target) { return Rename(source, target); }

IFileReadable* TMemoryFileSystem::OpenRead(const char* name) {
  if (disk_.files.count(FullName(name)) == 0) {
    Store(TResult(RESULT_FILE_OPEN_FAILED, ENOENT));
    return nullptr;
  }
  return new TMemoryFile(disk_, FullName(name), false);
}

IFileWritable* TMemoryFileSystem::OpenWrite(const char* name, uint32_t mode) {
  const std::string full = FullName(name);
  const bool exists = disk_.files.count(full) != 0;
  const bool creates = (mode & (OPEN_CREATE | OPEN_CREATE_TRUNCATE | OPEN_CREATE_APPEND)) != 0;
  if (!exists && !creates) {
    Store(TResult(RESULT_FILE_OPEN_FAILED, ENOENT));
    return nullptr;
  }
  disk_.namesWritten.insert(full);
  std::string& content = disk_.files[full];
  if (mode & OPEN_CREATE_TRUNCATE) content.clear();
  const bool append = (mode & OPEN_CREATE_APPEND) != 0 && (mode & OPEN_CREATE_TRUNCATE) == 0;
  return new TMemoryFile(disk_, full, append);
}

char* TMemoryFileSystem::MakePath(char* buffer, const char* name) {
  const std::string full = FullName(name ? name : "");
  std::snprintf(buffer, kMaxPath, "%s", full.size() < kMaxPath ? full.c_str() : "");
  return buffer;
}
