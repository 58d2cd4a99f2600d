#pragma once
#include <map>
#include <optional>
#include <set>
#include <string>

#include "file_store.h"
#include "unexpected_error.h"

// Files and folders in memory. Like a disk, it writes a file only into a
// folder that exists and creates a folder only inside one; a test can make a
// file unreadable or writes to some paths fail.
class TMemoryFileStore final : public IFileStore {
 public:
  // The program directory every test works in, with its trailing backslash.
  static constexpr const wchar_t* kProgramDir = L"C:\\TavoTest\\";

  TMemoryFileStore() { folders_.insert(L"C:\\TavoTest"); }

  std::optional<std::string> Read(const std::wstring& path) override {
    const auto file = files_.find(path);
    if (file == files_.end() || unreadable_.count(path) != 0) return std::nullopt;
    return file->second;
  }
  void Write(const std::wstring& path, const std::string& bytes) override {
    const bool refused = !unwritable.empty() && path.compare(0, unwritable.size(), unwritable) == 0;
    if (refused || folders_.count(Parent(path)) == 0) throw TUnexpectedError(L"cannot write " + path);
    files_[path] = bytes;
    ++writes;
  }
  bool Remove(const std::wstring& path) override { return files_.erase(path) != 0; }
  bool Exists(const std::wstring& path) override { return files_.count(path) != 0 || folders_.count(path) != 0; }
  bool CreateFolder(const std::wstring& path) override {
    if (Exists(path) || folders_.count(Parent(path)) == 0) return false;
    folders_.insert(path);
    return true;
  }

  void Put(const std::wstring& path, const std::string& bytes) { files_[path] = bytes; }
  void MakeUnreadable(const std::wstring& path) { unreadable_.insert(path); }
  const std::map<std::wstring, std::string>& Files() const { return files_; }
  const std::set<std::wstring>& Folders() const { return folders_; }

  // Every write to a path that begins with this fails; empty: none does.
  std::wstring unwritable;
  int writes = 0;

 private:
  static std::wstring Parent(const std::wstring& path) { return path.substr(0, path.rfind(L'\\')); }

  std::map<std::wstring, std::string> files_;
  std::set<std::wstring> folders_;
  std::set<std::wstring> unreadable_;
};
