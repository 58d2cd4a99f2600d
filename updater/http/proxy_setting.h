#pragma once
#include <cstdint>
#include <optional>
#include <string>

class TIniFile;
struct TUrl;

// A proxy that requests go through instead of straight to the server.
struct TProxyServer {
  std::string host;
  uint16_t port = 0;
};

// A proxy setting as WinHTTP keeps the machine's: a list of proxies, each
// "[scheme=][scheme://]host[:port]" (one without a scheme serves every
// scheme), and a bypass list of host patterns ('*' matches any run of
// characters, "<local>" every name without a dot). Entries of both lists
// are separated by ';' or blanks.
struct TProxySetting {
  std::string proxies;
  std::string bypass;
};

// The proxy a request to `scheme`://`host` goes through under `setting`;
// none when the host is bypassed or no proxy serves the scheme.
std::optional<TProxyServer> ChooseProxy(const TProxySetting& setting, const std::string& scheme,
                                        const std::string& host);

// "host:port" (port 80 when it is left out); none when the text is empty or
// its port is broken.
std::optional<TProxyServer> ParseProxyServer(const std::string& text);

// The machine's own proxy setting: WinHTTP's on Windows, none on Linux.
TProxySetting ReadMachineProxySetting();

// The proxy for `target` into *proxy: "Proxy=host:port" of the configuration
// when the key is there (an empty value: none at all), else the machine's
// setting. False when the configured value is broken: going straight to the
// server instead could pass a proxy the shop's network relies on.
bool ProxyFor(const TIniFile& config, const TUrl& target, std::optional<TProxyServer>* proxy);
