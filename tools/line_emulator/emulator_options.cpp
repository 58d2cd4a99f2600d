#include "emulator_options.h"
#include <cmath>
#include <cstdlib>

namespace {

constexpr double kNanosecondsPerMs = 1e6;

bool ParseDouble(const char* text, double lowest, double highest, double* value) {
  if (!text || *text == '\0') return false;
  char* end = nullptr;
  const double number = std::strtod(text, &end);
  if (*end != '\0' || !std::isfinite(number) || number < lowest || number > highest) return false;
  *value = number;
  return true;
}

bool ParseWhole(const char* text, double lowest, double highest, uint32_t* value) {
  double number = 0;
  if (!ParseDouble(text, lowest, highest, &number) || number != std::floor(number)) return false;
  *value = static_cast<uint32_t>(number);
  return true;
}

// "a:AFTER:FOR" or "b:AFTER:FOR", milliseconds.
bool ParseStall(const std::string& text, TEmulatorOptions* options) {
  if (text.size() < 5 || (text[0] != 'a' && text[0] != 'b') || text[1] != ':') return false;
  const size_t colon = text.find(':', 2);
  if (colon == std::string::npos) return false;
  double after = 0;
  double length = 0;
  if (!ParseDouble(text.substr(2, colon - 2).c_str(), 0, 1e9, &after) ||
      !ParseDouble(text.substr(colon + 1).c_str(), 0, 1e9, &length)) {
    return false;
  }
  TStall stall;
  stall.from = static_cast<TNanoseconds>(after * kNanosecondsPerMs);
  stall.length = static_cast<TNanoseconds>(length * kNanosecondsPerMs);
  options->settings[text[0] == 'a' ? 0 : 1].stalls.push_back(stall);
  return true;
}

}  // namespace

bool ParseEmulatorOptions(int argc, char** argv, TEmulatorOptions* options, std::string* error) {
  uint32_t baud = 115200;
  uint32_t fifo = 16;
  uint32_t randomStart = 1;
  double latencyMs = 0;
  double flip = 0;
  double drop = 0;
  std::string only;
  int i = 0;
  for (; i < argc && argv[i][0] == '-' && argv[i][1] == '-'; ++i) {
    const std::string name = argv[i];
    const char* value = i + 1 < argc ? argv[i + 1] : nullptr;
    bool good = value != nullptr;
    if (name == "--baud") {
      good = good && ParseWhole(value, 50, 4000000, &baud);
    } else if (name == "--fifo") {
      good = good && ParseWhole(value, 1, 4096, &fifo);
    } else if (name == "--latency") {
      good = good && ParseDouble(value, 0, 60000, &latencyMs);
    } else if (name == "--flip") {
      good = good && ParseDouble(value, 0, 1, &flip);
    } else if (name == "--drop") {
      good = good && ParseDouble(value, 0, 1, &drop);
    } else if (name == "--only") {
      only = good ? value : "";
      good = only == "a" || only == "b";
    } else if (name == "--stall") {
      good = good && ParseStall(value, options);
    } else if (name == "--random-start") {
      good = good && ParseWhole(value, 0, 4294967295.0, &randomStart);
    } else if (name == "--duration") {
      double seconds = 0;
      good = good && ParseDouble(value, 0.001, 1e7, &seconds);
      options->duration = static_cast<TNanoseconds>(seconds * 1e9);
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
  if (argc - i != 2) {
    *error = "expected the two link names A and B";
    return false;
  }
  options->links[0] = argv[i];
  options->links[1] = argv[i + 1];
  for (int from = 0; from < 2; ++from) {
    TDirectionSettings& settings = options->settings[from];
    settings.baud = baud;
    settings.fifoDepth = fifo;
    settings.latency = static_cast<TNanoseconds>(latencyMs * kNanosecondsPerMs);
    const bool faulty = only.empty() || only == (from == 0 ? "a" : "b");
    settings.flipRate = faulty ? flip : 0;
    settings.dropRate = faulty ? drop : 0;
    settings.randomStart = randomStart + static_cast<uint32_t>(from);
  }
  return true;
}

const char* EmulatorUsage() {
  return "usage: line-emulator [options] A B\n"
         "\n"
         "A serial cable between two pseudo-terminals. A and B become links to the\n"
         "terminal devices of its two ends (for the agent's ports/comN, or Wine's\n"
         "dosdevices/comN). What a program writes into one end reaches the program\n"
         "at the other as a real line would carry it: 10 bit times a byte (8N1), one\n"
         "byte after another, each direction on its own, and handed over by the\n"
         "receiving UART's FIFO when it is full or 4 character times after the last\n"
         "byte. The line settings the programs ask for change nothing.\n"
         "\n"
         "options:\n"
         "  --baud N            line rate in bits a second (default 115200: 11520 bytes\n"
         "                      a second each way)\n"
         "  --fifo N            receive FIFO depth in bytes (default 16)\n"
         "  --latency MS        added to every byte on its way, one way (default 0;\n"
         "                      fractions allowed)\n"
         "  --duration SECONDS  end after this long (default: at SIGINT or SIGTERM)\n"
         "faults on purpose:\n"
         "  --flip RATE         the chance that a byte arrives with one bit flipped\n"
         "                      (0 to 1, e.g. 0.0001)\n"
         "  --drop RATE         the chance that a byte is lost on the way\n"
         "  --only a|b          flips and drops only in the bytes written into that end\n"
         "  --stall END:AFTER:FOR  the bytes written into END (a or b) stand still for\n"
         "                      FOR milliseconds from AFTER milliseconds after the start;\n"
         "                      may be given more than once\n"
         "  --random-start N    start of the fault chances' random sequence (default 1)\n"
         "\n"
         "It prints the devices of both ends once the links are in place, and at the\n"
         "end the bytes carried each way with the faults and overruns.\n"
         "Exit status: 0 done, 1 failed, 2 usage.\n";
}
