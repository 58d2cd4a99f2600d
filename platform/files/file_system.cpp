#include "files/file_system.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>

#include "build_flavour.h"
#include "files/file_io.h"

namespace {

bool SameNameIgnoringCase(const char* a, const char* b) {
  for (;; ++a, ++b) {
    const unsigned char ca = static_cast<unsigned char>(*a);
    const unsigned char cb = static_cast<unsigned char>(*b);
    const unsigned char la = (ca >= 'A' && ca <= 'Z') ? ca + ('a' - 'A') : ca;
    const unsigned char lb = (cb >= 'A' && cb <= 'Z') ? cb + ('a' - 'A') : cb;
    if (la != lb) return false;
    if (la == '\0') return true;
  }
}

// The updater installs program files under ".new" names; the agent only
// under ".new.new" names. Those get execute permission where it exists.
bool NamesExecutable(const char* name) {
  return std::strstr(name, kAgentBuild ? ".new.new" : ".new") != nullptr;
}

file_io::TOpenFlags ResolveOpenMode(uint32_t mode) {
  file_io::TOpenFlags flags;
  if (mode & OPEN_CREATE_TRUNCATE) {
    flags.write = flags.create = flags.truncate = true;
  } else if (mode & OPEN_CREATE_APPEND) {
    flags.write = flags.create = flags.append = true;
  } else if (mode & OPEN_CREATE) {
    flags.write = flags.create = true;
  } else if (mode & OPEN_READ_WRITE) {
    flags.write = true;
  }
  return flags;
}

}  // namespace

TPCFileSystem::TPCFileSystem(const char* root) {
  if (!root) root = "";
  rootFits_ = std::strlen(root) < kMaxPath;
  std::strcpy(root_, rootFits_ ? root : "");
}

TPCFileSystem::TPCFileSystem(const std::optional<std::string>& root) : TPCFileSystem(root ? root->c_str() : "") {
  if (!root) rootFits_ = false;
}

TResult TPCFileSystem::Check() {
  return rootFits_ ? TResult() : Failure(RESULT_FILE_OPEN_FAILED, ENAMETOOLONG);
}

TResult TPCFileSystem::Store(const TResult& result) {
  lastResult_ = result;
  return result;
}

TResult TPCFileSystem::Failure(int32_t code, int error) {
  if (kAgentBuild) return TResult(code);
  return TResult(code, error);
}

std::optional<std::string> TPCFileSystem::RootBesideModule(char separator, const char* subPath) {
  char modulePath[kMaxPath] = {};
  if (GetCodeModulePath(modulePath, sizeof(modulePath)) == 0) return std::nullopt;
  const char* last = std::strrchr(modulePath, separator);
  if (!last) return std::nullopt;
  // A module in the top folder has that folder, not an empty root.
  std::string root(modulePath, last == modulePath ? 1 : static_cast<size_t>(last - modulePath));
  if (subPath && *subPath) {
    root += '/';
    root += subPath;
  }
  return root;
}

char* TPCFileSystem::MakePath(char* buffer, const char* name) {
  buffer[0] = '\0';
  if (!name) return buffer;
  const bool asGiven = rootFits_ && (root_[0] == '\0' || (!kAgentBuild && name[0] == '/'));
  int length;
  if (asGiven) {
    length = std::snprintf(buffer, kMaxPath, "%s", name);
  } else if (rootFits_) {
    length = std::snprintf(buffer, kMaxPath, "%s/%s", root_, name);
  } else {
    length = -1;
  }
  // A cut path would name a different file: refuse it instead.
  if (length < 0 || static_cast<uint32_t>(length) >= kMaxPath) buffer[0] = '\0';
  return buffer;
}

int TPCFileSystem::OpenHandle(const char* name, uint32_t mode) {
  char path[kMaxPath];
  if (!*MakePath(path, name)) {
    errno = ENAMETOOLONG;
    return -1;
  }
  file_io::TOpenFlags flags = ResolveOpenMode(mode);
  flags.executable = NamesExecutable(name);
  // The updater may run with more rights than whoever else writes in its
  // folder: it follows nobody's link out of it, nor reads a device.
  flags.plainFileOnly = !kAgentBuild;
  return file_io::Open(path, flags);
}

