#pragma once
#include <windows.h>

#include <string>

// Texts in the user's regional settings.

// The decimal separator of numbers (',' on a Russian system).
std::wstring DecimalSeparator();

// A moment as the short date ("07.12.2026") and the long time ("14:05:09").
std::wstring FormatShortDate(const SYSTEMTIME& moment);
std::wstring FormatLongTime(const SYSTEMTIME& moment);

// The current local date and time, both read at one moment, so that a pair
// never straddles midnight.
struct TDateTimeTexts {
  std::wstring date;
  std::wstring time;
};
TDateTimeTexts CurrentDateTimeTexts();
