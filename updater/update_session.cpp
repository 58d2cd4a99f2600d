#include "update_session.h"

#include "environment.h"
#include "host_list.h"
#include "http/system_tracer.h"
#include "log/log_event.h"
#include "net/socket_interface.h"
#include "system/device_layer.h"
#include "system/system.h"

TUpdateSession::TUpdateSession(std::string serialNumber, std::string model)
    : serialNumber_(std::move(serialNumber)), model_(std::move(model)) {
  IFileSystem* updateFiles = nullptr;
  GetSystem()->OpenFileSystem("Update", &updateFiles);
  updateFiles_.reset(updateFiles);

  client_.SetDownloadFileSystem(GetSystem()->GetAppFileSystem());
  TUrl target;
  target.Parse("", 80);
  client_.SetTarget(target);
  client_.SetUserAgent("TERMINAL");
  client_.SetResponseTimeout(15000);

  TSystemTracer& tracer = GetSystemTracer();
  tracer.SetMode(TRACE_MODE_FILE);
  tracer.Enable(true);
  tracer.Log(TSysTraceLine("SN:" + serialNumber_ + ", MODEL:" + model_ + "\r\n"));
}

// The update directory goes first, then the client: members are destroyed in
// reverse order of declaration, so the order is spelled out.
TUpdateSession::~TUpdateSession() { updateFiles_.reset(); }

int32_t TUpdateSession::Run() {
  TCorvoEnvironment* environment = GetTerminalEnvironment();
  THostList hosts;
  hosts.Parse(environment->GetHostUrl(), 80);
  ApplyEthernetTrace();

  const std::string request = BuildRequest();
  TUrl target;
  target.Parse("http://" + hosts.Current().Render() + "/tavo2-web" + environment->GetServerPath(), 0);
  client_.SetTarget(target);
  client_.SetProgress(TDownloadProgress());
  std::string answer;
  const TResult exchanged = client_.Exchange(request, answer, std::string());
  if (!exchanged.Succeeded()) return exchanged.GetCode();

  const int32_t result = HandleReply(answer);
  return result == 0 && specialFile_ ? RESULT_SPECIAL_FILE_UPDATED : result;
}

void TUpdateSession::ApplyEthernetTrace() {
  IDevice* device = GetSystem()->GetDeviceLayer()->GetDevice(DEVICE_ETHERNET, 0);
  auto* sockets = dynamic_cast<TSocketInterface*>(device);
  if (!sockets) return;
  const std::string trace = TrimTrailingBlanks(GetTerminalEnvironment()->GetConfig().GetValue("Trace", ""));
  sockets->SetTraceFlag(trace == "1");
}
