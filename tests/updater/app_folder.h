#pragma once
#include <filesystem>
#include <string>

// The folder of the test program, which is the updater's own folder in these
// tests (the application file system is rooted there). Files a test puts
// there are removed again when the folder object goes.
class TAppFolder {
 public:
  TAppFolder();
  ~TAppFolder();

  std::filesystem::path Path(const std::string& name) const { return root_ / name; }
  void Write(const std::string& name, const std::string& content);
  std::string Read(const std::string& name) const;
  bool Exists(const std::string& name) const;
  void Remove(const std::string& name);

 private:
  std::filesystem::path root_;
};
