#pragma once
#include <cstdint>
#include <string>
#include "faults.h"

// What one run of the update server is asked to do.
struct TServerOptions {
  std::string releaseFolder;  // files of the update directory
  std::string ecrFolder;      // files of the library's own directory; empty: none
  uint16_t port = 0;          // 0: chosen at run time
  std::string portFile;       // empty: the port goes to standard output only
  std::string logFile;        // empty: request lines go to standard output
  bool chunked = false;       // bodies in chunks instead of with a Content-Length
  uint32_t stallSeconds = 600;
  uint64_t rate = 0;          // bytes per second of every body; 0: unlimited
  TFaultPlan faults;
  // HTTPS when both are set: PEM files of the certificate (chain) and its key.
  std::string tlsCertificate;
  std::string tlsKey;
  std::string tlsMaxVersion;  // "1.0" ... "1.3"; empty: OpenSSL's highest
  std::string tlsCiphers;     // TLS 1.2 suites in OpenSSL's names; TLS 1.3 is then not offered
  bool help = false;
};

// Reads the command line (without the program name). False with a message
// in error when it asks for something unclear.
bool ParseServerOptions(int argc, char** argv, TServerOptions* options, std::string* error);

std::string ServerUsage();
