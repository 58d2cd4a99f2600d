#include "bounded_trace_file.h"
#include <utility>

TBoundedTraceFile::TBoundedTraceFile(std::vector<IFileSystem*> folders, std::string name,
                                     std::string olderName, uint32_t limit)
    : folders_(std::move(folders)), name_(std::move(name)), olderName_(std::move(olderName)), limit_(limit) {}

bool TBoundedTraceFile::Open() {
  if (file_) return true;
  for (IFileSystem* folder : folders_) {
    file_.reset(folder ? folder->OpenWrite(name_.c_str(), OPEN_CREATE_APPEND) : nullptr);
    if (file_) {
      folder_ = folder;
      size_ = file_->GetSize();
      return true;
    }
  }
  return false;
}

void TBoundedTraceFile::Close() { file_.reset(); }

bool TBoundedTraceFile::Vanished() const {
  return file_ && size_ != 0 && folder_->GetFileSize(name_.c_str()) == 0;
}

void TBoundedTraceFile::Rotate() {
  file_.reset();
  // When the file cannot be renamed (a reader holds it on Windows), it is
  // emptied instead: its lines are lost, but the bound holds.
  folder_->Move(name_.c_str(), olderName_.c_str());
  file_.reset(folder_->OpenWrite(name_.c_str(), OPEN_CREATE_TRUNCATE));
  size_ = 0;
}

void TBoundedTraceFile::Write(const std::string& text) {
  if (!file_ || text.size() > limit_) return;
  if (size_ + text.size() > limit_) Rotate();
  if (!file_) return;
  const int32_t written = file_->Write(text.data(), static_cast<uint32_t>(text.size()));
  if (written < 0 || static_cast<size_t>(written) != text.size()) {
    Close();
    return;
  }
  size_ += static_cast<uint32_t>(written);
}
