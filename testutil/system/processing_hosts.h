#pragma once
#include <cstdint>
#include <string>

// The two processing hosts whose reachability TavoTest checks, as dotted
// IPv4 addresses, and the two ports each is tried on, in order: 670 and
// 666, which a test bench may move elsewhere.
struct TProcessingHosts {
  std::wstring first;
  std::wstring second;
  uint16_t firstPort = 670;
  uint16_t secondPort = 666;
};

// The configuration file beside the program that names the hosts, one key
// each at the start of a line: Host1=10.0.0.1 and Host2=10.0.0.2, and
// optionally Port1= and Port2=.
constexpr const wchar_t* kProcessingHostsFileName = L"TavoTest.ini";

// The addresses an installation without the file uses.
TProcessingHosts DefaultProcessingHosts();

// The hosts named in the file's text. A key that is missing, or whose value
// (blanks and tabs around it ignored) is not a dotted IPv4 address or a port
// number from 1 to 65535, keeps its default. Keys are matched regardless of letter case, the first line
// of a key counts, and a "[section]" line ends the part that is read.
TProcessingHosts ParseProcessingHosts(const std::string& text);

// The hosts of the file at path; the defaults when it is missing or
// unreadable.
TProcessingHosts LoadProcessingHosts(const std::wstring& path);
