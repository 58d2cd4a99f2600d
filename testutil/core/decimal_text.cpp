#include "decimal_text.h"

#include <limits>

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

}  // namespace

std::optional<int32_t> ParseInt32(const std::string& text) {
  size_t begin = 0;
  size_t end = text.size();
  while (begin < end && IsBlank(text[begin])) ++begin;
  while (end > begin && IsBlank(text[end - 1])) --end;
  const bool negative = begin < end && text[begin] == '-';
  if (begin < end && (text[begin] == '-' || text[begin] == '+')) ++begin;
  if (begin == end) return std::nullopt;
  const int64_t limit = negative ? -static_cast<int64_t>(std::numeric_limits<int32_t>::min())
                                 : std::numeric_limits<int32_t>::max();
  int64_t value = 0;
  for (size_t i = begin; i < end; ++i) {
    if (!IsDecimalDigit(static_cast<unsigned char>(text[i]))) return std::nullopt;
    value = value * 10 + (text[i] - '0');
    if (value > limit) return std::nullopt;
  }
  return static_cast<int32_t>(negative ? -value : value);
}

std::wstring FormatRoubles(int32_t kopecks, const std::wstring& decimalSeparator) {
  const int64_t magnitude = kopecks < 0 ? -static_cast<int64_t>(kopecks) : kopecks;
  std::wstring text = kopecks < 0 ? L"-" : L"";
  text += std::to_wstring(magnitude / 100);
  const int64_t cents = magnitude % 100;
  if (cents != 0) {
    text += decimalSeparator;
    text += static_cast<wchar_t>(L'0' + cents / 10);
    if (cents % 10 != 0) text += static_cast<wchar_t>(L'0' + cents % 10);
  }
  return text;
}
