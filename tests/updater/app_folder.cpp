#include "app_folder.h"

#include <fstream>
#include <iterator>
#include <system_error>

#include "files/file_system.h"

namespace fs = std::filesystem;

namespace {
// Everything the updater reads or writes in its folder.
const char* const kUpdaterFiles[] = {"CONFIG.INI", "PROFILE.INI", "softkeys.ini", "filelist.txt", "TMP.TMP", "Update"};
}  // namespace

TAppFolder::TAppFolder() {
  char modulePath[kMaxPath] = {};
  GetCodeModulePath(modulePath, sizeof modulePath);
  root_ = fs::path(modulePath).parent_path();
  for (const char* name : kUpdaterFiles) Remove(name);
}

TAppFolder::~TAppFolder() {
  for (const char* name : kUpdaterFiles) Remove(name);
}

void TAppFolder::Write(const std::string& name, const std::string& content) {
  fs::create_directories(Path(name).parent_path());
  std::ofstream(Path(name), std::ios::binary) << content;
}

std::string TAppFolder::Read(const std::string& name) const {
  std::ifstream in(Path(name), std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool TAppFolder::Exists(const std::string& name) const { return fs::exists(Path(name)); }

void TAppFolder::Remove(const std::string& name) {
  std::error_code ignored;
  fs::remove_all(Path(name), ignored);
}
