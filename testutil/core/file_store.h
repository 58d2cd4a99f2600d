#pragma once
#include <optional>
#include <string>

// The few file operations TavoTest's data files and cheque archive need, on
// full wide paths with "\" between the levels.
class IFileStore {
 public:
  virtual ~IFileStore() = default;
  // The whole file; nothing when it does not exist or cannot be read.
  virtual std::optional<std::string> Read(const std::wstring& path) = 0;
  // Replaces the file with bytes as one step: a crash leaves either the old
  // or the new content. Throws TUnexpectedError when the file cannot be
  // written.
  virtual void Write(const std::wstring& path, const std::string& bytes) = 0;
  // Whether a file was removed.
  virtual bool Remove(const std::wstring& path) = 0;
  // A file or a folder of that name.
  virtual bool Exists(const std::wstring& path) = 0;
  // One folder level inside an existing one; whether it was created.
  virtual bool CreateFolder(const std::wstring& path) = 0;
};

// The computer's own disks: Win32's wide file functions on Windows; on Linux
// (tests only) the path taken as UTF-8 with "\" read as "/".
class TDiskFileStore final : public IFileStore {
 public:
  std::optional<std::string> Read(const std::wstring& path) override;
  void Write(const std::wstring& path, const std::string& bytes) override;
  bool Remove(const std::wstring& path) override;
  bool Exists(const std::wstring& path) override;
  bool CreateFolder(const std::wstring& path) override;
};

// The message of a file that could not be written.
std::wstring CannotWriteText(const std::wstring& path, long errorCode);
