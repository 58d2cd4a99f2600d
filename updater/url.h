#pragma once
#include <cstdint>
#include <string>

#include "net/network.h"

// A server address as written in configuration and in download links:
// [scheme://]host[:port][/path].
struct TUrl {
  IpAddress address = 0;  // 0 unless the host is a dotted quad
  uint16_t port = 0;
  std::string scheme;
  std::string host;
  std::string path;  // without its leading '/'

  // Replaces every field by those of text; without a port part the port is
  // 443 for https, else defaultPort. A port part that is empty, not
  // all digits, longer than five characters or above 65535 leaves the host
  // empty and the port 0, so that no connection is attempted. Trailing
  // blanks and tabs of the text are not part of the URL.
  void Parse(const std::string& text, uint16_t defaultPort);
  // [scheme://]host:port[/path]
  std::string Render() const;
  // The same with "http://" in front when no scheme was given.
  std::string RenderWithScheme() const;
};
