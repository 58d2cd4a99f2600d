#include "http/http_client.h"

#include <algorithm>
#include <cctype>
#include <optional>
#include <utility>
#include <vector>

#include "environment.h"
#include "files/file.h"
#include "files/file_system.h"
#include "files/ini_file.h"
#include "http/deadline.h"
#include "http/proxy_tunnel.h"
#include "http/system_tracer.h"
#include "http/tls_connection.h"
#include "updater_context.h"
#include "updater_system.h"

namespace {

// The network channels, tried in turn from the current one.
struct TNetworkChannel {
  uint32_t deviceType;
  uint32_t deviceIndex;
  uint32_t upMilliseconds;  // time allowed to come up
};

constexpr TNetworkChannel kChannels[] = {
    {DEVICE_ETHERNET, 0, 5000},
    {DEVICE_WIFI, 0, 5000},
    {DEVICE_GPRS, 0, 80000},
    {DEVICE_USB_LINK, 0, 3000},
    {DEVICE_COM_LINK, 0, 3000},
};
constexpr uint32_t kChannelCount = sizeof kChannels / sizeof kChannels[0];

// A line may hold 1022 bytes before its CR LF.
constexpr size_t kMaxLineBytes = 1024;
// A body is read this much at a time.
constexpr uint64_t kBodyPieceSize = 65536;

// Sizes announced by the server are believed only up to here; anything
// larger streams until the connection ends or stalls.
constexpr int64_t kSizeCeiling = int64_t{1} << 50;

bool HasStatus(const std::string& status, const char* code) {
  return status.size() > 11 && status.compare(0, 4, "HTTP") == 0 && status.compare(9, 3, code) == 0;
}

bool IsSuccessStatus(const std::string& status) { return HasStatus(status, "200"); }

// "bytes FIRST-LAST/TOTAL" as decimal numbers, nothing else.
bool ParseContentRange(const std::string& value, uint64_t* first, uint64_t* last, uint64_t* total) {
  const char* prefix = "bytes ";
  if (value.compare(0, 6, prefix) != 0) return false;
  uint64_t* parts[] = {first, last, total};
  const char separators[] = {'-', '/', '\0'};
  size_t i = 6;
  for (int part = 0; part < 3; ++part) {
    const size_t begin = i;
    uint64_t number = 0;
    while (i < value.size() && value[i] >= '0' && value[i] <= '9' && i - begin < 15) {
      number = number * 10 + static_cast<uint64_t>(value[i++] - '0');
    }
    if (i == begin) return false;
    *parts[part] = number;
    if (separators[part] != '\0') {
      if (i == value.size() || value[i] != separators[part]) return false;
      ++i;
    }
  }
  return i == value.size();
}

bool EqualsIgnoringCase(const std::string& a, const char* b) {
  size_t i = 0;
  for (; i < a.size() && b[i] != '\0'; ++i) {
    if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i]))) return false;
  }
  return i == a.size() && b[i] == '\0';
}

// Whether a comma-separated header value ("keep-alive, close") holds token.
bool ListsToken(const std::string& value, const char* token) {
  size_t begin = 0;
  while (begin <= value.size()) {
    size_t end = value.find(',', begin);
    if (end == std::string::npos) end = value.size();
    const size_t first = value.find_first_not_of(" \t", begin);
    const size_t last = value.find_last_not_of(" \t", end == 0 ? 0 : end - 1);
    if (first < end && last != std::string::npos && last >= first &&
        EqualsIgnoringCase(value.substr(first, last - first + 1), token)) {
      return true;
    }
    begin = end + 1;
  }
  return false;
}

// Digit by digit, each character counting as its distance from '0' (as the
// servers we talk to have always been read); a negative total is 0.
uint64_t ParseContentLength(const std::string& value) {
  int64_t total = 0;
  for (char c : value) {
    total = std::clamp<int64_t>(total * 10 + (c - '0'), -kSizeCeiling, kSizeCeiling);
  }
  return total < 0 ? 0 : static_cast<uint64_t>(total);
}

int HexDigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool IsWhiteSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

