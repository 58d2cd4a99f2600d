#include <dlfcn.h>
#include <link.h>
#include <limits.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstring>

#include "files/file_system.h"

namespace {

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
  return realpath(module->l_name, path) != nullptr;
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
