#include <dlfcn.h>
#include <link.h>
#include <limits.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstring>
#include <string>

#include "files/file_system.h"

namespace {

// The current directory when this code was loaded: a library opened under a
// relative name is found again from there, whatever directory the program
// has moved to since.
char loadDirectory[PATH_MAX];

__attribute__((constructor)) void RememberLoadDirectory() {
  if (!getcwd(loadDirectory, sizeof loadDirectory)) loadDirectory[0] = '\0';
}

// name's folder resolved to its real path, followed by name's last part as
// it stands: a library reached through a symbolic link lives in the link's
// folder (a payment core links the packaged library into its own), not in
// the folder of the file the link points to.
bool ResolveFolderOf(const std::string& name, char* path) {
  const size_t separator = name.rfind('/');
  const std::string folder = separator == 0 ? "/" : name.substr(0, separator);
  char resolved[PATH_MAX];
  if (!realpath(folder.c_str(), resolved)) return false;
  const std::string full = (std::strcmp(resolved, "/") == 0 ? std::string() : std::string(resolved)) +
                           name.substr(separator);
  if (full.size() >= PATH_MAX) return false;
  std::memcpy(path, full.c_str(), full.size() + 1);
  return true;
}

// The file that holds the given code address, as an absolute path. The
// loader names the executable itself with an empty name (dladdr would give
// argv[0], which may be relative to a directory left long ago), and a library
// with the name it was found under, which may be relative too.
bool ModuleFileOf(const void* address, char* path) {
  Dl_info info;
  link_map* module = nullptr;
  if (!dladdr1(address, &info, reinterpret_cast<void**>(&module), RTLD_DL_LINKMAP) || !module) {
    return false;
  }
  if (module->l_name[0] == '\0') {
    const ssize_t length = readlink("/proc/self/exe", path, PATH_MAX - 1);
    if (length <= 0) return false;
    path[length] = '\0';
    return true;
  }
  std::string name = module->l_name;
  if (name.find('/') == std::string::npos) return realpath(name.c_str(), path) != nullptr;
  if (name[0] != '/') {
    if (loadDirectory[0] == '\0') return false;
    name = std::string(loadDirectory) + "/" + name;
  }
  return ResolveFolderOf(name, path);
}

}  // namespace

uint32_t GetCodeModulePath(char* buffer, uint32_t size) {
  char path[PATH_MAX];
  if (size == 0) return 0;
  buffer[0] = '\0';
  if (!ModuleFileOf(reinterpret_cast<const void*>(&GetCodeModulePath), path)) return 0;
  const size_t length = std::strlen(path);
  if (length >= size) return 0;
  std::memcpy(buffer, path, length + 1);
  return static_cast<uint32_t>(length);
}
