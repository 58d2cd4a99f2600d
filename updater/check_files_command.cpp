#include "check_files_command.h"

#include <algorithm>
#include <cctype>

#include "environment.h"
#include "file_digest.h"
#include "file_list.h"
#include "http/http_client.h"
#include "partial_download.h"

namespace {

bool EqualIgnoringCase(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (std::toupper(static_cast<unsigned char>(a[i])) != std::toupper(static_cast<unsigned char>(b[i]))) {
      return false;
    }
  }
  return true;
}

// The download servers, one a line, as an https list names them: each
// line's scheme and host[:port], without its path.
std::string HttpsHostParts(const std::string& text) {
  std::string hosts;
  size_t begin = 0;
  for (;;) {
    const size_t end = std::min(text.find('\n', begin), text.size());
    const std::string line = text.substr(begin, end - begin);
    const size_t scheme = line.find("://");
    hosts += line.substr(0, line.find('/', scheme == std::string::npos ? 0 : scheme + 3));
    if (end == text.size()) return hosts;
    hosts += '\n';
    begin = end + 1;
  }
}

// The download server's host[:port] from a "HOST_URL" that may carry a
// scheme and a path. An https server keeps its scheme, so that downloads
// are checked as the exchange was.
std::string HostPart(std::string text) {
  if (text.find("https://") != std::string::npos) return HttpsHostParts(text);
  const size_t scheme = text.find("http://");
  if (scheme != std::string::npos) text.erase(scheme, 7);
  return text.substr(0, text.find('/'));
}

// Whether Windows takes a path component for a device instead of a file:
// the part before its first '.', without trailing blanks, is a device name
// in any letter case. Opening one reads a console or a port, which may never
// end.
bool IsDeviceName(const std::string& component) {
  static const char* const kDevices[] = {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$", "CLOCK$"};
  std::string base = component.substr(0, component.find('.'));
  while (!base.empty() && base.back() == ' ') base.pop_back();
  for (char& c : base) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  for (const char* device : kDevices) {
    if (base == device) return true;
  }
  return base.size() == 4 && (base.compare(0, 3, "COM") == 0 || base.compare(0, 3, "LPT") == 0) &&
         base[3] >= '0' && base[3] <= '9';
}

}  // namespace

bool IsWorkFileName(const std::string& name) {
  // Windows drops the dots and blanks that end a name.
  std::string trimmed = name;
  while (!trimmed.empty() && (trimmed.back() == '.' || trimmed.back() == ' ')) trimmed.pop_back();
  for (const char* own : {TCommandCheckFiles::kWorkFile, TFileList::kWorkName, TPartialDownload::kWorkNote,
                          TPartialDownload::kPartFile, TPartialDownload::kPartNote}) {
    if (EqualIgnoringCase(trimmed, own)) return true;
  }
  return false;
}

bool IsSafeFileName(const std::string& name) {
  if (name.empty() || name[0] == '/' || name[0] == '\\') return false;
  size_t componentStart = 0;
  for (size_t i = 0; i <= name.size(); ++i) {
    const char c = i < name.size() ? name[i] : '/';
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f || c == ':') return false;
    if (c == '/' || c == '\\') {
      const std::string component = name.substr(componentStart, i - componentStart);
      if (component == ".." || IsDeviceName(component)) return false;
      componentStart = i + 1;
    }
  }
  return true;
}

TCommandCheckFiles::TCommandCheckFiles(const TUpdaterContext& context, const TJsonValue& command,
                                       THttpClient* client, std::string defaultHost, IFileSystem* targetFiles)
    : TCommandAbstract(command, *context.system),
      context_(context),
      client_(client),
      defaultHost_(std::move(defaultHost)),
      files_(targetFiles) {}

TCommandCheckFiles::TCommandCheckFiles(const TJsonValue& command, THttpClient* client, std::string defaultHost,
                                       IFileSystem* targetFiles)
    : TCommandCheckFiles(ProcessUpdaterContext(), command, client, std::move(defaultHost), targetFiles) {}

TJsonValue TCommandCheckFiles::GetCommand() {
  TJsonValue command = command_;
  command.SetDetail("HOST_URL", defaultHost_);
  command.SetDetail("SN", TerminalSerialNumber(system_) + "&ECR=1");
  return command;
}

