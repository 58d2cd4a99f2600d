#include "files/ini_file.h"

#include <cstring>
#include <memory>

#include "files/file_system.h"
#include "system/system.h"

namespace {

bool IsLineBreak(char c) { return c == '\r' || c == '\n'; }

bool IsSectionHeader(const std::string& line) {
  return line.size() > 2 && line[0] == '[' && line.find(']') != std::string::npos;
}

}  // namespace

TLineReader::TLineReader(const char* text, size_t length, size_t maxLineLength)
    : text_(text), length_(length), maxLineLength_(maxLineLength) {}

TLineReader::TLineReader(const TByteBuffer& buffer, size_t maxLineLength)
    : held_(buffer),
      text_(reinterpret_cast<const char*>(held_.Data())),
      length_(held_.Length()),
      maxLineLength_(maxLineLength) {}

bool TLineReader::ReadLine(std::string& line) {
  line.clear();
  while (position_ < length_) {
    const char c = text_[position_++];
    if (IsLineBreak(c)) {
      // CR LF and LF CR are one break; CR CR and LF LF are two.
      if (position_ < length_ && IsLineBreak(text_[position_]) && text_[position_] != c) ++position_;
      return true;
    }
    if (c != '\0') line += c;
    if (maxLineLength_ != 0 && line.size() == maxLineLength_) return true;
  }
  return !line.empty();
}

TIniFile::TIniFile(const char* name) : name_(name ? name : "") {
  IFileSystem* files = GetSystem()->GetAppFileSystem();
  std::unique_ptr<IFileReadable> file(files ? files->OpenRead(name_.c_str()) : nullptr);
  if (file) content_.ReadAll(*file);
}

TIniFile::TIniFile(const char* name, const TByteBuffer& content)
    : name_(name ? name : ""), content_(content) {}

std::string TIniFile::GetValue(const char* key, const char* fallback) const {
  return GetValue("", key, fallback);
}

std::string TIniFile::GetValue(const char* section, const char* key, const char* fallback) const {
  const std::string wantedHeader = std::string("[") + (section ? section : "") + "]";
  const size_t keyLength = std::strlen(key);
  bool inside = !section || !*section;
  TLineReader reader(content_);
  std::string line;
  while (reader.ReadLine(line)) {
    if (IsSectionHeader(line)) {
      inside = line.compare(0, wantedHeader.size(), wantedHeader) == 0;
      continue;
    }
    if (!inside || line.size() <= keyLength || line.compare(0, keyLength, key) != 0) continue;
    if (line[keyLength] != '=' && line[keyLength] != ':') continue;
    const size_t start = line.find_first_not_of(":,= \t", keyLength);
    return start == std::string::npos ? std::string() : line.substr(start);
  }
  return fallback ? fallback : "";
}

int32_t TIniFile::GetInt(const char* key) const {
  std::string text = GetValue(key, "");
  // Editors leave blanks after a number; they are no part of it.
  const size_t end = text.find_last_not_of(" \t");
  text.erase(end == std::string::npos ? 0 : end + 1);
  if (text.empty()) return 0;
  int64_t value = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return 0;
    value = value * 10 + (c - '0');
    if (value > INT32_MAX) return 0;
  }
  return static_cast<int32_t>(value);
}
