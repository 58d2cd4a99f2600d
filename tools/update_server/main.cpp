#include <cstdio>
#include <fstream>
#include <string>
#include <thread>
#include "server_options.h"
#include "stop_signal.h"
#include "update_server.h"

namespace {

// Written whole under a temporary name first, so that a test that polls for
// the file never reads half a number.
bool WritePortFile(const std::string& fileName, int port) {
  const std::string partial = fileName + ".partial";
  {
    std::ofstream out(partial, std::ios::trunc);
    out << port << "\n";
    if (!out.flush()) return false;
  }
  return std::rename(partial.c_str(), fileName.c_str()) == 0;
}

}  // namespace

int main(int argc, char** argv) {
  TServerOptions options;
  std::string error;
  if (!ParseServerOptions(argc - 1, argv + 1, &options, &error)) {
    std::fprintf(stderr, "update-server: %s\n\n%s", error.c_str(), ServerUsage().c_str());
    return 1;
  }
  if (options.help) {
    std::fputs(ServerUsage().c_str(), stdout);
    return 0;
  }
  TRequestLog log;
  if (!log.Open(options.logFile)) {
    std::fprintf(stderr, "update-server: cannot open %s\n", options.logFile.c_str());
    return 1;
  }
  BlockStopSignals();
  TUpdateServer server(options, log);
  std::string setupError;
  const int port = server.Bind(&setupError);
  if (!setupError.empty()) {
    std::fprintf(stderr, "update-server: %s\n", setupError.c_str());
    return 1;
  }
  if (port <= 0) {
    std::fprintf(stderr, "update-server: cannot bind 127.0.0.1:%u\n", unsigned(options.port));
    return 1;
  }
  if (!options.portFile.empty() && !WritePortFile(options.portFile, port)) {
    std::fprintf(stderr, "update-server: cannot write %s\n", options.portFile.c_str());
    return 1;
  }
  std::printf("%d\n", port);
  std::fflush(stdout);

  std::thread serving([&server] { server.Serve(); });
  WaitForStopSignal();
  server.Stop();
  serving.join();
  return 0;
}
