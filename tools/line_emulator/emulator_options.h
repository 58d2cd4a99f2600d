#pragma once
#include <cstdint>
#include <string>
#include "line_direction.h"

// What one run of the line emulator is asked to do.
struct TEmulatorOptions {
  std::string links[2];  // where the names of ends a and b are put
  // settings[0]: bytes written into a, carried to b; settings[1]: the reverse.
  TDirectionSettings settings[2];
  TNanoseconds duration = kNever;  // kNever: until SIGINT or SIGTERM
};

// Reads the command line (without the program name). False with a message
// in error when it asks for something unclear.
bool ParseEmulatorOptions(int argc, char** argv, TEmulatorOptions* options, std::string* error);

const char* EmulatorUsage();
