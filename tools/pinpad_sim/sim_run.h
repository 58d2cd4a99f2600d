#pragma once
#include "sim_options.h"

enum : int {
  SIM_DONE = 0,
  SIM_FAILED = 1,
  SIM_USAGE = 2,
};

// Plays the PIN pad for the connections the options ask for, one after
// another on one link; answers the exit status.
int RunSimulator(const TSimOptions& options);
