#pragma once
#include <atomic>
#include <memory>
#include <string>
#include <httplib.h>
#include "body_delivery.h"
#include "digest_cache.h"
#include "request_log.h"
#include "server_options.h"
#include "shutdown_gate.h"

// The update server: the exchange (POST /tavo2-web/<path>) answers one
// CHECK_FILES command per folder, each file hashed again only once its size
// or modification time has changed, and
// downloads (GET /tavo2-web/getFile/<path>) send the files, both with the
// planned faults.
class TUpdateServer {
 public:
  TUpdateServer(const TServerOptions& options, TRequestLog& log);

  // Binds 127.0.0.1; the port bound, or -1 (with *error set when TLS could
  // not be set up).
  int Bind(std::string* error = nullptr);
  // Serves until Stop; false when it could not.
  bool Serve();
  void Stop();

 private:
  void AnswerExchange(const httplib::Request& req, httplib::Response& res);
  void AnswerDownload(const httplib::Request& req, httplib::Response& res);
  // Where the exchange's answer sends the downloads: this server, over
  // https by the name the client used when it speaks TLS.
  std::string DownloadHost(const httplib::Request& req) const;
  // Answers with the body, or with a reset or a faulty body as planned.
  void Deliver(const httplib::Request& req, httplib::Response& res, const std::string& body,
               const char* contentType, bool reset, bool cut, bool stall);

  const TServerOptions& options_;
  TRequestLog& log_;
  TDeliveryStyle style_;
  TShutdownGate gate_;
  TDigestCache digests_;
  std::string setupError_;
  std::unique_ptr<httplib::Server> http_;
  int port_ = 0;
  std::atomic<unsigned> exchanges_{0};
};
