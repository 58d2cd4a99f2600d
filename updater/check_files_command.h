#pragma once
#include <cstdint>
#include <string>

#include "command.h"
#include "files/file_system.h"
#include "host_list.h"
#include "updater_context.h"

class THttpClient;

enum : int32_t {
  // A listed file name that would reach outside the target directory or
  // could not travel in a request line.
  RESULT_FILE_NAME_REFUSED = 31002,
  // A download that arrived complete but is not the file the listing names.
  RESULT_DOWNLOAD_MISMATCH = 27003,
};

// Brings the files of one directory to the state the server lists: every file
// whose hash differs is downloaded into "TMP.TMP", checked against the
// listing and put in its place in one step; "filelist.txt" is rewritten with
// the names handled. "TMP.TMP" exists only while a download is under way;
// the part of one that broke off is kept aside for the next attempt at the
// same listed file (TPartialDownload).
class TCommandCheckFiles final : public TCommandAbstract {
 public:
  static constexpr const char* kWorkFile = "TMP.TMP";

  // Neither the client nor the file system is owned; the server path and
  // the serial number come from the context.
  TCommandCheckFiles(const TUpdaterContext& context, const TJsonValue& command, THttpClient* client,
                     std::string defaultHost, IFileSystem* targetFiles);
  // The same in the process's own context.
  TCommandCheckFiles(const TJsonValue& command, THttpClient* client, std::string defaultHost,
                     IFileSystem* targetFiles);

  uint32_t GetTimeout() override { return 90000; }
  TJsonValue GetCommand() override;
  TJsonValue Execute() override;
  bool Reserved7() override { return true; }

 private:
  // Tries each host in turn until the file is in place; the last attempt's
  // outcome.
  TResult Download(const std::string& name, int32_t size, const std::string& hash, THostList& hosts,
                   const std::string& pathAndQuery);
  // One download exchange into "TMP.TMP", from byte resumeAt on.
  TResult Fetch(const TUrl& target, int32_t size, uint32_t resumeAt);
  // Whether "TMP.TMP" holds exactly the listed file.
  bool DownloadMatches(int32_t size, const std::string& hash);

  TUpdaterContext context_;
  THttpClient* client_;
  std::string defaultHost_;
  IFileSystem* files_;
  // Whether a download of this command that broke off kept its part.
  bool keptPartial_ = false;
};

// Whether a name from the server stays inside the directory it is meant for
// and can be sent in a request line: not absolute, no drive, no ".."
// component, no control characters, no ':' (which Windows reads as a drive or
// a stream of the file), no component that Windows opens as a device (CON,
// NUL, COM1, LPT1..., also with an extension), on every build alike.
bool IsSafeFileName(const std::string& name);

// Whether a listed name is one of the files the updater works with in a
// folder (the download, the list being written, a broken-off download's
// part and notes), in any case and whatever dots or blanks end it, as the
// Windows file system reads it: installed under such a name, a file would
// be overwritten or removed as one of them.
bool IsWorkFileName(const std::string& name);
