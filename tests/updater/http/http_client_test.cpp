#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "../../platform/files_testutil.h"
#include "files/ini_file.h"
#include "http/deadline.h"
#include "http/http_client.h"
#include "http/proxy_tunnel.h"
#include "http_peer.h"
#include "scripted_connection.h"
#include "trace_capture.h"
#include "updater_context.h"

namespace {

const std::string kOkHead = "HTTP/1.1 200 OK\r\n";

// Short enough that a peer that never answers costs a fraction of a second.
THttpTimeouts ShortTimeouts() {
  THttpTimeouts timeouts;
  timeouts.statusLine = 300;
  timeouts.headerLine = 300;
  timeouts.bodyStall = 300;
  timeouts.headerSection = 600;
  timeouts.answerInMemory = 1000;
  return timeouts;
}

std::string Repeated(const std::string& piece, size_t times) {
  std::string all;
  for (size_t i = 0; i < times; ++i) all += piece;
  return all;
}

class HttpClient : public ::testing::Test {
 protected:
  void Aim(uint16_t port, const std::string& path = "tavo2-web/block1") {
    TUrl target;
    target.Parse("127.0.0.1:" + std::to_string(port) + "/" + path, 0);
    client.SetTarget(target);
  }
  TResult Get(THttpPeer& peer, const std::string& file = "") {
    Aim(peer.Port());
    return client.Exchange("", response, file);
  }

  THttpClient client;
  std::string response = "left over";

