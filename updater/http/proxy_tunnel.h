#pragma once
#include <string>

#include "system/result.h"

class IConnection;
class IUpdaterSystem;
class TDeadline;

// What a proxy's status line means for the request it answered: success on
// a 2xx, RESULT_HTTP_PROXY_AUTH_REQUIRED on a 407, else
// RESULT_HTTP_TUNNEL_REFUSED.
TResult ProxyAnswerResult(const std::string& statusLine);

// Asks the proxy at the other end of `connection` for a tunnel to
// `hostAndPort` and reads the head of its answer, all before `deadline`.
// The head is read a byte at a time, so that whatever the origin sends
// through the tunnel stays in the connection for the next reader. The status
// line lands in *statusLine (empty when none came whole). Success once the
// tunnel is open; RESULT_HTTP_CONNECT_TIMEOUT when the time ran out, else
// what ProxyAnswerResult says (a broken or missing answer is a refusal).
TResult OpenProxyTunnel(IUpdaterSystem& system, IConnection& connection, const std::string& hostAndPort,
                        TDeadline& deadline, std::string* statusLine);
