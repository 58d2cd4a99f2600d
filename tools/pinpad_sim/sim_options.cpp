#include "sim_options.h"
#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace {

bool ParseNumber(const char* text, uint64_t limit, uint64_t* value) {
  if (!text || *text < '0' || *text > '9') return false;
  char* end = nullptr;
  const unsigned long long number = std::strtoull(text, &end, 10);
  if (*end != '\0' || number > limit) return false;
  *value = number;
  return true;
}

bool ParseUint32(const char* text, uint32_t* value) {
  uint64_t number = 0;
  if (!ParseNumber(text, UINT32_MAX, &number)) return false;
  *value = static_cast<uint32_t>(number);
  return true;
}

bool ParsePort(const char* text, uint16_t* port) {
  uint64_t number = 0;
  if (!ParseNumber(text, 0xFFFF, &number) || number == 0) return false;
  *port = static_cast<uint16_t>(number);
  return true;
}

// "a.b.c.d:port"
bool ParseHostAndPort(const std::string& text, TNetAddress* target) {
  const size_t colon = text.rfind(':');
  if (colon == std::string::npos) return false;
  const std::string host = text.substr(0, colon);
  if (host == "localhost") {
    target->address = 0x7F000001;
  } else {
    target->address = ParseIpAddress(host.c_str());
    if (target->address == 0) return false;
  }
  return ParsePort(text.c_str() + colon + 1, &target->port);
}

bool ReadWholeFile(const std::string& name, std::string* content) {
  std::ifstream in(name, std::ios::binary);
  if (!in) return false;
  std::ostringstream bytes;
  bytes << in.rdbuf();
  *content = bytes.str();
  return true;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

bool ParseExchangeSizes(const std::string& text, std::vector<uint32_t>* sizes) {
  constexpr uint64_t kMostExchanges = 100000;
  constexpr uint64_t kLargestRequest = 65000;
  sizes->clear();
  size_t start = 0;
  while (start <= text.size()) {
    const size_t comma = std::min(text.find(',', start), text.size());
    const std::string item = text.substr(start, comma - start);
    const size_t times = item.find('x');
    uint64_t count = 1;
    uint64_t size = 0;
    if (times != std::string::npos &&
        !ParseNumber(item.substr(0, times).c_str(), kMostExchanges, &count)) {
      return false;
    }
    const std::string sizeText = times == std::string::npos ? item : item.substr(times + 1);
    if (!ParseNumber(sizeText.c_str(), kLargestRequest, &size) || size == 0) return false;
    if (sizes->size() + count > kMostExchanges) return false;
    sizes->insert(sizes->end(), count, static_cast<uint32_t>(size));
    start = comma + 1;
  }
  return !sizes->empty();
}

std::string UnescapeText(const std::string& text) {
  std::string bytes;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\\' || i + 1 == text.size()) {
      bytes += text[i];
      continue;
    }
    const char kind = text[++i];
    if (kind == 'r') {
      bytes += '\r';
    } else if (kind == 'n') {
      bytes += '\n';
    } else if (kind == 't') {
      bytes += '\t';
    } else if (kind == 'x' && i + 2 < text.size() && HexDigit(text[i + 1]) >= 0 &&
               HexDigit(text[i + 2]) >= 0) {
      bytes += static_cast<char>(HexDigit(text[i + 1]) * 16 + HexDigit(text[i + 2]));
      i += 2;
    } else {
      // "\\" is a backslash; an unknown escape stays as it was written.
      if (kind != '\\') bytes += '\\';
      bytes += kind;
    }
  }
  return bytes;
}