// A hexadecimal number as "%lx" reads one: leading white space, an optional
// '+', an optional "0x" or "0X", then the digits; whatever follows them
// (chunk extensions) is ignored. "0x" before no digit is the number 0 with
// "x..." after it. A '-' or no digit at all is a broken body.
bool ParseChunkSize(const std::string& line, uint64_t* size) {
  size_t i = 0;
  while (i < line.size() && IsWhiteSpace(line[i])) ++i;
  if (i < line.size() && line[i] == '+') ++i;
  if (i + 2 < line.size() && line[i] == '0' && (line[i + 1] == 'x' || line[i + 1] == 'X') &&
      HexDigitValue(line[i + 2]) >= 0) {
    i += 2;
  }
  if (i == line.size() || HexDigitValue(line[i]) < 0) return false;
  int64_t total = 0;
  for (; i < line.size() && HexDigitValue(line[i]) >= 0; ++i) {
    total = std::min(total * 16 + HexDigitValue(line[i]), kSizeCeiling);
  }
  *size = static_cast<uint64_t>(total);
  return true;
}

}  // namespace

// What the header lines say about the body that follows them.
struct THttpClient::THead {
  bool chunked = false;
  bool hasLength = false;
  uint64_t contentLength = 0;
  bool closes = false;  // "Connection: close"
  std::string contentRange;
};

// Where the body goes: the response text (traced as it comes) or a file of
// the download file system (counted for the progress). Small pieces, such as
// the chunks of a chunked body, are gathered into large writes.
class TBodySink {
 public:
  static constexpr size_t kWriteSize = 65536;
  // Pieces at least this large are written as they come.
  static constexpr size_t kDirectWriteSize = 16384;

  TBodySink(std::string& response, TSystemTracer& tracer) : response_(&response), tracer_(&tracer) {}
  TBodySink(std::unique_ptr<IFileWritable> file, TDownloadProgress& progress)
      : file_(std::move(file)), progress_(&progress) {}

  TResult Take(const uint8_t* data, uint32_t length) {
    if (file_) {
      // More than the promised size can never be put in place; stopping
      // here keeps an endless or lying server from filling the disk.
      if (progress_->expectedSize != 0 && progress_->bytesReceived + length > progress_->expectedSize) {
        return TResult(RESULT_HTTP_TRANSFER_FAILED);
      }
      CountDownloaded(length);
      if (length >= kDirectWriteSize) {
        return Flush() && Write(data, length) ? TResult() : TResult(RESULT_HTTP_TRANSFER_FAILED);
      }
      if (gathered_.size() + length > kWriteSize && !Flush()) return TResult(RESULT_HTTP_TRANSFER_FAILED);
      gathered_.insert(gathered_.end(), data, data + length);
      return TResult();
    }
    if (response_->size() + length > THttpClient::kMaxBodyInMemory) return TResult(RESULT_HTTP_TRANSFER_FAILED);
    const std::string piece(reinterpret_cast<const char*>(data), length);
    *response_ += piece;
    tracer_->Write(piece);
    return TResult();
  }

  // Writes what is still gathered; false when the file does not take it.
  bool Flush() {
    const bool written = gathered_.empty() || Write(gathered_.data(), gathered_.size());
    gathered_.clear();
    return written;
  }

 private:
  bool Write(const uint8_t* data, size_t length) {
    return file_->Write(data, static_cast<uint32_t>(length)) == static_cast<int32_t>(length);
  }

  void CountDownloaded(uint32_t length) {
    if (progress_->expectedSize == 0) return;
    progress_->bytesReceived += length;
    const uint64_t percentage = std::min<uint64_t>(100, progress_->bytesReceived * 100 / progress_->expectedSize);
    if (percentage >= progress_->lastPercentage + 5u || (percentage == 100 && progress_->lastPercentage != 100)) {
      progress_->lastPercentage = static_cast<uint32_t>(percentage);
    }
  }

  std::string* response_ = nullptr;
  TSystemTracer* tracer_ = nullptr;
  std::unique_ptr<IFileWritable> file_;
  TDownloadProgress* progress_ = nullptr;
  std::vector<uint8_t> gathered_;
};

THttpClient::THttpClient(IUpdaterSystem& system, TSystemTracer& tracer) : system_(system), tracer_(tracer) {}

THttpClient::THttpClient() : THttpClient(*ProcessUpdaterContext().system, *ProcessUpdaterContext().tracer) {}

void THttpClient::Trace(std::string text) { tracer_.Write(std::move(text)); }

TResult THttpClient::Exchange(const std::string& body, std::string& response, const std::string& downloadFile) {
  response.clear();
  TResult result = Connect();
  if (!result.Succeeded()) return result;
  result = SendRequest(body);
  if (result.Succeeded()) result = ReceiveResponse(response, downloadFile);
  resumeOffset_ = 0;
  // Every exchange closes its connection, whatever the server offered.
  connection_.reset();
  Trace("\n\nDisconnected.\n\n\n\n");
  return result;
}

