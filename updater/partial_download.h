#pragma once
#include <cstdint>
#include <string>

class IFileSystem;

// What a download cut off left in a folder's work file, kept so that the
// next attempt at the same listed file asks only for the rest. A note beside
// the work file names the file, its listed size and SHA-1; it is written
// before the first byte of the download, so that a work file never holds
// bytes that no note describes.
class TPartialDownload {
 public:
  static constexpr const char* kNoteFile = "TMP.PRT";

  TPartialDownload(IFileSystem& files, const char* workFile) : files_(files), workFile_(workFile) {}

  // How many bytes of the listed file the work file already holds: 0 unless
  // the note names this very file and the work file is shorter than it.
  uint32_t BytesHeld(const std::string& name, uint32_t size, const std::string& sha1);
  // Whether the note names this very file, whatever the work file holds.
  bool IsFor(const std::string& name, uint32_t size, const std::string& sha1);
  // Notes that the work file is about to receive this file; false when the
  // note cannot be written (the download then goes on without it).
  bool Begin(const std::string& name, uint32_t size, const std::string& sha1);
  // Removes the work file and the note.
  void Discard();
  // Removes the note of a work file that has been put in place.
  void Finish();

 private:
  static std::string NoteText(const std::string& name, uint32_t size, const std::string& sha1);
  std::string ReadNote();

  IFileSystem& files_;
  const char* workFile_;
};
