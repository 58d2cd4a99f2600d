#pragma once
#include <cstdint>
#include <string>

class IFileSystem;

// The part of a download that broke off, kept in a folder so that the next
// attempt at the same listed file asks only for the rest. A note names the
// file, its listed size and SHA-1: one beside the work file, written before
// the download's first byte (so that a killed run leaves a part it can
// name), and one beside the part kept aside, where later downloads into
// the work file cannot touch it. The newest part kept replaces an older
// one.
class TPartialDownload {
 public:
  static constexpr const char* kWorkNote = "TMP.PRT";
  static constexpr const char* kPartFile = "PART.TMP";
  static constexpr const char* kPartNote = "PART.PRT";

  TPartialDownload(IFileSystem& files, const char* workFile) : files_(files), workFile_(workFile) {}

  // Readies the work file for this file: the part kept of it when there is
  // one (its size answered), else an empty start under a new note (0).
  uint32_t Start(const std::string& name, uint32_t size, const std::string& sha1);
  // After a failed download: what arrived is kept aside when it is a part
  // of the file the work note names; true when it was.
  bool KeepWhatArrived(uint32_t size);
  // The work file has been put in place.
  void Finish();
  // Moves a killed run's work file with its note aside; removes a work file
  // without one.
  void AdoptLeftover();
  // Removes the part kept aside.
  void DiscardPart();
  // The name of the file the part kept aside belongs to; empty without one.
  std::string PartName();

 private:
  static std::string NoteText(const std::string& name, uint32_t size, const std::string& sha1);
  std::string ReadNote(const char* note);
  uint32_t AppendableSize(const char* name);

  IFileSystem& files_;
  const char* workFile_;
};
