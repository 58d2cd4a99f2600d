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

}  // namespace

// "SIZE SHA1 NAME" and CR LF: the name comes last, as the only part that may
// hold blanks (listed names hold no control characters).
std::string TPartialDownload::NoteText(const std::string& name, uint32_t size, const std::string& sha1) {
  return std::to_string(size) + " " + UpperCase(sha1) + " " + name + "\r\n";
}

std::string TPartialDownload::ReadNote() {
  std::unique_ptr<IFileReadable> note(files_.OpenRead(kNoteFile));
  if (!note || note->GetSize() > kMaxNoteBytes) return std::string();
  std::string text(note->GetSize(), '\0');
  if (note->Read(&text[0], static_cast<uint32_t>(text.size())) != static_cast<int32_t>(text.size())) return std::string();
  return text;
}

bool TPartialDownload::IsFor(const std::string& name, uint32_t size, const std::string& sha1) {
  return size > 0 && ReadNote() == NoteText(name, size, sha1);
}

uint32_t TPartialDownload::BytesHeld(const std::string& name, uint32_t size, const std::string& sha1) {
  if (!IsFor(name, size, sha1)) return 0;
  std::unique_ptr<IFileReadable> work(files_.OpenRead(workFile_));
  const uint32_t held = work ? work->GetSize() : 0;
  return held < size ? held : 0;
}

bool TPartialDownload::Begin(const std::string& name, uint32_t size, const std::string& sha1) {
  const std::string text = NoteText(name, size, sha1);
  std::unique_ptr<IFileWritable> note(files_.OpenWrite(kNoteFile, OPEN_CREATE_TRUNCATE | OPEN_READ_WRITE));
  if (note && note->Write(text.data(), static_cast<uint32_t>(text.size())) == static_cast<int32_t>(text.size())) {
    return true;
  }
  note.reset();
  files_.Remove(kNoteFile);
  return false;
}

void TPartialDownload::Discard() {
  files_.Remove(workFile_);
  files_.Remove(kNoteFile);
}

void TPartialDownload::Finish() { files_.Remove(kNoteFile); }
