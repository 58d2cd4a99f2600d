#include "url.h"

#include <cstddef>

namespace {

constexpr size_t kMaxPortDigits = 5;
constexpr size_t kMaxGroupDigits = 3;

bool AllDigits(const std::string& text, size_t begin, size_t end) {
  for (size_t i = begin; i < end; ++i) {
    if (text[i] < '0' || text[i] > '9') return false;
  }
  return true;
}

uint32_t DecimalValue(const std::string& text, size_t begin, size_t end) {
  uint32_t value = 0;
  for (size_t i = begin; i < end; ++i) value = value * 10 + static_cast<uint32_t>(text[i] - '0');
  return value;
}

// g1.g2.g3.g4, each group of digits worth at most 255; the first group may be
// empty (it then counts as 0), the others have one to three digits.
IpAddress DottedQuad(const std::string& host) {
  IpAddress address = 0;
  size_t begin = 0;
  for (int group = 0; group < 4; ++group) {
    size_t end = host.find('.', begin);
    if (group == 3) {
      if (end != std::string::npos) return 0;
      end = host.size();
    } else if (end == std::string::npos) {
      return 0;
    }
    const size_t length = end - begin;
    if (length > kMaxGroupDigits || (group > 0 && length == 0) || !AllDigits(host, begin, end)) return 0;
    const uint32_t value = DecimalValue(host, begin, end);
    if (value > 255) return 0;
    address = (address << 8) | value;
    begin = end + 1;
  }
  return address;
}

}  // namespace

void TUrl::Parse(const std::string& input, uint16_t defaultPort) {
  *this = TUrl();
  std::string text = input;
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.pop_back();

  size_t hostStart = 0;
  const size_t schemeEnd = text.find("://");
  if (schemeEnd != std::string::npos) {
    scheme = text.substr(0, schemeEnd);
    hostStart = schemeEnd + 3;
  }
  const size_t slash = text.find('/', hostStart);
  const size_t partEnd = slash == std::string::npos ? text.size() : slash;
  if (slash != std::string::npos) path = text.substr(slash + 1);

  size_t hostEnd = partEnd;
  const size_t colon = text.find(':', hostStart);
  if (colon == std::string::npos) {
    port = scheme == "https" ? 443 : defaultPort;
  } else {
    // A ':' that only the path holds leaves no port text at all.
    if (colon >= partEnd) return;
    const size_t portStart = colon + 1;
    const size_t digits = partEnd - portStart;
    if (digits == 0 || digits > kMaxPortDigits || !AllDigits(text, portStart, partEnd)) return;
    const uint32_t value = DecimalValue(text, portStart, partEnd);
    if (value > 65535) return;
    port = static_cast<uint16_t>(value);
    hostEnd = colon;
  }
  host = text.substr(hostStart, hostEnd - hostStart);
  address = DottedQuad(host);
}

std::string TUrl::Render() const {
  std::string text;
  if (!scheme.empty()) text = scheme + "://";
  text += host + ":" + std::to_string(port);
  if (!path.empty()) text += "/" + path;
  return text;
}

std::string TUrl::RenderWithScheme() const { return scheme.empty() ? "http://" + Render() : Render(); }
