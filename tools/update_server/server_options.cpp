#include "server_options.h"
#include <cstdlib>

namespace {

bool ParseNumber(const std::string& text, uint64_t limit, uint64_t* value) {
  if (text.empty() || text[0] < '0' || text[0] > '9') return false;
  char* end = nullptr;
  const unsigned long long number = std::strtoull(text.c_str(), &end, 10);
  if (*end != '\0' || number > limit) return false;
  *value = number;
  return true;
}

}  // namespace

bool ParseServerOptions(int argc, char** argv, TServerOptions* options, std::string* error) {
  for (int i = 0; i < argc; ++i) {
    const std::string arg = argv[i];
    const bool hasValue = i + 1 < argc;
    uint64_t number = 0;
    if (arg == "--help" || arg == "-h") {
      options->help = true;
      return true;
    } else if (arg == "--chunked") {
      options->chunked = true;
    } else if (arg == "--ecr-folder" && hasValue) {
      options->ecrFolder = argv[++i];
    } else if (arg == "--port" && hasValue) {
      if (!ParseNumber(argv[++i], 0xFFFF, &number)) {
        *error = "--port takes a number from 0 to 65535";
        return false;
      }
      options->port = static_cast<uint16_t>(number);
    } else if (arg == "--port-file" && hasValue) {
      options->portFile = argv[++i];
    } else if (arg == "--log-file" && hasValue) {
      options->logFile = argv[++i];
    } else if (arg == "--stall-seconds" && hasValue) {
      if (!ParseNumber(argv[++i], UINT32_MAX, &number)) {
        *error = "--stall-seconds takes a number of seconds";
        return false;
      }
      options->stallSeconds = static_cast<uint32_t>(number);
    } else if (arg == "--rate" && hasValue) {
      if (!ParseNumber(argv[++i], UINT32_MAX, &number) || number == 0) {
        *error = "--rate takes a number of bytes per second from 1";
        return false;
      }
      options->rate = number;
    } else if (arg == "--tls" && i + 2 < argc) {
      options->tlsCertificate = argv[++i];
      options->tlsKey = argv[++i];
    } else if (arg == "--tls-max-version" && hasValue) {
      options->tlsMaxVersion = argv[++i];
      if (options->tlsMaxVersion != "1.0" && options->tlsMaxVersion != "1.1" && options->tlsMaxVersion != "1.2" &&
          options->tlsMaxVersion != "1.3") {
        *error = "--tls-max-version takes 1.0, 1.1, 1.2 or 1.3";
        return false;
      }
    } else if (arg == "--tls-ciphers" && hasValue) {
      options->tlsCiphers = argv[++i];
    } else if (arg == "--fault" && hasValue) {
      TFault fault;
      if (!ParseFault(argv[++i], &fault)) {
        *error = "unknown fault " + std::string(argv[i]);
        return false;
      }
      options->faults.Add(fault);
    } else if (arg.compare(0, 2, "--") == 0) {
      *error = "unknown or incomplete option " + arg;
      return false;
    } else if (options->releaseFolder.empty()) {
      options->releaseFolder = arg;
    } else {
      *error = "more than one release folder given";
      return false;
    }
  }
  if (options->tlsCertificate.empty() && (!options->tlsMaxVersion.empty() || !options->tlsCiphers.empty())) {
    *error = "--tls-max-version and --tls-ciphers need --tls";
    return false;
  }
  if (options->releaseFolder.empty()) {
    *error = "no release folder given";
    return false;
  }
  return true;
}

std::string ServerUsage() {
  return "usage: update-server [options] <release folder>\n"
         "\n"
         "Serves the release folder to the updater on 127.0.0.1: POST /tavo2-web/<path>\n"
         "answers CHECK_FILES commands, GET /tavo2-web/getFile/<path>?name=<file> sends\n"
         "a file (&ECR=1: from the ECR folder). Prints the port on a line of its own,\n"
         "then one line per request; SIGTERM or SIGINT stops it.\n"
         "\n"
         "  --ecr-folder DIR      also list and serve DIR for the target \"ECR\"\n"
         "  --port N              port to bind (default 0: chosen at run time)\n"
         "  --port-file FILE      also write the port to FILE\n"
         "  --log-file FILE       request lines to FILE instead of standard output\n"
         "  --chunked             send bodies chunked instead of with Content-Length\n"
         "  --rate BYTES_PER_SECOND\n"
         "                        send every body no faster than this, in small\n"
         "                        pieces as over a slow link (default: unlimited)\n"
         "  --stall-seconds N     how long a stall, or a head without end, lasts before\n"
         "                        the connection closes (default 600)\n"
         "  --tls CERT KEY        serve HTTPS with the PEM certificate (chain) CERT and\n"
         "                        its key KEY; the exchange then names https download URLs\n"
         "  --tls-max-version V   offer TLS versions up to V only (1.0, 1.1, 1.2, 1.3);\n"
         "                        below 1.2 at OpenSSL's security level 0\n"
         "  --tls-ciphers LIST    offer only these TLS 1.2 cipher suites (OpenSSL names,\n"
         "                        e.g. ECDHE-RSA-AES128-SHA256) and no TLS 1.3\n"
         "  --fault KIND[:FILE]   misbehave on purpose, for FILE only when given;\n"
         "                        repeatable. Kinds:\n" +
         FaultHelp() + "  --help                this text\n";
}