bool ParseSimOptions(int argc, char** argv, TSimOptions* options, std::string* error) {
  std::string file;
  int i = 0;
  for (; i < argc && argv[i][0] == '-' && argv[i][1] == '-'; ++i) {
    const std::string name = argv[i];
    const char* value = i + 1 < argc ? argv[i + 1] : nullptr;
    bool good = value != nullptr;
    uint64_t number = 0;
    if (name == "--file" && value) {
      file = value;
    } else if (name == "--output" && value) {
      options->outputFile = value;
    } else if (name == "--close-after-quiet") {
      good = good && ParseUint32(value, &options->quietCloseMs) && options->quietCloseMs > 0;
    } else if (name == "--close-after-received") {
      good = good && ParseNumber(value, UINT64_MAX, &options->closeAfterReceived) &&
             options->closeAfterReceived > 0;
    } else if (name == "--connections") {
      good = good && ParseUint32(value, &options->connections) && options->connections > 0;
    } else if (name == "--exchanges") {
      good = good && ParseExchangeSizes(value, &options->exchanges);
    } else if (name == "--time-limit") {
      good = good && ParseUint32(value, &options->timeLimitSeconds) && options->timeLimitSeconds > 0;
    } else if (name == "--bad-crc") {
      good = good && ParseUint32(value, &options->badCrcFrames);
    } else if (name == "--withhold-acks") {
      good = good && ParseUint32(value, &options->withheldAcks);
    } else if (name == "--noise") {
      good = good && ParseUint32(value, &options->noiseBytes) && options->noiseBytes <= 4096;
    } else if (name == "--reset-after") {
      good = good && ParseNumber(value, UINT64_MAX, &number);
      options->resetAfterSending = true;
      options->resetAfterBytes = number;
    } else {
      *error = "unknown option " + name;
      return false;
    }
    if (!good) {
      *error = "option " + name + " needs a fitting value";
      return false;
    }
    ++i;
  }

  const int left = argc - i;
  if (left < 3 || left > 4) {
    *error = "expected PORT, connect or listen, its target, and at most one text";
    return false;
  }
  options->port = argv[i];
  const std::string command = argv[i + 1];
  if (command == "connect") {
    if (!ParseHostAndPort(argv[i + 2], &options->target)) {
      *error = std::string("not an address a.b.c.d:port: ") + argv[i + 2];
      return false;
    }
  } else if (command == "listen") {
    options->listen = true;
    if (!ParsePort(argv[i + 2], &options->target.port)) {
      *error = std::string("not a port: ") + argv[i + 2];
      return false;
    }
  } else {
    *error = "unknown command " + command;
    return false;
  }
  if (left == 4) options->data = UnescapeText(argv[i + 3]);
  if (!file.empty()) {
    std::string content;
    if (!ReadWholeFile(file, &content)) {
      *error = "cannot read " + file;
      return false;
    }
    options->data += content;
  }
  if (!options->exchanges.empty() && !options->data.empty()) {
    *error = "--exchanges makes its own requests: no TEXT or --file with it";
    return false;
  }
  return true;
}

const char* SimUsage() {
  return "usage: pinpad-sim [options] PORT connect HOST:PORT [TEXT]\n"
         "       pinpad-sim [options] PORT listen PORT [TEXT]\n"
         "\n"
         "Plays the PIN pad on the serial line PORT (COMn, or on Linux a device path\n"
         "such as /dev/pts/3) and asks the agent at the other end of the line for a\n"
         "connection: to HOST:PORT (HOST an IPv4 address or localhost), or a listening\n"
         "port on the agent's PC whose first peer becomes the connection. Once it is\n"
         "connected it sends TEXT (\\r \\n \\t \\\\ \\xHH stand for bytes), prints what\n"
         "comes back, and closes when the far side closes.\n"
         "\n"
         "options:\n"
         "  --file FILE              also send the bytes of FILE (after TEXT)\n"
         "  --output FILE            save what comes back to FILE instead of printing it\n"
         "  --close-after-quiet MS   close from this side once everything is sent and\n"
         "                           nothing has come for MS milliseconds\n"
         "  --close-after-received N close from this side once N bytes have come back\n"
         "                           (a PIN pad that hangs up on a host still sending)\n"
         "  --connections N          make N connections one after another on the same\n"
         "                           link, each doing all of the above (default 1);\n"
         "                           the timings are those of the last\n"
         "  --time-limit SECONDS     give up after this long, all connections together\n"
         "                           (default 30)\n"
         "  --exchanges LIST         instead of TEXT, send requests of these sizes one at\n"
         "                           a time, each once the whole previous one has come\n"
         "                           back (from an echoing host), and report the round\n"
         "                           trips; LIST: sizes and COUNTxSIZE, comma-separated\n"
         "                           (300,1500 or 200x64), at most 65000 bytes each\n"
         "misbehaving on purpose:\n"
         "  --bad-crc N              corrupt the CRC of the next N DATA frames sent\n"
         "  --withhold-acks N        leave the agent's next N DATA frames unacknowledged\n"
         "  --noise N                write N bytes of line noise before every frame\n"
         "  --reset-after N          once N bytes are sent on a connection, reopen the\n"
         "                           link (the agent receives MSG_RESET) and end that\n"
         "                           connection; the next one goes over the new link\n"
         "\n"
         "Progress and timings go to standard error: when the connection was made,\n"
         "when everything sent was acknowledged and the last byte came, the round\n"
         "trips, and the time from the connect request to the acknowledged close.\n"
         "Exit status: 0 done, 1 failed, 2 usage.\n";
}
