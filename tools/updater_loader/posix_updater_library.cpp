#include "updater_library.h"
#include <dlfcn.h>

TCheckForUpdates LoadCheckForUpdates(const std::string& folder, const std::string& fileName,
                                     std::string* error) {
  const std::string path = folder + "/" + fileName;
  void* library = dlopen(path.c_str(), RTLD_NOW);
  if (!library) {
    *error = "cannot load " + path + ": " + dlerror();
    return nullptr;
  }
  void* address = dlsym(library, "CheckForUpdates");
  if (!address) {
    *error = path + " has no export CheckForUpdates";
    return nullptr;
  }
  return reinterpret_cast<TCheckForUpdates>(address);
}
