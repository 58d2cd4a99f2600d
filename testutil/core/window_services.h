#pragma once
#include <string>

// What the logic asks of the main window and of the system around it.

// Panel 0 of the status bar stat1. The window side sets the panel's text.
class IStatusPanel {
 public:
  virtual ~IStatusPanel() = default;
  virtual void SetText(const std::wstring& text) = 0;
};

// The working-directory dialog TSelectTavoDirDlg. The window side shows it
// modally and returns its result once it closes: a directory ending in a
// backslash, or empty (also what it kept from an earlier showing).
class IWorkDirChooser {
 public:
  virtual ~IWorkDirChooser() = default;
  virtual std::wstring Choose() = 0;
};

// The current date and time as the user's regional settings write them.
struct TMomentTexts {
  std::wstring date;  // short date format
  std::wstring time;  // long time format
};

// The user's regional settings. The window side supplies GetDateFormatEx with
// DATE_SHORTDATE and GetTimeFormatEx (user defaults) of one GetLocalTime, and
// LOCALE_SDECIMAL of the user's locale.
class IRegionalTexts {
 public:
  virtual ~IRegionalTexts() = default;
  virtual TMomentTexts Now() = 0;
  virtual std::wstring DecimalSeparator() = 0;
};