IFileReadable* TPCFileSystem::OpenRead(const char* name) {
  const int descriptor = OpenHandle(name, OPEN_READ);
  if (descriptor < 0) {
    Store(Failure(RESULT_FILE_OPEN_FAILED, errno));
    return nullptr;
  }
  return new TPCFile(descriptor, name);
}

IFileWritable* TPCFileSystem::OpenWrite(const char* name, uint32_t mode) {
  const int descriptor = OpenHandle(name, mode | OPEN_READ_WRITE);
  if (descriptor < 0) {
    Store(Failure(RESULT_FILE_OPEN_FAILED, errno));
    return nullptr;
  }
  return new TPCFile(descriptor, name);
}

TResult TPCFileSystem::Remove(const char* name) {
  char path[kMaxPath];
  if (!*MakePath(path, name)) return Store(Failure(RESULT_FILE_DELETE_FAILED, ENAMETOOLONG));
  if (file_io::Unlink(path) == 0 || errno == ENOENT) return Store(TResult());
  return Store(Failure(RESULT_FILE_DELETE_FAILED, errno));
}

TResult TPCFileSystem::Move(const char* source, const char* target) {
  if (!source || !target) return Store(Failure(RESULT_FILE_MOVE_FAILED, EINVAL));
  if (SameNameIgnoringCase(source, target)) return Store(TResult());
  if (!kAgentBuild && std::strstr(target, ".new")) return Store(CopyThenRemove(source, target));

  char sourcePath[kMaxPath];
  char targetPath[kMaxPath];
  if (!*MakePath(sourcePath, source) || !*MakePath(targetPath, target)) {
    return Store(Failure(RESULT_FILE_MOVE_FAILED, ENAMETOOLONG));
  }
  const int error = file_io::RenameReplacing(sourcePath, targetPath);
  if (error != 0) return Store(Failure(RESULT_FILE_MOVE_FAILED, error));
  return Store(TResult());
}

TResult TPCFileSystem::Replace(const char* source, const char* target) {
  if (!source || !target) return Store(Failure(RESULT_FILE_MOVE_FAILED, EINVAL));
  char sourcePath[kMaxPath];
  char targetPath[kMaxPath];
  if (!*MakePath(sourcePath, source) || !*MakePath(targetPath, target)) {
    return Store(Failure(RESULT_FILE_MOVE_FAILED, ENAMETOOLONG));
  }
  int error = file_io::FlushToDisk(sourcePath);
  if (error == 0) {
    // A replaced file keeps who may run and read it; a new one has what the
    // process creates files with, program files runnable.
    error = file_io::TakeOwnerAndModeOf(targetPath, sourcePath);
    if (error == ENOENT) error = NamesExecutable(target) ? file_io::AllowExecution(sourcePath) : 0;
  }
  if (error == 0) error = file_io::RenameReplacing(sourcePath, targetPath);
  if (error != 0) return Store(Failure(RESULT_FILE_MOVE_FAILED, error));
  // Some file systems cannot flush a folder (EINVAL); the rename stands.
  file_io::FlushFolderOf(targetPath);
  return Store(TResult());
}

TResult TPCFileSystem::CopyThenRemove(const char* source, const char* target) {
  bool copied = false;
  {
    std::unique_ptr<IFileReadable> in(OpenRead(source));
    std::unique_ptr<IFileWritable> out(in ? OpenWrite(target, OPEN_CREATE | OPEN_CREATE_TRUNCATE) : nullptr);
    if (in && out) {
      const uint32_t size = in->GetSize();
      std::unique_ptr<uint8_t[]> bytes(new (std::nothrow) uint8_t[size + size_t{1}]);
      if (bytes) {
        const int32_t read = in->Read(bytes.get(), size);
        const int32_t written = read >= 0 ? out->Write(bytes.get(), static_cast<uint32_t>(read)) : -1;
        copied = read >= 0 && static_cast<uint32_t>(read) == size && written == read;
      }
    }
  }
  if (!copied) return TResult(RESULT_FILE_MOVE_FAILED);
  return Remove(source);
}
