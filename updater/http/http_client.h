#pragma once
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "files/byte_buffer.h"
#include "http/buffered_connection.h"
#include "http/proxy_setting.h"
#include "http/tls_connection.h"
#include "net/network.h"
#include "system/result.h"
#include "url.h"

class IFileSystem;
class IUpdaterSystem;
class TBodySink;
class TDeadline;
class TIniFile;
class TSystemTracer;

// Result codes of the HTTP client.
enum : int32_t {
  RESULT_HTTP_PENDING = 5,  // internal: a wait still under way
  RESULT_HTTP_NO_ADDRESS = 20010,
  RESULT_HTTP_NO_DEVICE = 20011,
  RESULT_HTTP_CHANNEL_TIMEOUT = 20012,
  RESULT_HTTP_CHANNEL_FAILED = 20025,
  RESULT_HTTP_CONNECT_TIMEOUT = 20027,
  RESULT_HTTP_CLOSED_WHILE_CONNECTING = 20028,
  RESULT_HTTP_NO_TARGET = 27001,
  RESULT_HTTP_NO_CONNECTION = 27002,
  RESULT_HTTP_TRANSFER_FAILED = 27003,
  RESULT_HTTP_FILE_NOT_CREATED = 27005,
  RESULT_HTTP_BAD_LINE = 27006,
  RESULT_HTTP_BAD_STATUS = 27007,
  RESULT_HTTP_BAD_HEADER = 27008,
  // A resumed download whose server refused the range (416) or answered
  // another part than the one asked for: the caller fetches it whole.
  RESULT_HTTP_RANGE_REFUSED = 27060,
  RESULT_HTTP_PROXY_AUTH_REQUIRED = 27050,  // the proxy answered 407
  RESULT_HTTP_TUNNEL_REFUSED = 27051,       // the proxy did not open a tunnel to an https server
  RESULT_HTTP_BAD_PROXY = 27052,            // the configuration's Proxy= is not host:port
};

// How long the client waits for each stage of an exchange, in milliseconds.
// A server that drips its answer is bounded by the last two: the header
// section has a deadline of its own, and so has an answer kept in memory as
// a whole (the exchange's answer, a few kilobytes of commands). A download's
// body has none: it may take hours on a slow link while it progresses, and
// it is bounded by its listed size and the stall time instead.
struct THttpTimeouts {
  uint32_t connect = 15000;
  uint32_t statusLine = 15000;  // the owner's response time-out
  uint32_t headerLine = 15000;  // header lines and chunk-size lines
  uint32_t bodyStall = 90000;   // longest pause inside a body (and a send)
  uint32_t headerSection = 30000;   // all header lines, from the end of the status line
  uint32_t answerInMemory = 600000;  // the rest of an answer kept in memory, likewise
};

// Download progress of a body written to a file of known expected size.
struct TDownloadProgress {
  uint32_t expectedSize = 0;
  uint64_t bytesReceived = 0;
  uint32_t lastPercentage = 0;  // moves in steps of at least 5, and to 100
};

// One HTTP/1.1 request and its response at a time, over a network channel of
// the device layer. Every exchange connects, sends, reads the whole response
// and disconnects; all of it is traced. Each wait for the server blocks on
// the connection until it has something or the nearest time limit is up, so
// that a slow server costs no processor time; a connection that cannot be
// waited on is polled with the system's idle step instead.
class THttpClient {
 public:
  // Channels, clock and idle step come from the system, and the trace goes
  // to the tracer; neither is owned.
  THttpClient(IUpdaterSystem& system, TSystemTracer& tracer);
  // The same on the process's own system and tracer.
  THttpClient();
  virtual ~THttpClient() = default;
  THttpClient(const THttpClient&) = delete;
  THttpClient& operator=(const THttpClient&) = delete;

  // An empty body sends a GET, any other a POST of that JSON body. With an
  // empty download file name the response body lands in response; otherwise
  // it is written to that file of the download file system and response
  // stays empty. A failed status line is handed back in response, as is a
  // malformed header line.
  TResult Exchange(const std::string& body, std::string& response, const std::string& downloadFile);

  // Brings the current network channel up, moving on through the channel
  // table on failure; the interface is owned by the device layer.
  virtual TResult OpenChannel(INetworkInterface** out);