TResult THttpClient::OpenChannel(INetworkInterface** out) {
  *out = nullptr;
  TResult result(RESULT_HTTP_NO_DEVICE);
  for (uint32_t attempt = 0; attempt < kChannelCount; ++attempt) {
    result = BringChannelUp(out);
    if (result.Succeeded()) break;
    MoveToNextChannel();
  }
  return result;
}

TResult THttpClient::BringChannelUp(INetworkInterface** out) {
  const TNetworkChannel& channel = kChannels[channel_];
  IDevice* device = system_.GetDevice(channel.deviceType, channel.deviceIndex);
  INetworkInterface* network = dynamic_cast<INetworkInterface*>(device);
  if (network == nullptr) return TResult(RESULT_HTTP_NO_DEVICE);

  network->Open();
  // An interface coming up offers nothing to wait on: it is polled.
  TDeadline comingUp(system_, channel.upMilliseconds);
  int32_t state = network->GetState();
  while (state != NETWORK_READY && state != NETWORK_FAILED && !comingUp.IsExpired()) {
    system_.Idle();
    state = network->GetState();
  }
  if (state == NETWORK_READY) {
    *out = network;
    return TResult();
  }
  TResult result = state == NETWORK_FAILED ? TResult(RESULT_HTTP_CHANNEL_FAILED).Append(network->GetLastResult())
                                           : TResult(RESULT_HTTP_CHANNEL_TIMEOUT);
  network->Close();
  return result;
}

void THttpClient::MoveToNextChannel() { channel_ = (channel_ + 1) % kChannelCount; }

TResult THttpClient::Connect() {
  if (target_.host.empty() || target_.port == 0) return TResult(RESULT_HTTP_NO_TARGET);
  if (connection_) return TResult();
  proxy_.reset();
  if (proxyConfig_ != nullptr && !ProxyFor(*proxyConfig_, target_, &proxy_)) {
    Trace("Proxy=" + TrimTrailingBlanks(proxyConfig_->GetValue("Proxy", "")) + " is not host:port\n\n");
    return TResult(RESULT_HTTP_BAD_PROXY);
  }

  INetworkInterface* network = nullptr;
  TResult result = OpenChannel(&network);
  if (!result.Succeeded()) return result;

  // Where the connection goes: the proxy when there is one.
  TUrl peer = target_;
  if (proxy_) peer.Parse(ProxyName(), 0);
  TNetAddress address;
  address.address = peer.address;
  address.port = peer.port;
  address.secure = target_.scheme == "https" ? 1 : 0;
  if (address.address == 0) {
    result = network->ResolveHost(peer.host.c_str(), &address.address);
    if (address.address == 0) {
      if (result.Succeeded()) result = TResult(RESULT_HTTP_NO_ADDRESS);
      Trace("Host name " + peer.host + " did not resolve, result=" + std::to_string(result.GetCode()) + "\n\n");
      return result;
    }
  }

  TDeadline connecting(system_, timeouts_.connect);
  IConnection* made = nullptr;
  network->Connect(address, &made);
  if (made == nullptr) {
    network->Close();
    MoveToNextChannel();
    return TResult(RESULT_HTTP_NO_CONNECTION);
  }
  std::unique_ptr<IConnection> connection(made);
  int32_t state = connection->GetState();
  while (state == CONNECTION_CONNECTING && !connecting.IsExpired()) {
    AwaitConnection(system_, *connection, TConnectionWait::Send, TimeToWait(connecting, nullptr));
    state = connection->GetState();
  }
  if (state == CONNECTION_CONNECTED) {
    result = TResult();
  } else if (state == CONNECTION_CLOSED) {
    result = connection->GetLastResult();
    if (result.Succeeded()) result = TResult(RESULT_HTTP_CLOSED_WHILE_CONNECTING);
  } else {
    result = TResult(RESULT_HTTP_CONNECT_TIMEOUT);
  }

  const bool channelFailed = !result.Succeeded();
  if (result.Succeeded() && proxy_ && target_.scheme == "https") result = OpenTunnel(*connection, connecting);
  if (result.Succeeded() && target_.scheme == "https") result = StartTls(connection, connecting);
  if (result.Succeeded()) {
    connection_ = std::make_unique<TBufferedConnection>(connection.release(), timeouts_.bodyStall, system_);
  } else {
    connection.reset();
    network->Close();
    // A proxy that refuses, or a server whose TLS fails, is no reason to
    // leave a working channel.
    if (channelFailed) MoveToNextChannel();
  }
  const std::string via = proxy_ ? " via proxy " + ProxyName() : "";
  Trace("Connecting to " + target_.Render() + via + ", result=" + std::to_string(result.GetCode()) + "\n\n");
  return result;
}

