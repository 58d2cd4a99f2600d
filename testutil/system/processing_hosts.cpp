#include "processing_hosts.h"

#include <cctype>

#include "ansi_text.h"

namespace {

// Four decimal numbers of 0 to 255 joined by dots, nothing else. A leading
// zero is refused: some readers take 010 for octal.
bool IsDottedIPv4(const std::string& text) {
  int parts = 0;
  size_t position = 0;
  while (parts < 4) {
    const size_t first = position;
    size_t digits = 0;
    int value = 0;
    while (position < text.size() && std::isdigit(static_cast<unsigned char>(text[position])) &&
           digits < 3) {
      value = value * 10 + (text[position] - '0');
      ++position;
      ++digits;
    }
    if (digits == 0 || value > 255 || (digits > 1 && text[first] == '0')) return false;
    ++parts;
    if (parts < 4) {
      if (position >= text.size() || text[position] != '.') return false;
      ++position;
    }
  }
  return position == text.size();
}

std::string Trimmed(const std::string& text) {
  const size_t start = text.find_first_not_of(" \t");
  if (start == std::string::npos) return std::string();
  return text.substr(start, text.find_last_not_of(" \t") - start + 1);
}

bool SameLetters(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(a[i])) !=
        std::tolower(static_cast<unsigned char>(b[i]))) {
      return false;
    }
  }
  return true;
}

// The value of the first line "key=value" before any section header, or
// nothing when there is none.
bool FindValue(const std::string& text, const std::string& key, std::string* value) {
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find_first_of("\r\n", start);
    if (end == std::string::npos) end = text.size();
    const std::string line = text.substr(start, end - start);
    start = end + 1;
    if (!line.empty() && line[0] == '[') return false;
    const size_t equals = line.find('=');
    if (equals != std::string::npos && SameLetters(line.substr(0, equals), key)) {
      *value = line.substr(equals + 1);
      return true;
    }
  }
  return false;
}

std::wstring Wide(const std::string& key) { return std::wstring(key.begin(), key.end()); }

// The address under key when it is one, else the fallback and a note why.
std::wstring AddressOr(const std::string& text, const std::string& key, const std::wstring& fallback,
                       std::vector<std::wstring>& notes) {
  std::string value;
  if (FindValue(text, key, &value)) value = Trimmed(value);
  if (IsDottedIPv4(value)) return Wide(value);
  if (value.empty()) {
    notes.push_back(Wide(key) + L" не задан в файле TavoTest.ini. Проверяется адрес по умолчанию " + fallback);
  } else {
    notes.push_back(Wide(key) + L"=" + AnsiToWide(value) +
                    L" в файле TavoTest.ini не принят: нужен IP-адрес цифрами, например 192.168.0.10, имена "
                    L"серверов не поддерживаются. Проверяется адрес по умолчанию " +
                    fallback);
  }
  return fallback;
}

// The port number a value names, or 0 when it names none.
uint16_t PortNumber(const std::string& value) {
  if (value.empty() || value.size() > 5 || value[0] == '0') return 0;
  unsigned long number = 0;
  for (const char c : value) {
    if (!std::isdigit(static_cast<unsigned char>(c))) return 0;
    number = number * 10 + static_cast<unsigned long>(c - '0');
  }
  return number <= 65535 ? static_cast<uint16_t>(number) : 0;
}

// The port under key when it is one, else the fallback; a value that was
// not taken is noted.
uint16_t PortOr(const std::string& text, const std::string& key, uint16_t fallback,
                std::vector<std::wstring>& notes) {
  std::string value;
  if (!FindValue(text, key, &value)) return fallback;
  value = Trimmed(value);
  if (const uint16_t port = PortNumber(value)) return port;
  notes.push_back(Wide(key) + L"=" + AnsiToWide(value) +
                  L" в файле TavoTest.ini не является номером порта. Проверяется порт " + std::to_wstring(fallback));
  return fallback;
}

}  // namespace

TProcessingHosts DefaultProcessingHosts() {
  // Placeholders from the private address range: an installation names its
  // real hosts in the configuration file.
  TProcessingHosts hosts;
  hosts.first = L"10.0.0.1";
  hosts.second = L"10.0.0.2";
  return hosts;
}

TProcessingHosts ParseProcessingHosts(const std::string& text) {
  const TProcessingHosts defaults = DefaultProcessingHosts();
  TProcessingHosts hosts;
  hosts.first = AddressOr(text, "Host1", defaults.first, hosts.notes);
  hosts.second = AddressOr(text, "Host2", defaults.second, hosts.notes);
  hosts.firstPort = PortOr(text, "Port1", defaults.firstPort, hosts.notes);
  hosts.secondPort = PortOr(text, "Port2", defaults.secondPort, hosts.notes);
  return hosts;
}

TProcessingHosts MissingFileHosts() {
  TProcessingHosts hosts = DefaultProcessingHosts();
  hosts.notes.push_back(L"Файл TavoTest.ini не найден рядом с программой. Проверяются адреса по умолчанию " +
                        hosts.first + L" и " + hosts.second);
  return hosts;
}
