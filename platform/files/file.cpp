#include "files/file.h"

#include <cstdio>
#include <cstring>

#include "files/file_io.h"

TPCFile::TPCFile(int descriptor, const char* name) : descriptor_(descriptor) {
  std::strncpy(name_, name ? name : "", sizeof(name_) - 1);
  name_[sizeof(name_) - 1] = '\0';
}

TPCFile::~TPCFile() {
  if (descriptor_ >= 0) file_io::Close(descriptor_);
}

int32_t TPCFile::Read(void* buffer, uint32_t count) {
  return file_io::Read(descriptor_, buffer, count);
}

int32_t TPCFile::Write(const void* buffer, uint32_t count) {
  return file_io::Write(descriptor_, buffer, count);
}

int32_t TPCFile::Seek(uint32_t position) {
  return static_cast<int32_t>(file_io::Seek(descriptor_, position, SEEK_SET));
}

int32_t TPCFile::Tell() {
  return static_cast<int32_t>(file_io::Seek(descriptor_, 0, SEEK_CUR));
}

uint32_t TPCFile::GetSize() {
  const int64_t position = file_io::Seek(descriptor_, 0, SEEK_CUR);
  const int64_t end = file_io::Seek(descriptor_, 0, SEEK_END);
  if (position >= 0) file_io::Seek(descriptor_, position, SEEK_SET);
  // A size nobody can read reads as empty, never as a huge length.
  return end < 0 ? 0 : static_cast<uint32_t>(end);
}
