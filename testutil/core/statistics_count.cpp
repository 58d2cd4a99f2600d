#include "statistics_count.h"

#include <limits>

#include "decimal_text.h"
#include "text_lines.h"

int32_t CountFromStatistics(const std::wstring& report) {
  for (const std::wstring& line : SplitLines(report)) {
    if (line.find(L"операций:") == std::wstring::npos) continue;
    int64_t count = 0;
    for (wchar_t c : line) {
      if (!IsDecimalDigit(c)) continue;
      count = count * 10 + (c - L'0');
      if (count > std::numeric_limits<int32_t>::max()) return -1;
    }
    return static_cast<int32_t>(count);
  }
  return 0;
}
