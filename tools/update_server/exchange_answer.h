#pragma once
#include <string>
#include <vector>
#include "folder_listing.h"

// One CHECK_FILES command: a folder's files for one target directory.
struct TCheckFilesCommand {
  std::string id;
  std::string target;  // "UPDATE" or "ECR"
  std::vector<TListedFile> files;
};

// The exchange answer in the updater's compact dialect, keys in ascending
// order inside each command. "success" comes first so that no file name can
// be taken for it by a reader that looks for the first quoted key.
std::string BuildExchangeAnswer(bool success, const std::vector<TCheckFilesCommand>& commands,
                                const std::string& hostUrl, const std::string& serial);

// The serial number ("SN") of the updater's report; empty when it has none.
std::string SerialFromReport(const std::string& report);