  void SetTarget(const TUrl& target) { target_ = target; }
  const TUrl& GetTarget() const { return target_; }
  // Each exchange goes through the proxy that this configuration (or, when
  // it names none, the machine's setting) gives for its target; without
  // one, straight to the server. Not owned.
  void SetProxyConfig(const TIniFile* config) { proxyConfig_ = config; }
  void SetUserAgent(const std::string& userAgent) { userAgent_ = userAgent; }
  void SetDownloadFileSystem(IFileSystem* files) { downloadFiles_ = files; }
  void SetResponseTimeout(uint32_t milliseconds) { timeouts_.statusLine = milliseconds; }
  void SetTimeouts(const THttpTimeouts& timeouts) { timeouts_ = timeouts; }
  // What an https target's certificate is checked against; the name it must
  // show is always the target's host, whatever serverName says.
  void SetTlsSettings(const TTlsSettings& settings) { tls_ = settings; }
  void SetProgress(const TDownloadProgress& progress) { progress_ = progress; }
  // The next download asks for its file from this byte on (0: the whole
  // file) and appends to the file when the server sends just that part; the
  // progress then counts the bytes already there.
  void SetResumeOffset(uint32_t bytes) { resumeOffset_ = bytes; }
  const TDownloadProgress& GetProgress() const { return progress_; }
  // Index into the channel table of the channel tried first next time.
  uint32_t GetChannelIndex() const { return channel_; }

  // A body kept in memory never grows beyond this; a larger one fails the
  // exchange rather than exhaust the process.
  static constexpr size_t kMaxBodyInMemory = 16u * 1024 * 1024;
  // A header section larger than either (lines, or bytes with their CR LF)
  // fails the exchange: real servers send a few dozen lines at most, and
  // this is all of an answer's head that reaches the trace.
  static constexpr uint32_t kMaxHeaderLines = 100;
  static constexpr size_t kMaxHeaderBytes = 64u * 1024;

  // The request head for the target: a GET without a body, a POST announcing
  // bodyLength bytes.
  std::string FormatRequestHead(bool post, size_t bodyLength) const;

 private:
  void Trace(std::string text);
  TResult BringChannelUp(INetworkInterface** out);
  TResult Connect();
  TResult WaitUntilConnected(IConnection* connection);
  // The tunnel to an https target through the proxy, on a connected
  // `connection`, within the connect's deadline; every failure traced.
  TResult OpenTunnel(IConnection& connection, TDeadline& connecting);
  std::string ProxyName() const;
  // The TLS handshake over a connected `connection`, which it then
  // replaces, within the connect's deadline; every failure traced.
  TResult StartTls(std::unique_ptr<IConnection>& connection, TDeadline& connecting);
  void MoveToNextChannel();
  TResult SendRequest(const std::string& body);
  TResult ReceiveResponse(std::string& response, const std::string& downloadFile);
  struct THead;
  TResult ReadHeaders(TDeadline* deadline, THead& head, std::string& response);
  // Whether a 206's Content-Range continues the file at the resume offset
  // to the end of its expected size.
  bool RangeContinuesFile(const std::string& contentRange) const;
  // A body delimited by the end of the connection, up to the sink's caps.
  TResult ReadBodyToEnd(TBodySink& sink, TDeadline* deadline);
  // Each read also ends when `deadline` (if any) has expired.
  TResult ReadLine(uint32_t milliseconds, std::string& line, TDeadline* deadline = nullptr);
  TResult ReadChunkedBody(TBodySink& sink, TDeadline* deadline);
  TResult ReadBodyBytes(uint64_t length, TBodySink& sink, TDeadline* deadline);
  // One wait of a body read that got nothing; false once the stall time or
  // the deadline has run out.
  bool AwaitBody(std::optional<TDeadline>& stall, TDeadline* deadline);

  IUpdaterSystem& system_;
  TSystemTracer& tracer_;
  std::unique_ptr<TBufferedConnection> connection_;
  IFileSystem* downloadFiles_ = nullptr;  // not owned
  TUrl target_;
  const TIniFile* proxyConfig_ = nullptr;
  std::optional<TProxyServer> proxy_;  // of the exchange under way
  std::string userAgent_;
  THttpTimeouts timeouts_;
  TTlsSettings tls_;
  uint32_t channel_ = 0;
  TDownloadProgress progress_;
  uint32_t resumeOffset_ = 0;
};
