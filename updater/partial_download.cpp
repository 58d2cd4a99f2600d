#include "partial_download.h"

#include <cctype>
#include <memory>

#include "files/file_system.h"

namespace {

// A note is one short line; anything longer is not one of ours.
constexpr uint32_t kMaxNoteBytes = 1024;

std::string UpperCase(std::string text) {
  for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return text;
}

// "SIZE SHA1 NAME": the listed size comes first.
uint32_t NotedSize(const std::string& note) {
  uint32_t size = 0;
  for (size_t i = 0; i < note.size() && i < 10 && note[i] >= '0' && note[i] <= '9'; ++i) {
    size = size * 10 + static_cast<uint32_t>(note[i] - '0');
  }
  return size;
}

}  // namespace

// "SIZE SHA1 NAME" and CR LF: the name comes last, as the only part that may
// hold blanks (listed names hold no control characters).
std::string TPartialDownload::NoteText(const std::string& name, uint32_t size, const std::string& sha1) {
  return std::to_string(size) + " " + UpperCase(sha1) + " " + name + "\r\n";
}

std::string TPartialDownload::ReadNote(const char* note) {
  std::unique_ptr<IFileReadable> file(files_.OpenRead(note));
  if (!file || file->GetSize() > kMaxNoteBytes) return std::string();
  std::string text(file->GetSize(), '\0');
  if (file->Read(&text[0], static_cast<uint32_t>(text.size())) != static_cast<int32_t>(text.size())) return std::string();
  return text;
}

uint32_t TPartialDownload::AppendableSize(const char* name) {
  // Opened as a download's file would be, so that a link planted in its
  // place (which that open refuses) counts as no part at all.
  std::unique_ptr<IFileWritable> file(files_.OpenWrite(name, OPEN_READ_WRITE));
  return file ? file->GetSize() : 0;
}

std::string TPartialDownload::PartName() {
  const std::string note = ReadNote(kPartNote);
  const size_t sizeEnd = note.find(' ');
  const size_t hashEnd = sizeEnd == std::string::npos ? sizeEnd : note.find(' ', sizeEnd + 1);
  const size_t lineEnd = note.rfind("\r\n");
  if (hashEnd == std::string::npos || lineEnd == std::string::npos || lineEnd <= hashEnd) return std::string();
  return note.substr(hashEnd + 1, lineEnd - hashEnd - 1);
}

uint32_t TPartialDownload::Start(const std::string& name, uint32_t size, const std::string& sha1) {
  const std::string text = NoteText(name, size, sha1);
  if (size > 0 && ReadNote(kPartNote) == text) {
    const uint32_t held = AppendableSize(kPartFile);
    if (held > 0 && held < size && files_.Replace(kPartFile, workFile_).Succeeded() &&
        files_.Replace(kPartNote, kWorkNote).Succeeded()) {
      return held;
    }
    DiscardPart();
  }
  // Whatever the work file held is no part of this file.
  files_.Remove(workFile_);
  files_.Remove(kWorkNote);
  if (size == 0) return 0;
  std::unique_ptr<IFileWritable> note(files_.OpenWrite(kWorkNote, OPEN_CREATE_TRUNCATE | OPEN_READ_WRITE));
  if (!note || note->Write(text.data(), static_cast<uint32_t>(text.size())) != static_cast<int32_t>(text.size())) {
    note.reset();
    files_.Remove(kWorkNote);
  }
  return 0;
}

bool TPartialDownload::KeepWhatArrived(uint32_t size) {
  const std::string note = ReadNote(kWorkNote);
  const uint32_t held = AppendableSize(workFile_);
  const bool part = size > 0 && !note.empty() && NotedSize(note) == size && held > 0 && held < size;
  if (part && files_.Replace(workFile_, kPartFile).Succeeded() && files_.Replace(kWorkNote, kPartNote).Succeeded()) {
    return true;
  }
  files_.Remove(workFile_);
  files_.Remove(kWorkNote);
  if (part) DiscardPart();
  return false;
}

void TPartialDownload::Finish() { files_.Remove(kWorkNote); }

void TPartialDownload::AdoptLeftover() {
  const std::string note = ReadNote(kWorkNote);
  if (!note.empty()) {
    KeepWhatArrived(NotedSize(note));
  } else {
    files_.Remove(workFile_);
  }
}

void TPartialDownload::DiscardPart() {
  files_.Remove(kPartFile);
  files_.Remove(kPartNote);
}
