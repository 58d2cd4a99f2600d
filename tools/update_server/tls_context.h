#pragma once
#include <memory>
#include <string>
#include <httplib.h>
#include "server_options.h"

// The HTTP server the options ask for: plain, or HTTPS with their
// certificate, key, versions and cipher suites. Null with *error set when
// the TLS part cannot be set up.
std::unique_ptr<httplib::Server> MakeHttpServer(const TServerOptions& options, std::string* error);
