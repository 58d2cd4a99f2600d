#pragma once
#include <cstdint>
#include <string>
#include <vector>

// The two processing hosts whose reachability TavoTest checks, as dotted
// IPv4 addresses, and the two ports each is tried on, in order: 670 and
// 666, which a test bench may move elsewhere.
struct TProcessingHosts {
  std::wstring first;
  std::wstring second;
  uint16_t firstPort = 670;
  uint16_t secondPort = 666;
  // For the log, one line each: a host that is a placeholder because the
  // file does not name it as an address, a port value that was not taken.
  std::vector<std::wstring> notes;
};

// The configuration file beside the program that names the hosts, one key
// each at the start of a line: Host1=10.0.0.1 and Host2=10.0.0.2, and
// optionally Port1= and Port2=.
constexpr const wchar_t* kProcessingHostsFileName = L"TavoTest.ini";

// The placeholder addresses an installation without the file gets, and the
// ports 670 and 666; no notes.
TProcessingHosts DefaultProcessingHosts();

// The hosts named in the file's text (code page 1251). A key that is
// missing, or whose value (blanks and tabs around it ignored) is not a dotted
// IPv4 address or a port number from 1 to 65535, keeps its default; the
// notes say so for every host and for a port value that was not taken.
// Keys are matched regardless of letter case, the first line of a key
// counts, and a "[section]" line ends the part that is read.
TProcessingHosts ParseProcessingHosts(const std::string& text);

// The placeholders, with a note that the file is missing.
TProcessingHosts MissingFileHosts();

// The hosts of the file at path; MissingFileHosts when it is missing or
// unreadable.
TProcessingHosts LoadProcessingHosts(const std::wstring& path);
