#pragma once
#include <map>
#include <string>
#include <vector>

// The scenario file as written: sections of keys, each key with every value
// it was given, in file order. Section and key names are compared without
// regard to letter case; values are bytes, passed on unconverted, with the
// escapes \r \n \t \\ and \xHH resolved. README.md describes the format.
class TScenario {
 public:
  static TScenario Parse(const std::string& text);

  // The values of `key` in `section`, in file order; null when the key does
  // not occur there.
  const std::vector<std::string>* Values(const std::string& section, const std::string& key) const;

 private:
  using TSection = std::map<std::string, std::vector<std::string>>;
  std::map<std::string, TSection> sections_;
};

// Scenario and parameter names are compared in lower case.
std::string LowerAscii(std::string text);
