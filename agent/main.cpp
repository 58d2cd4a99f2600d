#include <cstdio>
#include "command_line.h"

int main(int argc, char** argv) {
  return RunAgent(argc, argv, stdout);
}
