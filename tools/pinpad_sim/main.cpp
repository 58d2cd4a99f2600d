#include <cstdio>
#include <string>
#include "sim_run.h"

int main(int argc, char** argv) {
  TSimOptions options;
  std::string error;
  if (!ParseSimOptions(argc - 1, argv + 1, &options, &error)) {
    std::fprintf(stderr, "pinpad-sim: %s\n\n%s", error.c_str(), SimUsage());
    return SIM_USAGE;
  }
  return RunSimulator(options);
}
