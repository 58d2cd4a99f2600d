#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include "files/byte_buffer.h"

// Reads text line by line. A line ends at CR or LF; CR LF and LF CR count as
// one break, LF LF as two. NUL characters are skipped. A maximum length (0 =
// none) cuts a line, and the next call goes on after the cut.
class TLineReader {
 public:
  // The text must outlive the reader.
  TLineReader(const char* text, size_t length, size_t maxLineLength = 0);
  // Holds a share of the buffer, so a temporary buffer is safe to pass.
  explicit TLineReader(const TByteBuffer& buffer, size_t maxLineLength = 0);
  // The next line into line; false once the text is used up.
  bool ReadLine(std::string& line);
  size_t Position() const { return position_; }

 private:
  TByteBuffer held_;
  const char* text_;
  size_t length_;
  size_t maxLineLength_;
  size_t position_ = 0;
};

// An INI-style file of the program's directory, held in memory. A missing or
// unreadable file reads as an empty one.
class TIniFile {
 public:
  explicit TIniFile(const char* name);
  // A file whose content is already at hand (read elsewhere, or made up).
  TIniFile(const char* name, const TByteBuffer& content);
  // Value of key in the unnamed leading section, as written (trailing blanks
  // kept), or fallback.
  std::string GetValue(const char* key, const char* fallback) const;
  std::string GetValue(const char* section, const char* key, const char* fallback) const;
  // The value read as a non-negative decimal number. Trailing blanks and tabs
  // are ignored; a value that is then not all digits, or does not fit, reads
  // as 0, as does a missing key.
  int32_t GetInt(const char* key) const;
  const TByteBuffer& Content() const { return content_; }

 private:
  std::string name_;
  TByteBuffer content_;
};
