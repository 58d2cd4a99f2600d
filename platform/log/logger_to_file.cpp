#include "log/logger_to_file.h"

#include <cstring>
#include <memory>

#include "files/file_system.h"
#include "system/system.h"

namespace {

// Where the old log waits while its newest half is copied back.
constexpr const char* kTrimFileName = "tmpflnm";
constexpr uint32_t kTrimPieceSize = 1000;

}  // namespace

TLoggerToFile::TLoggerToFile(const char* fileName, IFileSystem* fileSystem, uint32_t maxSize)
    : maxSize_(maxSize) {
  SetLogFile(fileName, fileSystem);
}

void TLoggerToFile::SetLogFile(const char* fileName, IFileSystem* fileSystem) {
  std::strncpy(fileName_, fileName ? fileName : "", sizeof fileName_);
  fileName_[sizeof fileName_ - 1] = '\0';
  fileSystem_ = fileSystem;
}

void TLoggerToFile::Log(const TLogEvent& event) {
  if (fileSystem_ == nullptr) {
    return;
  }
  if (maxSize_ != 0) {
    KeepNewestHalf();
  }
  uint32_t date = 0;
  uint32_t time = 0;
  if (!GetSystem()->GetDateTime(&date, &time).Succeeded()) {
    return;
  }
  std::unique_ptr<IFileWritable> file(fileSystem_->OpenWrite(fileName_, OPEN_CREATE_APPEND));
  if (!file) {
    return;
  }
  std::string entry = FormatLogEntry(event, date, time);
  file->Write(entry.data(), static_cast<uint32_t>(entry.size()));
}

void TLoggerToFile::KeepNewestHalf() {
  uint32_t size = fileSystem_->GetFileSize(fileName_);
  if (size < maxSize_) {
    return;
  }
  // Without the move a stale trim file from an earlier attempt would be
  // copied into the log in place of the current one.
  if (!fileSystem_->Move(fileName_, kTrimFileName).Succeeded()) {
    return;
  }
  std::unique_ptr<IFileReadable> old(fileSystem_->OpenRead(kTrimFileName));
  if (!old) {
    return;
  }
  std::unique_ptr<IFileWritable> log(fileSystem_->OpenWrite(fileName_, OPEN_CREATE_APPEND));
  if (!log) {
    return;
  }
  if (old->Seek(size - maxSize_ / 2) >= 0) {
    char piece[kTrimPieceSize];
    int32_t count;
    while ((count = old->Read(piece, sizeof piece)) > 0) {
      log->Write(piece, static_cast<uint32_t>(count));
    }
  }
  old.reset();
  log.reset();
  fileSystem_->Remove(kTrimFileName);
}
