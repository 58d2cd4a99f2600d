#include "pinpad_reply.h"

const char kStatusCommand[] = "A20000A0";

namespace {

constexpr char kStx = '\x02';
constexpr char kEtx = '\x03';
constexpr char kKeyMissing = 'c';

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

bool IsSerialNumberCharacter(char c) {
  return (c >= '0' && c <= '9') || std::string("GKABDgkabd").find(c) != std::string::npos;
}

std::wstring KeyLine(const wchar_t* name, char status) {
  return std::wstring(name) + (status == kKeyMissing ? L": НЕТ" : L": ЕСТЬ");
}

}  // namespace

std::string DeleteKeyCommand(PinpadKey key) { return key == PinpadKey::Pin ? "E9010000EA" : "E9010001EB"; }

std::string PinpadRequestFrame(const std::string& command) { return kStx + command + kEtx + kEtx; }

std::optional<std::string> DecodeHexReply(const std::string& raw) {
  std::string decoded;
  for (size_t i = 1; i + 2 < raw.size(); i += 2) {
    const int high = HexValue(raw[i]);
    const int low = HexValue(raw[i + 1]);
    if (high < 0 || low < 0) return std::nullopt;
    decoded += static_cast<char>(high * 16 + low);
  }
  return decoded;
}

std::wstring ExtractSerialNumber(const std::string& decoded) {
  std::wstring serial;
  for (size_t i = 0; i + 1 < decoded.size(); ++i) {
    if (IsSerialNumberCharacter(decoded[i])) serial += static_cast<wchar_t>(decoded[i]);
  }
  return serial;
}

std::vector<std::wstring> KeyStatusLines(const std::optional<std::string>& decoded) {
  if (!decoded || decoded->empty()) return {L"Ошибка открытия порта. Проверьте настройки COM порта"};
  std::vector<std::wstring> lines = {L"S/N: " + ExtractSerialNumber(*decoded), L""};
  const wchar_t* const keys[] = {L"PIN", L"MAC", L"KLK"};
  constexpr size_t kFirstKeyByte = 16;
  for (size_t k = 0; k < 3 && kFirstKeyByte + k < decoded->size(); ++k) {
    lines.push_back(KeyLine(keys[k], (*decoded)[kFirstKeyByte + k]));
  }
  return lines;
}

std::wstring KeyDeletionText(PinpadKey key, const std::optional<std::string>& decoded) {
  if (decoded && *decoded == std::string("\x00\x00\x00\x02", 4)) {
    return std::wstring(L"Ключ ") + (key == PinpadKey::Pin ? L"PIN" : L"MAC") + L" удален";
  }
  return L"Не удалось удалить ключ. Проверьте настройки COM порта";
}
