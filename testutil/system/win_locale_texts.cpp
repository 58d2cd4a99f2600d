#include "locale_texts.h"

namespace {

// A text that the call, given a buffer and its size in characters, writes
// with its terminating NUL and answers the length of (0 on failure).
template <typename TCall>
std::wstring FetchText(TCall call) {
  wchar_t buffer[128];
  const int length = call(buffer, static_cast<int>(sizeof buffer / sizeof buffer[0]));
  return length > 0 ? std::wstring(buffer, static_cast<size_t>(length - 1)) : std::wstring();
}

}  // namespace

std::wstring DecimalSeparator() {
  return FetchText([](wchar_t* buffer, int size) {
    return GetLocaleInfoEx(LOCALE_NAME_USER_DEFAULT, LOCALE_SDECIMAL, buffer, size);
  });
}

std::wstring FormatShortDate(const SYSTEMTIME& moment) {
  return FetchText([&moment](wchar_t* buffer, int size) {
    return GetDateFormatEx(LOCALE_NAME_USER_DEFAULT, DATE_SHORTDATE, &moment, nullptr, buffer, size,
                           nullptr);
  });
}

std::wstring FormatLongTime(const SYSTEMTIME& moment) {
  return FetchText([&moment](wchar_t* buffer, int size) {
    return GetTimeFormatEx(LOCALE_NAME_USER_DEFAULT, 0, &moment, nullptr, buffer, size);
  });
}

TDateTimeTexts CurrentDateTimeTexts() {
  SYSTEMTIME now;
  GetLocalTime(&now);
  return TDateTimeTexts{FormatShortDate(now), FormatLongTime(now)};
}