std::string THttpClient::ProxyName() const { return proxy_->host + ":" + std::to_string(proxy_->port); }

TResult THttpClient::OpenTunnel(IConnection& connection, TDeadline& connecting) {
  std::string status;
  const TResult result = OpenProxyTunnel(system_, connection, target_.host + ":" + std::to_string(target_.port),
                                         connecting, &status);
  if (result.GetCode() == RESULT_HTTP_PROXY_AUTH_REQUIRED) {
    Trace("Proxy " + ProxyName() + " asks for authentication: " + status + "\n\n");
  } else if (result.GetCode() == RESULT_HTTP_CONNECT_TIMEOUT) {
    Trace("Proxy " + ProxyName() + " did not answer the tunnel request in time\n\n");
  } else if (!result.Succeeded()) {
    Trace("Proxy " + ProxyName() + " refused the tunnel: " + (status.empty() ? "no answer" : status) + "\n\n");
  }
  return result;
}

TResult THttpClient::StartTls(std::unique_ptr<IConnection>& connection, TDeadline& connecting) {
  TTlsSettings settings = tls_;
  // The origin's name, also inside a proxy's tunnel.
  settings.serverName = target_.host;
  TResult result;
  std::string reason;
  std::unique_ptr<TTlsConnection> tls = NewTlsConnection(std::move(connection), settings, &result, &reason);
  if (!tls) {
    Trace("TLS: " + reason + "\n\n");
    return result.Succeeded() ? TResult(RESULT_TLS_UNAVAILABLE) : result;
  }
  result = tls->Handshake();
  while (result.GetCode() == RESULT_HTTP_PENDING && !connecting.IsExpired()) {
    tls->WaitUntilReady(TConnectionWait::Receive, TimeToWait(connecting, nullptr));
    result = tls->Handshake();
  }
  if (result.GetCode() == RESULT_HTTP_PENDING) {
    Trace("TLS: the handshake did not finish in time\n\n");
    return TResult(RESULT_HTTP_CONNECT_TIMEOUT);
  }
  if (!result.Succeeded()) {
    Trace("TLS: " + tls->GetFailureReason() + "\n\n");
    return result;
  }
  connection = std::move(tls);
  return result;
}

std::string THttpClient::FormatRequestHead(bool post, size_t bodyLength) const {
  // Built to its full length: long paths (file names from the server) must
  // not be cut off.
  std::string head = post ? "POST " : "GET ";
  // A proxy forwards a plain request by its absolute form.
  if (proxy_ && target_.scheme != "https") head += "http://" + target_.host + ":" + std::to_string(target_.port);
  head += "/" + target_.path + " HTTP/1.1\r\nHost: " + target_.host + "\r\nConnection: keep-alive\r\nUser-Agent: " + userAgent_;
  if (post) {
    head += "\r\nAccept: application/json, application/*+json\r\nContent-type: application/json;charset=UTF-8";
    head += "\r\nContent-Length: " + std::to_string(bodyLength) + "\r\n\r\n";
  } else {
    head += "\r\nAccept: application/octet-stream\r\nContent-Type: application/octet-stream\r\n";
    if (resumeOffset_ > 0) head += "Range: bytes=" + std::to_string(resumeOffset_) + "-\r\n";
    head += "\r\n";
  }
  return head;
}

TResult THttpClient::SendRequest(const std::string& body) {
  const std::string request = FormatRequestHead(!body.empty(), body.size()) + body;
  const int32_t sent = connection_->Send(request.data(), static_cast<uint32_t>(request.size()));
  if (sent < 0 || static_cast<size_t>(sent) != request.size()) return TResult(RESULT_HTTP_TRANSFER_FAILED);
  Trace("Sent:\n-----\n" + request + "\n\n");
  return TResult();
}

