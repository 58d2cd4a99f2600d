#include "exchange_answer.h"

namespace {

// No text written here needs escaping: file names are filtered when listed,
// and the serial is taken from the report as it was written there, escapes
// and all.
std::string Quoted(const std::string& text) { return "\"" + text + "\""; }

std::string FileEntry(const TListedFile& file) {
  return "{\"FILE_HASH\":" + Quoted(file.sha1) + ",\"FILE_NAME\":" + Quoted(file.name) +
         ",\"FILE_SIZE\":" + std::to_string(file.size) + "}";
}

std::string CommandEntry(const TCheckFilesCommand& command, const std::string& hostUrl,
                         const std::string& serial) {
  std::string files;
  for (const TListedFile& file : command.files) {
    files += (files.empty() ? "" : ",") + FileEntry(file);
  }
  return "{\"CMD\":\"CHECK_FILES\",\"DETAILS\":{\"CMD_ID\":" + Quoted(command.id) + ",\"FILES\":[" +
         files + "],\"HOST_URL\":" + Quoted(hostUrl) + ",\"SN\":" + Quoted(serial) +
         ",\"TARGET\":" + Quoted(command.target) + "}}";
}

}  // namespace

std::string BuildExchangeAnswer(bool success, const std::vector<TCheckFilesCommand>& commands,
                                const std::string& hostUrl, const std::string& serial) {
  std::string list;
  for (const TCheckFilesCommand& command : commands) {
    list += (list.empty() ? "" : ",") + CommandEntry(command, hostUrl, serial);
  }
  return std::string("{\"success\":") + (success ? "true" : "false") + ",\"body\":{\"COMMANDS\":[" +
         list + "]}}";
}

std::string SerialFromReport(const std::string& report) {
  const std::string key = "\"SN\":\"";
  const size_t start = report.find(key);
  if (start == std::string::npos) return std::string();
  const size_t valueStart = start + key.size();
  for (size_t end = valueStart; end < report.size(); ++end) {
    if (report[end] == '\\') {
      ++end;
    } else if (report[end] == '"') {
      return report.substr(valueStart, end - valueStart);
    }
  }
  return std::string();
}
