#include <cstdio>
#include <cstring>

#include "build_flavour.h"
#include "log/logger_to_file.h"

namespace {

constexpr uint32_t kBytesPerRow = 16;
// "dd.mm hh:mm:ss " - continuation rows are indented by this much plus the
// lead character, so that every row's cells line up under the first one.
constexpr size_t kTimestampWidth = 15;

void AppendDumpRow(std::string& out, const uint8_t* data, uint32_t length) {
  char cell[4];
  for (uint32_t i = 0; i < kBytesPerRow; ++i) {
    if (i < length) {
      std::snprintf(cell, sizeof cell, "%02X ", data[i]);
      out += cell;
    } else {
      out += "   ";
    }
  }
  out.back() = '|';
  for (uint32_t i = 0; i < kBytesPerRow; ++i) {
    if (i >= length) {
      out += ' ';
    } else {
      out += data[i] < 32 ? '.' : static_cast<char>(data[i]);
    }
  }
}

void AppendDump(std::string& out, const char* text, const uint8_t* data, uint32_t length) {
  char lead = text[0] != '\0' ? text[0] : ' ';
  if (std::strlen(text) > 1) {
    // A long text would push the first row out of line with the others, so
    // the rows start on a line of their own.
    if (!kAgentBuild) {
      out += "\r\n";
      out.append(kTimestampWidth + 1, ' ');
    }
    lead = ' ';
  }
  AppendLogDump(out, lead, data, length, kTimestampWidth);
}

}  // namespace

void AppendLogDump(std::string& out, char lead, const uint8_t* data, uint32_t length, size_t indent) {
  for (uint32_t offset = 0; offset < length; offset += kBytesPerRow) {
    if (offset > 0) {
      out += "\r\n";
      out.append(indent, ' ');
      out += lead;
    }
    uint32_t rowLength = length - offset < kBytesPerRow ? length - offset : kBytesPerRow;
    AppendDumpRow(out, data + offset, rowLength);
  }
}

std::string FormatLogEntry(const TLogEvent& event, uint32_t date, uint32_t time) {
  const char* text = event.GetText();
  char line[64];
  std::snprintf(line, sizeof line, "%02lu.%02lu %02lu:%02lu:%02lu ",
                static_cast<unsigned long>(date % 100), static_cast<unsigned long>(date / 100 % 100),
                static_cast<unsigned long>(time / 10000), static_cast<unsigned long>(time / 100 % 100),
                static_cast<unsigned long>(time % 100));
  std::string out = line;
  out += text;

  const uint8_t* data = event.Data();
  uint32_t length = event.DataLength();
  if (data != nullptr && length > 0) {
    if (event.IsBinary()) {
      AppendDump(out, text, data, length);
    } else {
      out.append(reinterpret_cast<const char*>(data), length);
    }
  }
  out += "\r\n";
  return out;
}