TResult THttpClient::ReceiveResponse(std::string& response, const std::string& downloadFile) {
  Trace("Received:\n---------\n");
  std::string status;
  TResult result = ReadLine(timeouts_.statusLine, status);
  if (!result.Succeeded()) return result;
  Trace(status + "\n");
  const bool partial = resumeOffset_ > 0 && !downloadFile.empty() && HasStatus(status, "206");
  if (resumeOffset_ > 0 && HasStatus(status, "416")) return TResult(RESULT_HTTP_RANGE_REFUSED);
  if (!IsSuccessStatus(status) && !partial) {
    response = status;
    if (proxy_ && ProxyAnswerResult(status).GetCode() == RESULT_HTTP_PROXY_AUTH_REQUIRED) {
      Trace("Proxy " + ProxyName() + " asks for authentication: " + status + "\n\n");
      return TResult(RESULT_HTTP_PROXY_AUTH_REQUIRED);
    }
    return TResult(RESULT_HTTP_BAD_STATUS);
  }

  const bool inMemory = downloadFile.empty();
  TDeadline headDeadline(system_, timeouts_.headerSection);
  std::unique_ptr<TDeadline> answerDeadline =
      inMemory ? std::make_unique<TDeadline>(system_, timeouts_.answerInMemory) : nullptr;
  THead head;
  result = ReadHeaders(&headDeadline, head, response);
  if (!result.Succeeded()) return result;
  if (partial && !RangeContinuesFile(head.contentRange)) return TResult(RESULT_HTTP_RANGE_REFUSED);
  // Without a length or chunks, an HTTP/1.0 answer or one that says it
  // closes the connection ends its body by closing it; any other such
  // answer has no body, as it always had here.
  const bool toEnd = !head.chunked && !head.hasLength && (status.compare(0, 8, "HTTP/1.0") == 0 || head.closes);

  if (inMemory) {
    TBodySink sink(response, tracer_);
    if (toEnd) return ReadBodyToEnd(sink, answerDeadline.get());
    return head.chunked ? ReadChunkedBody(sink, answerDeadline.get())
                        : ReadBodyBytes(head.contentLength, sink, answerDeadline.get());
  }
  // Created (or emptied) even for an empty body, so that no older file of
  // that name is taken for this download; only the rest of a file asked
  // for by its range is added to what is there.
  const uint32_t mode = partial ? OPEN_CREATE_APPEND | OPEN_READ_WRITE : OPEN_CREATE_TRUNCATE | OPEN_READ_WRITE;
  IFileWritable* file = downloadFiles_ ? downloadFiles_->OpenWrite(downloadFile.c_str(), mode) : nullptr;
  if (file == nullptr) return TResult(RESULT_HTTP_FILE_NOT_CREATED);
  if (partial && file->GetSize() != resumeOffset_) {
    delete file;
    return TResult(RESULT_HTTP_RANGE_REFUSED);
  }
  progress_.bytesReceived = partial ? resumeOffset_ : 0;
  TBodySink sink(std::unique_ptr<IFileWritable>(file), progress_);
  if (toEnd) {
    result = ReadBodyToEnd(sink, nullptr);
  } else {
    result = head.chunked ? ReadChunkedBody(sink, nullptr) : ReadBodyBytes(head.contentLength, sink, nullptr);
  }
  if (result.Succeeded() && !sink.Flush()) result = TResult(RESULT_HTTP_TRANSFER_FAILED);
  return result;
}

bool THttpClient::RangeContinuesFile(const std::string& contentRange) const {
  uint64_t first = 0, last = 0, total = 0;
  return ParseContentRange(contentRange, &first, &last, &total) && first == resumeOffset_ &&
         total == progress_.expectedSize && last + 1 == total;
}

TResult THttpClient::ReadHeaders(TDeadline* deadline, THead& head, std::string& response) {
  uint32_t lines = 0;
  size_t bytes = 0;
  for (;;) {
    std::string line;
    const TResult result = ReadLine(timeouts_.headerLine, line, deadline);
    if (!result.Succeeded()) return result;
    if (line.empty()) return TResult();
    bytes += line.size() + 2;
    if (++lines > kMaxHeaderLines || bytes > kMaxHeaderBytes) return TResult(RESULT_HTTP_BAD_LINE);
    const size_t separator = line.find(": ");
    if (separator == std::string::npos) {
      response = line;
      return TResult(RESULT_HTTP_BAD_HEADER);
    }
    Trace(line + "\n");
    const std::string name = line.substr(0, separator);
    const std::string value = line.substr(separator + 2);
    if (value == "chunked") head.chunked = true;
    if (EqualsIgnoringCase(name, "Content-Length")) {
      head.hasLength = true;
      head.contentLength = ParseContentLength(value);
    }
    if (EqualsIgnoringCase(name, "Content-Range")) head.contentRange = value;
    if (EqualsIgnoringCase(name, "Connection") && ListsToken(value, "close")) head.closes = true;
  }
}