  HttpClient() { client.SetUserAgent("TERMINAL"); }
};

TEST_F(HttpClient, GetSendsItsTemplateAndTracesTheWholeExchange) {
  const std::string body("he\0lo", 5);
  THttpPeer peer({kOkHead + "Content-Length: 5\r\n\r\n", body});
  TTraceCapture trace;
  ASSERT_EQ(Get(peer).GetCode(), 0);
  EXPECT_EQ(response, body);

  const std::string request =
      "GET /tavo2-web/block1 HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: keep-alive\r\nUser-Agent: TERMINAL\r\n"
      "Accept: application/octet-stream\r\nContent-Type: application/octet-stream\r\n\r\n";
  EXPECT_EQ(peer.Request(), request);
  EXPECT_EQ(trace.Appended(), "Connecting to 127.0.0.1:" + std::to_string(peer.Port()) +
                                  "/tavo2-web/block1, result=0\n\nSent:\n-----\n" + request +
                                  "\n\nReceived:\n---------\nHTTP/1.1 200 OK\nContent-Length: 5\n" + body +
                                  "\n\nDisconnected.\n\n\n\n");
}

TEST_F(HttpClient, PostCarriesItsJsonBodyAndReadsAChunkedAnswer) {
  THttpPeer peer({kOkHead + "Transfer-Encoding: chunked\r\n\r\n5\r\nhel", "lo\r\n0\r\n\r\n"});
  // Well past the 1024 bytes a request head was once cut to.
  const std::string path = "tavo2-web/" + std::string(1500, 'p');
  Aim(peer.Port(), path);
  ASSERT_EQ(client.Exchange("{\"a\":1}", response, "").GetCode(), 0);
  EXPECT_EQ(response, "hello");
  EXPECT_EQ(peer.Request(),
            "POST /" + path + " HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: keep-alive\r\nUser-Agent: TERMINAL\r\n"
            "Accept: application/json, application/*+json\r\nContent-type: application/json;charset=UTF-8\r\n"
            "Content-Length: 7\r\n\r\n{\"a\":1}");
}

struct TResponseCase {
  const char* what;
  std::vector<std::string> pieces;
  TPeerEnd end;
  int32_t code;
  std::string response;
};

TEST_F(HttpClient, AnswersEachBrokenOrHostileResponseWithItsCode) {
  const std::vector<TResponseCase> cases = {
      {"empty body", {kOkHead + "Content-Length: 0\r\n\r\n"}, TPeerEnd::Hold, 0, ""},
      {"not found", {"HTTP/1.1 404 Not Found\r\n\r\n"}, TPeerEnd::Close, 27007, "HTTP/1.1 404 Not Found"},
      {"short status", {"HTTP/1.1 20\r\n\r\n"}, TPeerEnd::Close, 27007, "HTTP/1.1 20"},
      {"header without separator", {kOkHead + "Broken:header\r\n\r\n"}, TPeerEnd::Close, 27008, "Broken:header"},
      {"overlong header line", {kOkHead + "X: " + std::string(2000, 'h') + "\r\n\r\n"}, TPeerEnd::Close, 27006, ""},
      {"silence", {}, TPeerEnd::Hold, 27006, ""},
      {"stalled body", {kOkHead + "Content-Length: 10\r\n\r\nabc"}, TPeerEnd::Hold, 27003, "abc"},
      {"cut body", {kOkHead + "Content-Length: 10\r\n\r\nabc"}, TPeerEnd::Close, 27003, "abc"},
      {"endless length", {kOkHead + "Content-Length: 99999999999999999999999999\r\n\r\nabc"}, TPeerEnd::Close,
       27003, "abc"},
      {"chunk size not hex", {kOkHead + "Transfer-Encoding: chunked\r\n\r\nzz\r\nabc"}, TPeerEnd::Close, 27003, ""},
      {"negative chunk size", {kOkHead + "Transfer-Encoding: chunked\r\n\r\n-5\r\nabc"}, TPeerEnd::Close, 27003,
       ""},
      {"chunks without end", {kOkHead + "Transfer-Encoding: chunked\r\n\r\n3\r\nabc\r\n"}, TPeerEnd::Hold, 27006,
       "abc"},
      {"chunk sizes with a sign or a 0x", {kOkHead + "Transfer-Encoding: chunked\r\n\r\n0x3\r\nabc\r\n+2\r\nde\r\n"
                                           " +0X1;ext\r\nf\r\n0x\r\n\r\n"},
       TPeerEnd::Hold, 0, "abcdef"},
      {"HTTP/1.0 body ended by the close", {"HTTP/1.0 200 OK\r\n\r\n{\"a\":", "1}"}, TPeerEnd::Close, 0, "{\"a\":1}"},
      {"Connection: close ends the body", {kOkHead + "Connection: Close\r\n\r\nabc"}, TPeerEnd::Close, 0, "abc"},
      {"a closing body that stalls", {"HTTP/1.0 200 OK\r\n\r\nabc"}, TPeerEnd::Hold, 27003, "abc"},
      {"HTTP/1.1 without a length has no body", {kOkHead + "\r\nabc"}, TPeerEnd::Close, 0, ""},
      {"HTTP/1.0 with its length", {"HTTP/1.0 200 OK\r\nContent-Length: 2\r\n\r\nabc"}, TPeerEnd::Close, 0, "ab"},
  };
  client.SetTimeouts(ShortTimeouts());
  for (const TResponseCase& one : cases) {
    THttpPeer peer(one.pieces, one.end);
    EXPECT_EQ(Get(peer).GetCode(), one.code) << one.what;
    EXPECT_EQ(response, one.response) << one.what;
  }
}

// A server that floods or drips its answer holds the client only so long,
// and only so much of it reaches the trace; a download that keeps coming
// slowly is not cut.
TEST_F(HttpClient, FloodsAndDripsAreCutShortButASlowDownloadIsNot) {
  THttpTimeouts timeouts = ShortTimeouts();
  timeouts.headerLine = 2000;
  timeouts.bodyStall = 2000;
  client.SetTimeouts(timeouts);
  const std::string longLine = "X-Flood: " + std::string(1000, 'f') + "\r\n";
  for (const std::string& flood : {Repeated("X-Flood: 1\r\n", THttpClient::kMaxHeaderLines + 1),
                                   Repeated(longLine, THttpClient::kMaxHeaderBytes / longLine.size() + 1)}) {
    THttpPeer peer({kOkHead + flood + "Content-Length: 0\r\n\r\n"});
    TTraceCapture trace;
    EXPECT_EQ(Get(peer).GetCode(), 27006) << flood.size();
    EXPECT_LE(trace.Appended().size(), THttpClient::kMaxHeaderBytes + 4096);
  }

  // Pieces come 30 ms apart: a line or a body byte at a time, far longer
  // than the deadlines, never as long as a line or stall time.
  std::vector<std::string> headerDrip{kOkHead};
  headerDrip.insert(headerDrip.end(), 60, "X-Drip: 1\r\n");
  headerDrip.push_back("Content-Length: 0\r\n\r\n");
  THttpPeer slowHead(headerDrip);
  EXPECT_EQ(Get(slowHead).GetCode(), 27006);

  std::vector<std::string> bodyDrip{kOkHead + "Content-Length: 60\r\n\r\n"};
  bodyDrip.insert(bodyDrip.end(), 60, "b");
  THttpPeer slowAnswer(bodyDrip);
  EXPECT_EQ(Get(slowAnswer).GetCode(), 27003);
  EXPECT_LT(response.size(), 60u);

  TFilesTempDir folder;
  client.SetDownloadFileSystem(&folder.Files());
  client.SetProgress(TDownloadProgress{60, 0, 0});
  THttpPeer slowDownload(bodyDrip);
  EXPECT_EQ(Get(slowDownload, "TMP.TMP").GetCode(), 0);
  EXPECT_EQ(folder.Read("TMP.TMP"), std::string(60, 'b'));
}

// Every wait blocks on the connection, for what the client needs next and
// no longer than its time limit allows, instead of asking the connection
// again and again (which keeps a processor busy for as long as a slow server
// takes). The download's SHA-1 is taken as the body is written.
TEST(HttpClientWaits, BlockOnTheConnectionInsteadOfAskingItAgainAndAgain) {
  struct {
    const char* what;
    std::vector<std::string> pieces;
    const char* file;
    int32_t code;
    std::string response;
  } cases[] = {
      {"length", {kOkHead, "Content-Length: 6\r\n\r\n", "abc", "def"}, "", 0, "abcdef"},
      {"chunks", {kOkHead + "Transfer-Encoding: chunked\r\n\r\n3\r\nab", "c\r\n0\r\n\r\n"}, "", 0, "abc"},
      {"download", {kOkHead + "Content-Length: 6\r\n\r\n", "abc", "def"}, "TMP.TMP", 0, ""},
      {"chunked download", {kOkHead + "Transfer-Encoding: chunked\r\n\r\n3\r\nabc\r\n", "3\r\ndef\r\n0\r\n\r\n"},
       "TMP.TMP", 0, ""},
      {"stalled body", {kOkHead + "Content-Length: 10\r\n\r\n", "abc"}, "", 27003, "abc"},
      {"silence", {}, "", 27006, ""},
  };
  THttpTimeouts timeouts = ShortTimeouts();
  timeouts.connect = 300;
  TFilesTempDir folder;
  for (const auto& one : cases) {
    TConnectionLog log;
    TScriptedClient client(one.pieces, log);
    client.SetTimeouts(timeouts);
    client.SetDownloadFileSystem(&folder.Files());
    TUrl target;
    target.Parse("127.0.0.1:8080/tavo2-web/block1", 0);
    client.SetTarget(target);
    std::string response;
    EXPECT_EQ(client.Exchange("", response, one.file).GetCode(), one.code) << one.what;
    EXPECT_EQ(response, one.response) << one.what;
    EXPECT_EQ(log.askedAgainWithoutWaiting, 0) << one.what;
    EXPECT_EQ(log.waitsWhileConnecting, 2) << one.what;
    EXPECT_EQ(log.sendWaits, 1) << one.what;
    EXPECT_EQ(log.request.compare(0, 20, "GET /tavo2-web/block"), 0) << one.what;
    EXPECT_LE(log.receiveWaits, static_cast<int>(one.pieces.size()) + 3) << one.what;
    EXPECT_LE(log.longestWait, timeouts.statusLine) << one.what;
    if (one.code == 0 && *one.file != '\0') {
      EXPECT_EQ(folder.Read(one.file), "abcdef") << one.what;
      folder.Write(one.file, "");
    }
  }
}

TEST_F(HttpClient, RefusesToHoldAnAnswerLargerThanItsMemoryLimit) {
  const size_t size = THttpClient::kMaxBodyInMemory + 4096;
  THttpPeer peer({kOkHead + "Content-Length: " + std::to_string(size) + "\r\n\r\n", std::string(size, 'b')});
  EXPECT_EQ(Get(peer).GetCode(), 27003);
  EXPECT_LE(response.size(), THttpClient::kMaxBodyInMemory);
}

TEST_F(HttpClient, WritesADownloadIntoItsFileAndCountsTheProgress) {
  TFilesTempDir folder;
  client.SetDownloadFileSystem(&folder.Files());
  std::string body;
  for (int i = 0; i < 3 * 4096 + 100; ++i) body += static_cast<char>(i * 7);
  TDownloadProgress progress;
  progress.expectedSize = static_cast<uint32_t>(body.size());
  client.SetProgress(progress);

  THttpPeer peer({kOkHead + "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n", body.substr(0, 5000),
                  body.substr(5000)});
  TTraceCapture trace;
  ASSERT_EQ(Get(peer, "TMP.TMP").GetCode(), 0);
  EXPECT_EQ(response, "");
  EXPECT_EQ(folder.Read("TMP.TMP"), body);
  EXPECT_EQ(client.GetProgress().bytesReceived, body.size());
  EXPECT_EQ(client.GetProgress().lastPercentage, 100u);
  EXPECT_EQ(trace.Appended().find(body.substr(0, 100)), std::string::npos);  // file bodies stay out of the trace

  // A body running past the promised size stops there, whatever the head said.
  progress.expectedSize = 100;
  client.SetProgress(progress);
  THttpPeer endless({kOkHead + "Transfer-Encoding: chunked\r\n\r\n", "1000\r\n" + body.substr(0, 4096) + "\r\n"},
                    TPeerEnd::Hold);
  EXPECT_EQ(Get(endless, "TMP.TMP").GetCode(), 27003);
  EXPECT_EQ(folder.Read("TMP.TMP"), "");

  // The rest of a file that broke off: asked for by its range and added to
  // what is there when the server sends just that part; anything else
  // leaves the part kept to the caller or starts the file afresh.
  const std::string rest = "Content-Range: bytes 5000-" + std::to_string(body.size() - 1) + "/" +
                           std::to_string(body.size()) + "\r\nContent-Length: " +
                           std::to_string(body.size() - 5000) + "\r\n\r\n";
  progress.expectedSize = static_cast<uint32_t>(body.size());
  const auto resume = [&](std::vector<std::string> answer) {
    folder.Write("TMP.TMP", body.substr(0, 5000));
    client.SetProgress(progress);
    client.SetResumeOffset(5000);
    THttpPeer server(std::move(answer));
    const int32_t code = Get(server, "TMP.TMP").GetCode();
    EXPECT_NE(server.Request().find("\r\nRange: bytes=5000-\r\n\r\n"), std::string::npos) << server.Request();
    return code;
  };
  EXPECT_EQ(resume({"HTTP/1.1 206 Partial Content\r\n" + rest, body.substr(5000)}), 0);
  EXPECT_EQ(folder.Read("TMP.TMP"), body);
  EXPECT_EQ(client.GetProgress().bytesReceived, body.size());
  EXPECT_EQ(resume({kOkHead + "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n", body}), 0);
  EXPECT_EQ(folder.Read("TMP.TMP"), body) << "a 200 starts from zero";
  EXPECT_EQ(resume({"HTTP/1.1 416 Range Not Satisfiable\r\nContent-Length: 0\r\n\r\n"}), 27060);
  EXPECT_EQ(resume({"HTTP/1.1 206 Partial Content\r\nContent-Range: bytes 4000-" + rest.substr(26), "x"}), 27060);
  EXPECT_EQ(folder.Read("TMP.TMP"), body.substr(0, 5000)) << "a part that does not continue the file is not added";
  THttpPeer plain({kOkHead + "Content-Length: 1\r\n\r\nx"});
  ASSERT_EQ(Get(plain, "TMP.TMP").GetCode(), 0);
  EXPECT_EQ(plain.Request().find("Range"), std::string::npos) << "the offset served one exchange only";

  THttpPeer empty({kOkHead + "Content-Length: 0\r\n\r\n"});
  folder.Write("EMPTY.TMP", "stale");
  ASSERT_EQ(Get(empty, "EMPTY.TMP").GetCode(), 0);
  EXPECT_EQ(folder.Read("EMPTY.TMP"), "");
}

TEST_F(HttpClient, FailsWithoutATargetBeforeTouchingTheNetwork) {
  TTraceCapture trace;
  client.SetTarget(TUrl());
  EXPECT_EQ(client.Exchange("", response, "").GetCode(), 27001);
  TUrl noPort;
  noPort.host = "127.0.0.1";
  noPort.address = 0x7F000001;
  client.SetTarget(noPort);
  EXPECT_EQ(client.Exchange("", response, "").GetCode(), 27001);
  EXPECT_EQ(trace.Appended(), "");
  EXPECT_EQ(client.GetChannelIndex(), 0u);
}

TEST_F(HttpClient, ARefusedConnectionIsTracedAndMovesOnToTheNextChannel) {
  const uint16_t closed = ClosedLoopbackPort();
  TTraceCapture trace;
  Aim(closed);
  EXPECT_EQ(client.Exchange("", response, "").GetCode(), RESULT_SOCKET_CONNECT_FAILED);
  EXPECT_EQ(client.GetChannelIndex(), 1u);
  EXPECT_EQ(trace.Appended(),
            "Connecting to 127.0.0.1:" + std::to_string(closed) + "/tavo2-web/block1, result=20001\n\n");

  THttpPeer peer({kOkHead + "Content-Length: 2\r\n\r\nok"});
  EXPECT_EQ(Get(peer).GetCode(), 0);
  EXPECT_EQ(response, "ok");
}

// The server's port is closed: every answer comes from the proxy. A proxy
// that refuses costs no channel.
TEST_F(HttpClient, GoesThroughTheConfiguredProxyAndTellsItsRefusals) {
  const std::string server = "127.0.0.1:" + std::to_string(ClosedLoopbackPort());
  auto through = [&](THttpPeer& proxy, const std::string& url) {
    const TIniFile config("CONFIG.INI", TByteBuffer("Proxy=127.0.0.1:" + std::to_string(proxy.Port()) + "\r\n"));
    client.SetProxyConfig(&config);
    TUrl target;
    target.Parse(url, 0);
    client.SetTarget(target);
    const int32_t code = client.Exchange("", response, "").GetCode();
    client.SetProxyConfig(nullptr);
    return code;
  };
  {
    THttpPeer proxy({kOkHead + "Content-Length: 2\r\n\r\nok"});
    TTraceCapture trace;
    const std::string via = "127.0.0.1:" + std::to_string(proxy.Port());
    ASSERT_EQ(through(proxy, "http://" + server + "/tavo2-web/block1"), 0);
    EXPECT_EQ(response, "ok");
    const std::string line = "GET http://" + server + "/tavo2-web/block1 HTTP/1.1\r\nHost: 127.0.0.1\r\n";
    EXPECT_EQ(proxy.Request().substr(0, line.size()), line);
    const std::string connecting =
        "Connecting to http://" + server + "/tavo2-web/block1 via proxy " + via + ", result=0\n\nSent:\n";
    EXPECT_EQ(trace.Appended().substr(0, connecting.size()), connecting);
  }
  {
    THttpPeer proxy({"HTTP/1.0 407 Proxy Authentication Required\r\nConnection: close\r\n\r\n"});
    TTraceCapture trace;
    EXPECT_EQ(through(proxy, "http://" + server + "/a"), RESULT_HTTP_PROXY_AUTH_REQUIRED);
    EXPECT_NE(trace.Appended().find("Proxy 127.0.0.1:" + std::to_string(proxy.Port()) +
                                    " asks for authentication: HTTP/1.0 407 Proxy Authentication Required\n\n"),
              std::string::npos);
  }
  {
    THttpPeer proxy({"HTTP/1.1 403 Access violation\r\nConnection: close\r\n\r\n"});
    TTraceCapture trace;
    EXPECT_EQ(through(proxy, "https://" + server + "/a"), RESULT_HTTP_TUNNEL_REFUSED);
    EXPECT_EQ(proxy.Request(), "CONNECT " + server + " HTTP/1.1\r\nHost: " + server + "\r\n\r\n");
    EXPECT_EQ(trace.Appended(), "Proxy 127.0.0.1:" + std::to_string(proxy.Port()) +
                                    " refused the tunnel: HTTP/1.1 403 Access violation\n\nConnecting to https://" +
                                    server + "/a via proxy 127.0.0.1:" + std::to_string(proxy.Port()) +
                                    ", result=27051\n\n");
  }
  {
    THttpPeer proxy({"HTTP/1.0 407 Proxy Authentication Required\r\n\r\n<html>"});
    EXPECT_EQ(through(proxy, "https://" + server + "/a"), RESULT_HTTP_PROXY_AUTH_REQUIRED);
  }
  EXPECT_EQ(client.GetChannelIndex(), 0u);

  TTraceCapture trace;
  const TIniFile broken("CONFIG.INI", TByteBuffer(std::string("Proxy=proxy.lan:\r\n")));
  client.SetProxyConfig(&broken);
  EXPECT_EQ(client.Exchange("", response, "").GetCode(), RESULT_HTTP_BAD_PROXY);
  EXPECT_EQ(trace.Appended(), "Proxy=proxy.lan: is not host:port\n\n");
}

// What the origin sends right behind the proxy's answer belongs to the
// next reader (the TLS handshake): none of it may be taken with the head.
TEST(ProxyTunnel, ReadsTheAnswersHeadAndNotOneByteMore) {
  TConnectionLog log;
  TScriptedConnection connection({"HTTP/1.1 200 Connection estab", "lished\r\nProxy-agent: x\r\n\r\n\x16\x03\x03"},
                                 log);
  TDeadline deadline(*ProcessUpdaterContext().system, 1000);
  std::string status;
  ASSERT_EQ(OpenProxyTunnel(*ProcessUpdaterContext().system, connection, "upd.example:443", deadline, &status)
                .GetCode(),
            0);
  EXPECT_EQ(status, "HTTP/1.1 200 Connection established");
  EXPECT_EQ(log.request, "CONNECT upd.example:443 HTTP/1.1\r\nHost: upd.example:443\r\n\r\n");
  EXPECT_EQ(log.askedAgainWithoutWaiting, 0);
  char rest[8] = {};
  EXPECT_EQ(connection.Receive(rest, sizeof rest), 3);
  EXPECT_EQ(std::string(rest, 3), "\x16\x03\x03");

  for (const char* answer : {"HTTP/1.1 502 Bad Gateway\r\n\r\n", "SSH-2.0-x\r\n\r\n"}) {
    TConnectionLog refusedLog;
    TScriptedConnection refused({answer}, refusedLog);
    TDeadline again(*ProcessUpdaterContext().system, 1000);
    EXPECT_EQ(OpenProxyTunnel(*ProcessUpdaterContext().system, refused, "h:1", again, &status).GetCode(),
              RESULT_HTTP_TUNNEL_REFUSED)
        << answer;
  }
  TConnectionLog silentLog;
  TScriptedConnection silent({}, silentLog);
  TDeadline shortly(*ProcessUpdaterContext().system, 200);
  EXPECT_EQ(OpenProxyTunnel(*ProcessUpdaterContext().system, silent, "h:1", shortly, &status).GetCode(),
            RESULT_HTTP_CONNECT_TIMEOUT);
}

}  // namespace
