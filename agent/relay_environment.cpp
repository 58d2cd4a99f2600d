#include "relay_environment.h"
#include "agent_trace_file.h"
#include "system/device_layer.h"
#include "system/system.h"
#include "working_folder.h"

TSystemRelayEnvironment::TSystemRelayEnvironment()
    : workingFolder_(new TWorkingFolder),
      trace_(new TAgentTraceFile(GetSystem()->GetAppFileSystem(), workingFolder_.get())) {}

TSystemRelayEnvironment::~TSystemRelayEnvironment() = default;

TAgentSettings TSystemRelayEnvironment::ReadSettings() {
  const TAgentSettings settings = ReadAgentSettings();
  trace_->SetLevel(settings.traceLevel);
  return settings;
}

IAgentTrace& TSystemRelayEnvironment::GetTrace() { return *trace_; }

IDevice* TSystemRelayEnvironment::GetDevice(uint32_t type, uint32_t index) {
  return GetSystem()->GetDeviceLayer()->GetDevice(type, index);
}

ITimer* TSystemRelayEnvironment::CreateTimer(uint32_t milliseconds) {
  return GetSystem()->CreateTimer(milliseconds);
}

void TSystemRelayEnvironment::Delay(uint32_t milliseconds) {
  GetSystem()->Delay(milliseconds);
}

void TSystemRelayEnvironment::WaitForLink(IRelayLink& link, uint32_t milliseconds) {
  wait_.Begin(milliseconds);
  link.Watch(wait_);
  wait_.Wait();
}
