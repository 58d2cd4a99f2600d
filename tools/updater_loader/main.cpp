// updater-loader: stands in for the payment core that loads the updater and
// calls its export, so that tests reach the updater through its real entry.
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>
#include <vector>
#include "export_call.h"

namespace {

struct TLoaderOptions {
  unsigned repeat = 1;
  unsigned threads = 1;
  bool nullSerial = false;
  bool nullModel = false;
  std::string folder;
  std::string fileName;
  std::string serial;
  std::string model;
};

const char kUsage[] =
    "usage: updater-loader [--repeat N] [--threads N] [--null-serial] [--null-model]\n"
    "                      <folder> <library file name> <serial> <model>\n"
    "\n"
    "Loads <folder>/<library file name>, calls CheckForUpdates(serial, model) and\n"
    "prints \"result=<code>\" for each call. --repeat N: N calls in sequence;\n"
    "--threads N: N threads make those calls at the same time; --null-serial,\n"
    "--null-model: pass a null pointer instead of that text.\n"
    "Exit code: 0 when every call was made, 2 when the library or its export\n"
    "cannot be found, 3 when the export is not cdecl (checked on 32-bit x86),\n"
    "1 on bad usage.\n";

bool ParseCount(const char* text, unsigned* count) {
  char* end = nullptr;
  const unsigned long value = std::strtoul(text, &end, 10);
  if (*text < '0' || *text > '9' || *end != '\0' || value == 0 || value > 1000) return false;
  *count = static_cast<unsigned>(value);
  return true;
}

bool ParseOptions(int argc, char** argv, TLoaderOptions* options) {
  std::vector<std::string> positional;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--repeat" && i + 1 < argc) {
      if (!ParseCount(argv[++i], &options->repeat)) return false;
    } else if (arg == "--threads" && i + 1 < argc) {
      if (!ParseCount(argv[++i], &options->threads)) return false;
    } else if (arg == "--null-serial") {
      options->nullSerial = true;
    } else if (arg == "--null-model") {
      options->nullModel = true;
    } else if (arg.compare(0, 2, "--") == 0) {
      return false;
    } else {
      positional.push_back(arg);
    }
  }
  if (positional.size() != 4) return false;
  options->folder = positional[0];
  options->fileName = positional[1];
  options->serial = positional[2];
  options->model = positional[3];
  return true;
}

// Makes the calls of one thread, each result on a line of its own.
void CallRepeatedly(TCheckForUpdates checkForUpdates, const TLoaderOptions& options, std::mutex& output) {
  const char* serial = options.nullSerial ? nullptr : options.serial.c_str();
  const char* model = options.nullModel ? nullptr : options.model.c_str();
  for (unsigned call = 0; call < options.repeat; ++call) {
    const int result = CallCheckForUpdates(checkForUpdates, serial, model);
    std::lock_guard<std::mutex> lock(output);
    std::printf("result=%d\n", result);
    std::fflush(stdout);
  }
}

}  // namespace

int main(int argc, char** argv) {
  TLoaderOptions options;
  if (!ParseOptions(argc, argv, &options)) {
    std::fputs(kUsage, stderr);
    return 1;
  }
  std::string error;
  const TCheckForUpdates checkForUpdates = LoadCheckForUpdates(options.folder, options.fileName, &error);
  if (!checkForUpdates) {
    std::fprintf(stderr, "updater-loader: %s\n", error.c_str());
    return 2;
  }
  std::mutex output;
  if (options.threads == 1) {
    CallRepeatedly(checkForUpdates, options, output);
    return 0;
  }
  // Every thread waits until all are running, so that their first calls
  // really overlap.
  std::atomic<unsigned> running{0};
  std::vector<std::thread> callers;
  for (unsigned i = 0; i < options.threads; ++i) {
    callers.emplace_back([&] {
      ++running;
      while (running < options.threads) std::this_thread::yield();
      CallRepeatedly(checkForUpdates, options, output);
    });
  }
  for (std::thread& caller : callers) caller.join();
  return 0;
}