TResult THttpClient::ReadChunkedBody(TBodySink& sink, TDeadline* deadline) {
  std::string line;
  TResult result = ReadLine(timeouts_.headerLine, line, deadline);
  for (;;) {
    if (!result.Succeeded()) return result;
    uint64_t size = 0;
    if (!ParseChunkSize(line, &size)) return TResult(RESULT_HTTP_TRANSFER_FAILED);
    // The last chunk ends the body; a trailer is not read.
    if (size == 0) return TResult();
    result = ReadBodyBytes(size, sink, deadline);
    if (!result.Succeeded()) return result;
    // The empty line that closes the chunk's data, then the next size line.
    result = ReadLine(timeouts_.headerLine, line, deadline);
    if (result.Succeeded()) result = ReadLine(timeouts_.headerLine, line, deadline);
  }
}

bool THttpClient::AwaitBody(std::optional<TDeadline>& stall, TDeadline* deadline) {
  if (connection_->HasBuffered()) return true;
  if (!stall) stall.emplace(system_, timeouts_.bodyStall);
  if (stall->IsExpired() || (deadline && deadline->IsExpired())) return false;
  connection_->WaitUntilReady(TConnectionWait::Receive, TimeToWait(*stall, deadline));
  return true;
}

TResult THttpClient::ReadBodyBytes(uint64_t length, TBodySink& sink, TDeadline* deadline) {
  // Made when the connection first has nothing and dropped when data comes,
  // as is the line time below once the line is read: a body or a head that
  // keeps coming reads no clock (which yields the processor).
  std::optional<TDeadline> stall;
  // Large pieces: each one costs a socket call and a file write.
  std::vector<uint8_t> piece(static_cast<size_t>(std::min<uint64_t>(length, kBodyPieceSize)));
  while (length > 0) {
    const uint32_t wanted = static_cast<uint32_t>(std::min<uint64_t>(length, piece.size()));
    const int32_t count = connection_->Receive(piece.data(), wanted);
    if (count < 0) return TResult(RESULT_HTTP_TRANSFER_FAILED);
    if (count == 0) {
      if (!AwaitBody(stall, deadline)) return TResult(RESULT_HTTP_TRANSFER_FAILED);
      continue;
    }
    stall.reset();
    length -= static_cast<uint32_t>(count);
    const TResult taken = sink.Take(piece.data(), static_cast<uint32_t>(count));
    if (!taken.Succeeded()) return taken;
  }
  return TResult();
}

TResult THttpClient::ReadBodyToEnd(TBodySink& sink, TDeadline* deadline) {
  std::optional<TDeadline> stall;
  std::vector<uint8_t> piece(static_cast<size_t>(kBodyPieceSize));
  for (;;) {
    const int32_t count = connection_->Receive(piece.data(), static_cast<uint32_t>(piece.size()));
    if (count < 0) {
      // Only the peer's orderly close ends the body; a reset or a TLS
      // stream cut off without its close_notify may have lost its tail.
      const bool closed = connection_->GetLastResult().GetCode() == RESULT_SOCKET_CLOSED_BY_PEER;
      return closed ? TResult() : TResult(RESULT_HTTP_TRANSFER_FAILED);
    }
    if (count == 0) {
      if (!AwaitBody(stall, deadline)) return TResult(RESULT_HTTP_TRANSFER_FAILED);
      continue;
    }
    stall.reset();
    const TResult taken = sink.Take(piece.data(), static_cast<uint32_t>(count));
    if (!taken.Succeeded()) return taken;
  }
}

TResult THttpClient::ReadLine(uint32_t milliseconds, std::string& line, TDeadline* deadline) {
  std::optional<TDeadline> timer;
  std::string stored;
  while (stored.size() < kMaxLineBytes) {
    char byte = 0;
    const int32_t count = connection_->Receive(&byte, 1);
    if (count < 0) break;
    if (count == 0) {
      if (connection_->HasBuffered()) continue;
      if (!timer) timer.emplace(system_, milliseconds);
      if (timer->IsExpired() || (deadline && deadline->IsExpired())) break;
      connection_->WaitUntilReady(TConnectionWait::Receive, TimeToWait(*timer, deadline));
      continue;
    }
    stored += byte;
    if (stored.size() >= 2 && stored.compare(stored.size() - 2, 2, "\r\n") == 0) {
      line = stored.substr(0, stored.size() - 2);
      return TResult();
    }
  }
  return TResult(RESULT_HTTP_BAD_LINE);
}
