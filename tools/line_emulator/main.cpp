#include <cstdio>
#include <string>
#include "emulator_options.h"
#include "posix_pseudo_terminal_ends.h"

namespace {

void PrintCounts(const char* way, const TDirectionCounts& counts) {
  std::printf("line-emulator: %s: %llu bytes carried, %llu with a bit flipped, %llu dropped, %llu lost to overrun\n",
              way, static_cast<unsigned long long>(counts.carried), static_cast<unsigned long long>(counts.flipped),
              static_cast<unsigned long long>(counts.dropped), static_cast<unsigned long long>(counts.overrun));
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 2 && std::string(argv[1]) == "--help") {
    std::fputs(EmulatorUsage(), stdout);
    return 0;
  }
  TEmulatorOptions options;
  std::string error;
  if (!ParseEmulatorOptions(argc - 1, argv + 1, &options, &error)) {
    std::fprintf(stderr, "line-emulator: %s\n\n%s", error.c_str(), EmulatorUsage());
    return 2;
  }
  std::unique_ptr<TPseudoTerminalEnds> ends = TPseudoTerminalEnds::Open(options.links, &error);
  if (!ends) {
    std::fprintf(stderr, "line-emulator: %s\n", error.c_str());
    return 1;
  }
  std::printf("line-emulator: a is %s (%s), b is %s (%s), %u baud\n", ends->Device(0).c_str(),
              options.links[0].c_str(), ends->Device(1).c_str(), options.links[1].c_str(),
              options.settings[0].baud);
  std::fflush(stdout);
  TLineEmulator emulator(options.settings, *ends);
  emulator.Run(options.duration);
  PrintCounts("a -> b", emulator.From(0).Counts());
  PrintCounts("b -> a", emulator.From(1).Counts());
  return 0;
}
