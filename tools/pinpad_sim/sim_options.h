#pragma once
#include <cstdint>
#include <string>
#include <vector>
#include "net/network.h"

// What one run of the simulator is asked to do.
struct TSimOptions {
  std::string port;     // COMn or a device path
  bool listen = false;  // listen on a port at the far end instead of connecting
  TNetAddress target;   // host and port to connect to; only the port for a listen
  std::string data;     // bytes to send once connected (text, then the file)
  // Sizes of requests sent one at a time, each once the previous one has
  // come back whole; empty: send data at once.
  std::vector<uint32_t> exchanges;
  std::string outputFile;    // empty: what comes back goes to standard output
  uint32_t quietCloseMs = 0;  // 0: wait for the far side to close
  uint64_t closeAfterReceived = 0;  // 0: no limit on what comes back
  uint32_t connections = 1;  // made one after another on the same link
  uint32_t timeLimitSeconds = 30;
  uint32_t badCrcFrames = 0;
  uint32_t withheldAcks = 0;
  uint32_t noiseBytes = 0;
  bool resetAfterSending = false;
  uint64_t resetAfterBytes = 0;
};

// "300,700" or "200x64" (200 requests of 64 bytes), mixed freely; false
// when the text is not such a list or asks for more than the limits allow.
bool ParseExchangeSizes(const std::string& text, std::vector<uint32_t>* sizes);

// Reads the command line (without the program name). False with a message
// in error when it asks for something unclear.
bool ParseSimOptions(int argc, char** argv, TSimOptions* options, std::string* error);

// The usage text.
const char* SimUsage();

// The bytes of a text argument: \r, \n, \t, \\ and \xHH stand for the bytes
// they name in C, so that line ends and binary bytes fit on a command line.
std::string UnescapeText(const std::string& text);