TJsonValue TCommandCheckFiles::Execute() {
  const TJsonValue details = command_.GetDetails();
  TJsonValue files = details.Get("FILES");
  TFileList list(files_);

  THostList hosts;
  hosts.Parse(HostPart(details.Get("HOST_URL").AsString(defaultHost_)), 80);
  const std::string serverPath = context_.terminal->GetServerPath();
  const std::string sn = details.Get("SN").AsString(TerminalSerialNumber(system_));
  const std::string downloadPath = "/tavo2-web/getFile" + serverPath + "?name=";

  // A later success must not hide an earlier failure: the command answers
  // the most recent failure among its files.
  TResult failure;
  const std::string partName = TPartialDownload(*files_, kWorkFile).PartName();
  bool listsPart = false;
  files.SetCursor(0);
  TJsonValue file;
  while (files.Next(&file)) {
    const std::string name = file.Get("FILE_NAME").AsString("");
    const int32_t size = file.Get("FILE_SIZE").AsInteger(0);
    if (name.empty() || size == 0) break;
    if (!IsSafeFileName(name) || IsWorkFileName(name)) {
      failure = TResult(RESULT_FILE_NAME_REFUSED);
      continue;
    }
    list.Add(name);
    if (name == partName) listsPart = true;
    const std::string listed = file.Get("FILE_HASH").AsString("");
    if (listed == list.HashFile(name).hash.ToHex()) continue;
    const TResult outcome = Download(name, size, listed, hosts, downloadPath + name + "&terminalSN=" + sn);
    if (!outcome.Succeeded()) failure = outcome;
  }

  // A part of a file this listing asks for with other contents, or has in
  // place, is of no use. One of a file it does not name may be another
  // command's, as two commands can share a folder.
  if (listsPart && !keptPartial_) TPartialDownload(*files_, kWorkFile).DiscardPart();

  TResult result = failure;
  const TResult saved = list.Save();
  if (!saved.Succeeded()) result = saved;
  context_.terminal->OnFilesUpdated();

  TJsonValue reply;
  MakeReply(result, reply);
  return reply;
}

TResult TCommandCheckFiles::Download(const std::string& name, int32_t size, const std::string& hash,
                                     THostList& hosts, const std::string& pathAndQuery) {
  TPartialDownload partial(*files_, kWorkFile);
  const uint32_t listedSize = size > 0 ? static_cast<uint32_t>(size) : 0;
  TResult result;
  for (size_t attempt = 0; attempt < hosts.Count(); ++attempt) {
    TUrl target;
    target.Parse(hosts.Current().RenderWithScheme() + pathAndQuery, 0);
    const uint32_t held = partial.Start(name, listedSize, hash);
    result = Fetch(target, size, held);
    bool fetched = result.Succeeded();
    bool matches = fetched && DownloadMatches(size, hash);
    // A body that ended with its connection short of the file broke off: it
    // is kept below like any other.
    const bool cutShort = fetched && !matches && files_->GetFileSize(kWorkFile) < listedSize;
    if (held > 0 && (result.GetCode() == RESULT_HTTP_RANGE_REFUSED || (fetched && !matches && !cutShort))) {
      // The part kept and the rest the server sent do not make the listed
      // file: it is fetched whole, once.
      partial.Start(name, listedSize, hash);
      result = Fetch(target, size, 0);
      fetched = result.Succeeded();
      matches = fetched && DownloadMatches(size, hash);
    }
    if (fetched) {
      if (!matches) {
        result = TResult(RESULT_DOWNLOAD_MISMATCH);
      } else {
        // One replacing rename of a file already on the disk: the old file
        // stays whole until the new one takes its name, even when the
        // process dies in between.
        result = files_->Replace(kWorkFile, name.c_str());
        if (result.Succeeded()) {
          partial.Finish();
          return result;
        }
      }
    }
    // A download that broke off keeps what arrived for the next attempt at
    // this file (a body that ends with its connection may end early without
    // a failure); nothing else of a failed one stays behind.
    if (!matches && partial.KeepWhatArrived(listedSize)) {
      keptPartial_ = true;
    } else {
      files_->Remove(kWorkFile);
      partial.Finish();
    }
    hosts.Advance();
  }
  return result;
}

TResult TCommandCheckFiles::Fetch(const TUrl& target, int32_t size, uint32_t resumeAt) {
  client_->SetTarget(target);
  client_->SetDownloadFileSystem(files_);
  client_->SetProgress(TDownloadProgress{static_cast<uint32_t>(size), resumeAt, 0});
  client_->SetResumeOffset(resumeAt);
  std::string response;
  return client_->Exchange(std::string(), response, kWorkFile);
}

// The file is read back rather than trusting the bytes as they were sent to
// it: the rename publishes what the disk holds under that name.
bool TCommandCheckFiles::DownloadMatches(int32_t size, const std::string& hash) {
  TFileDigest digest;
  return size > 0 && DigestFile(*files_, kWorkFile, &digest) && digest.size == static_cast<uint32_t>(size) &&
         EqualIgnoringCase(digest.sha1.ToHex(), hash);
}
