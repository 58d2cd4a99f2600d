#pragma once
#include <string>
#include <vector>

// A private folder for one test's copy of the double's DLLs, so that tests
// running at once never share a scenario or a call log. Removed, with what
// the test left in it, when the object goes.
class TTestFolder {
 public:
  // Copies each named file from the folder of the running test program.
  explicit TTestFolder(const std::vector<std::wstring>& filesBesideProgram);
  ~TTestFolder();
  TTestFolder(const TTestFolder&) = delete;
  TTestFolder& operator=(const TTestFolder&) = delete;

  std::wstring PathOf(const std::wstring& fileName) const { return folder_ + fileName; }

  // Writes the scenario as the bytes given.
  void WriteScenario(const std::string& bytes) const;
  void DeleteCallLog() const;
  // The call log's lines without their CR LF; empty when there is none.
  std::vector<std::string> CallLog() const;

 private:
  std::wstring folder_;  // ends in a backslash
};
