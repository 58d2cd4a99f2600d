#pragma once
#include <windows.h>

#include <string>

#include "core_answer.h"

// The payment core's exports that TavoTest calls. An entry point the loaded
// library does not export stays null: null is its "not available" flag.
struct TCoreEntryPoints {
  TTestPinpad testPinpad = nullptr;          // _TestPinpad
  TServiceMenu serviceMenu = nullptr;        // _ServiceMenu
  TCloseDay closeDay = nullptr;              // _close_day
  TCardAuthorize6 cardAuthorize6 = nullptr;  // _card_authorize6
  TGetTerminalId getTerminalId = nullptr;    // _GetTerminalID
  TGetStatistics getStatistics = nullptr;    // _get_statistics
  TReadCardFull readCardFull = nullptr;      // _ReadCardFull
};

// The payment core library, loaded at run time from its working directory.
// Whether to load it and from where is the caller's business; this class
// only binds the file it is given.
class TCoreLibrary {
 public:
  TCoreLibrary() = default;
  TCoreLibrary(const TCoreLibrary&) = delete;
  TCoreLibrary& operator=(const TCoreLibrary&) = delete;
  ~TCoreLibrary() { Unload(); }

  // Loads the library file (a full path, or a bare name that the system's
  // library search finds) and resolves its entry points. A library loaded
  // before is unloaded first. False when the file does not load.
  bool Load(const std::wstring& path);
  // Unloads the library and forgets its entry points; harmless when nothing
  // is loaded.
  void Unload();
  bool IsLoaded() const { return module_ != nullptr; }
  // All null while nothing is loaded.
  const TCoreEntryPoints& EntryPoints() const { return entryPoints_; }

 private:
  HMODULE module_ = nullptr;
  TCoreEntryPoints entryPoints_;
};
