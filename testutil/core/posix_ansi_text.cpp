#include "ansi_text.h"

#include <cstdint>

// Linux has no system ANSI code page; the Russian one, windows-1251, stands
// in for it so that the same files read the same everywhere.
namespace {

// windows-1251 bytes 0x80..0xBF; 0x98 is unassigned and, as on Windows,
// maps to the control character of the same number.
const char16_t kHighHalf[64] = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021, 0x20AC, 0x2030, 0x0409, 0x2039, 0x040A,
    0x040C, 0x040B, 0x040F, 0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, 0x0098, 0x2122,
    0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F, 0x00A0, 0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6,
    0x00A7, 0x0401, 0x00A9, 0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407, 0x00B0, 0x00B1, 0x0406, 0x0456,
    0x0491, 0x00B5, 0x00B6, 0x00B7, 0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457};

// The letters А..я take the bytes 0xC0..0xFF in alphabetical order.
constexpr uint8_t kFirstLetterByte = 0xC0;
constexpr char32_t kFirstLetter = 0x0410;
constexpr char32_t kLastLetter = 0x044F;

wchar_t ByteToWide(uint8_t byte) {
  if (byte < 0x80) return static_cast<wchar_t>(byte);
  if (byte >= kFirstLetterByte) return static_cast<wchar_t>(kFirstLetter + (byte - kFirstLetterByte));
  return static_cast<wchar_t>(kHighHalf[byte - 0x80]);
}

char WideToByte(wchar_t wide) {
  const auto code = static_cast<char32_t>(wide);
  if (code < 0x80) return static_cast<char>(code);
  if (code >= kFirstLetter && code <= kLastLetter) {
    return static_cast<char>(kFirstLetterByte + (code - kFirstLetter));
  }
  for (unsigned i = 0; i < 64; ++i) {
    if (kHighHalf[i] == code) return static_cast<char>(0x80 + i);
  }
  return '?';
}

}  // namespace

std::wstring AnsiToWide(const std::string& bytes) {
  std::wstring wide;
  wide.reserve(bytes.size());
  for (char byte : bytes) wide += ByteToWide(static_cast<uint8_t>(byte));
  return wide;
}

std::string WideToAnsi(const std::wstring& text) {
  std::string ansi;
  ansi.reserve(text.size());
  for (wchar_t wide : text) ansi += WideToByte(wide);
  return ansi;
}
