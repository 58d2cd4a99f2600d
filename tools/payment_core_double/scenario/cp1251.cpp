#include "cp1251.h"

namespace {

// Code page 1251 byte of a character outside ASCII, or '?' when it has none.
char Cp1251Byte(char32_t character) {
  if (character >= U'\u0410' && character <= U'\u044F') {
    return static_cast<char>(0xC0 + (character - U'\u0410'));
  }
  switch (character) {
    case U'\u0401': return static_cast<char>(0xA8);  // Ё
    case U'\u0451': return static_cast<char>(0xB8);  // ё
    case U'\u2116': return static_cast<char>(0xB9);  // №
    case U'\u00AB': return static_cast<char>(0xAB);  // «
    case U'\u00BB': return static_cast<char>(0xBB);  // »
    default: return '?';
  }
}

}  // namespace

std::string Cp1251FromUtf8(const std::string& utf8) {
  std::string result;
  result.reserve(utf8.size());
  for (size_t i = 0; i < utf8.size();) {
    const auto lead = static_cast<unsigned char>(utf8[i]);
    if (lead < 0x80) {
      result += static_cast<char>(lead);
      ++i;
      continue;
    }
    const size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
    char32_t character = lead & (0x7F >> length);
    for (size_t k = 1; k < length && i + k < utf8.size(); ++k) {
      character = (character << 6) | (static_cast<unsigned char>(utf8[i + k]) & 0x3F);
    }
    result += length == 1 ? '?' : Cp1251Byte(character);
    i += length;
  }
  return result;
}
