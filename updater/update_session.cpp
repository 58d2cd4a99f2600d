#include "update_session.h"

#include <cerrno>

#include "check_files_command.h"
#include "environment.h"
#include "file_list.h"
#include "host_list.h"
#include "http/system_tracer.h"
#include "log/log_event.h"
#include "net/socket_interface.h"
#include "partial_download.h"
#include "updater_system.h"

TUpdateSession::TUpdateSession(const TUpdaterContext& context, std::string serialNumber, std::string model)
    : context_(context),
      serialNumber_(std::move(serialNumber)),
      model_(std::move(model)),
      updateFiles_(context.system->OpenFileSystem("Update")),
      client_(*context.system, *context.tracer) {
  client_.SetDownloadFileSystem(context_.system->GetAppFileSystem());
  TUrl target;
  target.Parse("", 80);
  client_.SetTarget(target);
  client_.SetUserAgent("TERMINAL");
  client_.SetResponseTimeout(15000);

  TSystemTracer& tracer = *context_.tracer;
  tracer.SetMode(TRACE_MODE_FILE);
  tracer.Enable(true);
  tracer.Log(TSysTraceLine("SN:" + serialNumber_ + ", MODEL:" + model_ + "\r\n"));
}

TUpdateSession::TUpdateSession(std::string serialNumber, std::string model)
    : TUpdateSession(ProcessUpdaterContext(), std::move(serialNumber), std::move(model)) {}

// The update directory goes first, then the client: members are destroyed in
// reverse order of declaration, so the order is spelled out.
TUpdateSession::~TUpdateSession() { updateFiles_.reset(); }

int32_t TUpdateSession::Run() {
  // Without its own folder the library would take the current directory's
  // files for its installation (a root that does not fit builds no path);
  // a folder too deep for its work files would be updated half-way.
  if (!WorkFilesFit()) {
    context_.tracer->Write("The library's folder cannot be used\r\n");
    return RESULT_LIBRARY_FOLDER_UNUSABLE;
  }
  int error = 0;
  const std::unique_ptr<THold> hold = context_.system->HoldInstallation(kInstallationWait, &error);
  if (!hold) {
    if (error == EAGAIN) {
      context_.tracer->Write("Another update run holds the installation\r\n");
      return RESULT_INSTALLATION_BUSY;
    }
    context_.tracer->Write("The installation cannot be locked (error " + std::to_string(error) + ")\r\n");
    return RESULT_LIBRARY_FOLDER_UNUSABLE;
  }
  RemoveLeftovers();

  TCorvoEnvironment* environment = context_.terminal;
  THostList hosts;
  hosts.Parse(environment->GetHostUrl(), 80);
  // The exchange and the downloads of its commands alike.
  client_.SetProxyConfig(&environment->GetConfig());
  ApplyEthernetTrace();
  if (!ApplyTrust()) return RESULT_TLS_UNAVAILABLE;

  const std::string request = BuildRequest();
  TUrl target;
  target.Parse(hosts.Current().RenderWithScheme() + "/tavo2-web" + environment->GetServerPath(), 0);
  client_.SetTarget(target);
  client_.SetProgress(TDownloadProgress());
  std::string answer;
  const TResult exchanged = client_.Exchange(request, answer, std::string());
  if (!exchanged.Succeeded()) return exchanged.GetCode();

  const int32_t result = HandleReply(answer);
  return result == 0 && specialFile_ ? RESULT_SPECIAL_FILE_UPDATED : result;
}

bool TUpdateSession::WorkFilesFit() {
  char path[kMaxPath];
  for (IFileSystem* files : {context_.system->GetAppFileSystem(), UpdateFiles()}) {
    // "filelist.txt" is as long as its work name.
    for (const char* name : {TCommandCheckFiles::kWorkFile, TFileList::kWorkName}) {
      if (!*files->MakePath(path, name)) return false;
    }
  }
  return true;
}

void TUpdateSession::RemoveLeftovers() {
  for (IFileSystem* files : {context_.system->GetAppFileSystem(), UpdateFiles()}) {
    TPartialDownload(*files, TCommandCheckFiles::kWorkFile).AdoptLeftover();
    files->Remove(TFileList::kWorkName);
  }
}

void TUpdateSession::ApplyEthernetTrace() {
  IDevice* device = context_.system->GetDevice(DEVICE_ETHERNET, 0);
  auto* sockets = dynamic_cast<TSocketInterface*>(device);
  if (!sockets) return;
  const std::string trace = TrimTrailingBlanks(context_.terminal->GetConfig().GetValue("Trace", ""));
  sockets->SetTraceFlag(trace == "1");
}

bool TUpdateSession::ApplyTrust() {
  const std::string name = TrimTrailingBlanks(context_.terminal->GetConfig().GetValue("CAFile", ""));
  TTlsSettings settings;
  if (!name.empty()) {
    char path[kMaxPath];
    // The file lies beside the library, as the listed files do; a device
    // name would be opened as the device.
    if (IsSafeFileName(name)) settings.caFile = context_.system->GetAppFileSystem()->MakePath(path, name.c_str());
    // A pinned CA that cannot be found must not fall back to every root.
    if (settings.caFile.empty()) {
      context_.tracer->Write("TLS: the CA file cannot be named (" + name + ")\r\n");
      return false;
    }
  }
  client_.SetTlsSettings(settings);
  return true;
}

IFileSystem* TUpdateSession::UpdateFiles() {
  return updateFiles_ ? updateFiles_.get() : context_.system->GetAppFileSystem();
}
