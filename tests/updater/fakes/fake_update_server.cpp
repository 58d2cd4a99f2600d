#include "fake_update_server.h"

#include "files/byte_buffer.h"
#include "sha1.h"

namespace {

std::string HttpAnswer(const std::string& status, const std::string& body) {
  return "HTTP/1.1 " + status + "\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
}

// The value of a query parameter of the request line, up to the next '&' or
// blank.
std::string QueryValue(const std::string& line, const std::string& key) {
  const size_t start = line.find(key + "=");
  if (start == std::string::npos) return std::string();
  const size_t from = start + key.size() + 1;
  return line.substr(from, line.find_first_of("& ", from) - from);
}

}  // namespace

std::string TFakeUpdateServer::CheckFiles(const std::string& target, const TFiles& files) {
  std::string list;
  for (const auto& file : files) {
    if (!list.empty()) list += ",";
    list += "{\"FILE_HASH\":\"" + TSha1::Digest(TByteBuffer(file.second)).ToHex() + "\",\"FILE_NAME\":\"" +
            file.first + "\",\"FILE_SIZE\":" + std::to_string(file.second.size()) + "}";
  }
  return std::string("{\"CMD\":\"CHECK_FILES\",\"DETAILS\":{\"CMD_ID\":\"1\",\"FILES\":[") + list +
         "],\"TARGET\":\"" + target + "\"}}";
}

std::string TFakeUpdateServer::Answer() const {
  return "{\"body\":{\"COMMANDS\":[" + CheckFiles("ECR", ecrFiles) + "," + CheckFiles("UPDATE", updateFiles) +
         "]},\"success\":true}";
}

std::string TFakeUpdateServer::Respond(const std::string& request) {
  requests.push_back(request);
  const std::string line = request.substr(0, request.find("\r\n"));
  if (line.compare(0, 5, "POST ") == 0) return HttpAnswer("200 OK", scriptedAnswer.empty() ? Answer() : scriptedAnswer);
  const TFiles& files = line.find("&ECR=1") != std::string::npos ? ecrFiles : updateFiles;
  const auto found = files.find(QueryValue(line, "name"));
  if (line.compare(0, 4, "GET ") != 0 || found == files.end()) return HttpAnswer("404 Not Found", "");
  const std::string& body = found->second;
  // "Range: bytes=N-" as the updater asks it, answered as real servers do.
  const std::string rangeKey = "\r\nRange: bytes=";
  const size_t range = request.find(rangeKey);
  if (range == std::string::npos) return HttpAnswer("200 OK", body);
  const size_t first = std::stoul(request.substr(range + rangeKey.size()));
  if (first >= body.size()) return "HTTP/1.1 416 Range Not Satisfiable\r\nContent-Length: 0\r\n\r\n";
  const std::string rest = body.substr(first);
  return "HTTP/1.1 206 Partial Content\r\nContent-Range: bytes " + std::to_string(first) + "-" +
         std::to_string(body.size() - 1) + "/" + std::to_string(body.size()) +
         "\r\nContent-Length: " + std::to_string(rest.size()) + "\r\n\r\n" + rest;
}
