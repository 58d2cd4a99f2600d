#include "update_server.h"
#include <vector>
#include "connection_socket.h"
#include "endless_head.h"
#include "exchange_answer.h"
#include "folder_listing.h"
#include "tls_context.h"

namespace {

const char kJson[] = "application/json";
const char kBinary[] = "application/octet-stream";

}  // namespace

TUpdateServer::TUpdateServer(const TServerOptions& options, TRequestLog& log)
    : options_(options), log_(log), http_(MakeHttpServer(options, &setupError_)) {
  if (!http_) return;
  style_.chunked = options.chunked;
  style_.stall = std::chrono::seconds(options.stallSeconds);
  style_.rate = options.rate;
  http_->set_pre_routing_handler([](const httplib::Request&, httplib::Response&) {
    CurrentSentBody() = TSentBody();
    return httplib::Server::HandlerResponse::Unhandled;
  });
  http_->Get("/tavo2-web/getFile/.*", [this](const httplib::Request& req, httplib::Response& res) {
    AnswerDownload(req, res);
  });
  http_->Post("/tavo2-web/.+", [this](const httplib::Request& req, httplib::Response& res) {
    AnswerExchange(req, res);
  });
  http_->set_logger([this](const httplib::Request& req, const httplib::Response& res) {
    log_.Write(req.method, req.target, res.status, CurrentSentBody());
  });
}

int TUpdateServer::Bind(std::string* error) {
  if (!http_) {
    if (error) *error = setupError_;
    return -1;
  }
  port_ = options_.port == 0 ? http_->bind_to_any_port("127.0.0.1")
                             : (http_->bind_to_port("127.0.0.1", options_.port) ? options_.port : -1);
  return port_;
}

bool TUpdateServer::Serve() { return http_ && http_->listen_after_bind(); }

void TUpdateServer::Stop() {
  gate_.Close();
  if (http_) http_->stop();
}

void TUpdateServer::AnswerExchange(const httplib::Request& req, httplib::Response& res) {
  const std::string number = std::to_string(++exchanges_);
  std::vector<TCheckFilesCommand> commands{
      {"UPDATE-" + number, "UPDATE", ListFolder(options_.releaseFolder, digests_)}};
  if (!options_.ecrFolder.empty()) {
    commands.push_back({"ECR-" + number, "ECR", ListFolder(options_.ecrFolder, digests_)});
  }
  for (TCheckFilesCommand& command : commands) {
    for (TListedFile& file : command.files) {
      // Another valid digest text, so that only the comparison can tell.
      if (options_.faults.Applies(TFaultKind::WrongHash, file.name)) {
        file.sha1.back() = file.sha1.back() == '0' ? '1' : '0';
      }
    }
  }
  std::string answer = BuildExchangeAnswer(!options_.faults.Applies(TFaultKind::ExchangeFail), commands,
                                           DownloadHost(req), SerialFromReport(req.body));
  if (options_.faults.Applies(TFaultKind::ExchangeBadJson)) answer.erase(0, 1);
  Deliver(req, res, answer, kJson, options_.faults.Applies(TFaultKind::ExchangeReset),
          options_.faults.Applies(TFaultKind::ExchangeCut), options_.faults.Applies(TFaultKind::ExchangeStall));
}

std::string TUpdateServer::DownloadHost(const httplib::Request& req) const {
  const std::string own = ":" + std::to_string(port_);
  if (options_.tlsCertificate.empty()) return "127.0.0.1" + own;
  // The name the client asked for, which its certificate check expects.
  std::string host = req.get_header_value("Host");
  host = host.substr(0, host.find(':'));
  return "https://" + (host.empty() ? std::string("127.0.0.1") : host) + own;
}

void TUpdateServer::AnswerDownload(const httplib::Request& req, httplib::Response& res) {
  const std::string name = req.get_param_value("name");
  const bool ecr = req.get_param_value("ECR") == "1";
  const std::string& folder = ecr ? options_.ecrFolder : options_.releaseFolder;
  std::string content;
  if (folder.empty() || options_.faults.Applies(TFaultKind::NotFound, name) ||
      !ReadServedFile(folder, name, &content)) {
    res.status = 404;
    return;
  }
  const bool flood = options_.faults.Applies(TFaultKind::HeaderFlood, name);
  if (flood || options_.faults.Applies(TFaultKind::HeaderDrip, name)) {
    res.status = 200;  // what the head says; the library's own answer goes nowhere
    CurrentSentBody().note = SendEndlessHead(req, flood ? THeadStream::Flood : THeadStream::Drip,
                                             std::chrono::seconds(options_.stallSeconds), gate_);
    return;
  }
  if (options_.faults.Applies(TFaultKind::WrongSize, name)) content += 'X';
  // The library cuts a body to the range asked for by itself, but keeps the
  // status it is given: a part must say 206, a range past the end 416.
  if (req.ranges.size() == 1 && req.ranges[0].first >= 0) {
    if (static_cast<uint64_t>(req.ranges[0].first) >= content.size()) {
      res.status = 416;
      res.set_header("Content-Range", "bytes */" + std::to_string(content.size()));
      return;
    }
  }
  Deliver(req, res, content, kBinary, options_.faults.Applies(TFaultKind::Reset, name),
          options_.faults.Applies(TFaultKind::Cut, name), options_.faults.Applies(TFaultKind::Stall, name));
  // A chunked body is never cut to the range: it goes whole, as a 200.
  if (req.ranges.size() == 1 && req.ranges[0].first >= 0 && res.status == 200 && !style_.chunked) {
    res.status = 206;
    const uint64_t first = static_cast<uint64_t>(req.ranges[0].first);
    // A body handed over whole was counted whole; one sent piece by piece
    // counts its pieces as they go.
    if (CurrentSentBody().bytes == content.size()) CurrentSentBody().bytes = content.size() - first;
    if (CurrentSentBody().note.empty()) CurrentSentBody().note = "from " + std::to_string(first);
  }
}

void TUpdateServer::Deliver(const httplib::Request& req, httplib::Response& res, const std::string& body,
                            const char* contentType, bool reset, bool cut, bool stall) {
  if (reset) {
    res.status = 500;  // never reaches the client; it is what the log shows
    CurrentSentBody().note = ResetConnection(req) ? "reset" : "reset failed";
    return;
  }
  const TBodyFault fault = cut ? TBodyFault::Cut : stall ? TBodyFault::Stall : TBodyFault::None;
  DeliverBody(res, body, contentType, fault, style_, gate_);
}
