#pragma once
#include <cstdint>
#include <optional>
#include <string>

// A whole number written by hand or by the program: an optional sign and
// decimal digits, blanks and tabs around them allowed. Nothing when the text
// is anything else or the number does not fit 32 bits.
std::optional<int32_t> ParseInt32(const std::string& text);

// An amount in kopecks as roubles in the shortest form, with the given
// decimal separator: 1 is "0,01", 150 is "1,5", 10000 is "100".
std::wstring FormatRoubles(int32_t kopecks, const std::wstring& decimalSeparator);

inline bool IsDecimalDigit(wchar_t c) { return c >= L'0' && c <= L'9'; }
