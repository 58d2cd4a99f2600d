#include "ansi_text.h"

#include <windows.h>

#include <climits>
#include <stdexcept>

namespace {

int CheckedLength(size_t length) {
  if (length > static_cast<size_t>(INT_MAX)) throw std::length_error("text too long to convert");
  return static_cast<int>(length);
}

}  // namespace

std::wstring AnsiToWide(const std::string& bytes) {
  if (bytes.empty()) return std::wstring();
  const int length = CheckedLength(bytes.size());
  const int wideLength = MultiByteToWideChar(CP_ACP, 0, bytes.data(), length, nullptr, 0);
  std::wstring wide(static_cast<size_t>(wideLength), L'\0');
  MultiByteToWideChar(CP_ACP, 0, bytes.data(), length, &wide[0], wideLength);
  return wide;
}

std::string WideToAnsi(const std::wstring& text) {
  if (text.empty()) return std::string();
  const int length = CheckedLength(text.size());
  const int ansiLength = WideCharToMultiByte(CP_ACP, 0, text.data(), length, nullptr, 0, nullptr, nullptr);
  std::string ansi(static_cast<size_t>(ansiLength), '\0');
  WideCharToMultiByte(CP_ACP, 0, text.data(), length, &ansi[0], ansiLength, nullptr, nullptr);
  return ansi;
}
