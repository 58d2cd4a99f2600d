#pragma once
#include <map>
#include <string>
#include <vector>

// The update server's side of the protocol, in memory: the exchange is
// answered with one check-files command for the library's directory (the
// "ECR" files) and one for the "Update" directory, listing the release with
// sizes and SHA-1s; downloads are answered with the listed bodies. Its
// Respond fits TFakeNetwork.
class TFakeUpdateServer {
 public:
  // File name to content.
  using TFiles = std::map<std::string, std::string>;
  TFiles ecrFiles;
  TFiles updateFiles;
  // Answered instead of the commands when not empty.
  std::string scriptedAnswer;
  // Every request as it came.
  std::vector<std::string> requests;

  std::string Respond(const std::string& request);

  // The body of the exchange's answer for the release as it stands.
  std::string Answer() const;
  // One check-files command of such an answer.
  static std::string CheckFiles(const std::string& target, const TFiles& files);
};
