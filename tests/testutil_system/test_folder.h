#pragma once
#include <windows.h>
#include <objbase.h>

#include <string>

// A fresh folder under the system's temporary folder, removed with all it
// holds when the object goes. Its name carries blanks, as installation
// folders often do.
class TTestFolder {
 public:
  TTestFolder();
  TTestFolder(const TTestFolder&) = delete;
  TTestFolder& operator=(const TTestFolder&) = delete;
  ~TTestFolder();
  // Ends in a backslash.
  const std::wstring& Path() const { return path_; }

 private:
  std::wstring path_;
};

// Creates a folder, or a file with the content given; false when the system
// refuses.
bool MakeFolder(const std::wstring& path);
bool MakeFile(const std::wstring& path, const std::string& content = std::string());
bool FileExists(const std::wstring& path);

// COM initialised for a single-threaded apartment, as the program does it.
class TComApartment {
 public:
  TComApartment() { CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED); }
  TComApartment(const TComApartment&) = delete;
  TComApartment& operator=(const TComApartment&) = delete;
  ~TComApartment() { CoUninitialize(); }
};
