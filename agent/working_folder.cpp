#include "working_folder.h"
#include <memory>

uint32_t TWorkingFolder::GetFileSize(const char* name) {
  std::unique_ptr<IFileReadable> file(OpenRead(name));
  return file ? file->GetSize() : 0;
}
