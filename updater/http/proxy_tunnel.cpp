#include "http/proxy_tunnel.h"

#include "http/buffered_connection.h"
#include "http/deadline.h"
#include "http/http_client.h"

namespace {

bool SendAll(IUpdaterSystem& system, IConnection& connection, const std::string& text, TDeadline& deadline) {
  size_t sent = 0;
  while (sent < text.size()) {
    const int32_t count = connection.Send(text.data() + sent, static_cast<uint32_t>(text.size() - sent));
    if (count < 0) return false;
    sent += static_cast<size_t>(count);
    if (count == 0) {
      if (deadline.IsExpired()) return false;
      AwaitConnection(system, connection, TConnectionWait::Send, TimeToWait(deadline, nullptr));
    }
  }
  return true;
}

}  // namespace

TResult ProxyAnswerResult(const std::string& statusLine) {
  if (statusLine.size() < 12 || statusLine.compare(0, 5, "HTTP/") != 0 || statusLine[8] != ' ') {
    return TResult(RESULT_HTTP_TUNNEL_REFUSED);
  }
  const std::string code = statusLine.substr(9, 3);
  if (code[0] == '2' && code[1] >= '0' && code[1] <= '9' && code[2] >= '0' && code[2] <= '9') return TResult();
  return TResult(code == "407" ? RESULT_HTTP_PROXY_AUTH_REQUIRED : RESULT_HTTP_TUNNEL_REFUSED);
}

TResult OpenProxyTunnel(IUpdaterSystem& system, IConnection& connection, const std::string& hostAndPort,
                        TDeadline& deadline, std::string* statusLine) {
  statusLine->clear();
  const std::string request = "CONNECT " + hostAndPort + " HTTP/1.1\r\nHost: " + hostAndPort + "\r\n\r\n";
  if (!SendAll(system, connection, request, deadline)) {
    return TResult(deadline.IsExpired() ? RESULT_HTTP_CONNECT_TIMEOUT : RESULT_HTTP_TUNNEL_REFUSED);
  }
  // The head ends with an empty line; one larger than a server's may be is
  // no answer.
  std::string head;
  while (head.size() < THttpClient::kMaxHeaderBytes) {
    char byte = 0;
    const int32_t count = connection.Receive(&byte, 1);
    if (count < 0) break;
    if (count == 0) {
      if (deadline.IsExpired()) return TResult(RESULT_HTTP_CONNECT_TIMEOUT);
      AwaitConnection(system, connection, TConnectionWait::Receive, TimeToWait(deadline, nullptr));
      continue;
    }
    head += byte;
    if (head.size() < 2 || head.compare(head.size() - 2, 2, "\r\n") != 0) continue;
    if (statusLine->empty()) *statusLine = head.substr(0, head.size() - 2);
    if (head.size() >= 4 && head.compare(head.size() - 4, 4, "\r\n\r\n") == 0) return ProxyAnswerResult(*statusLine);
  }
  return TResult(RESULT_HTTP_TUNNEL_REFUSED);
}
