#include "system/system.h"
#include "files/file_system.h"
#include "system/device_layer.h"

void ISystem::ProcessIdle() {
#if TAVO_AGENT_BUILD
  Idle();
#else
  Run();
#endif
}

TSystem::TSystem() = default;

TSystem::~TSystem() { ReleaseOwned(); }

void TSystem::ReleaseOwned() {
  CloseFileSystem(traceFileSystem_);
  traceFileSystem_ = nullptr;
  deviceLayer_.reset();
#if !TAVO_AGENT_BUILD
  inactivityTimer_.reset();
#endif
}

void TSystem::Idle() {
#if !TAVO_AGENT_BUILD
  if (!inactivityTimer_) inactivityTimer_.reset(CreateTimer(kInactivityMilliseconds));
  // Only SetActive restarts the timer: without fresh activity the terminal
  // stays inactive.
  if (active_ && inactivityTimer_->IsExpired()) {
    active_ = false;
    OnActivityChanged(false);
  }
#endif
}

#if !TAVO_AGENT_BUILD
void TSystem::MarkActive() {
  if (active_) return;
  active_ = true;
  OnActivityChanged(true);
}

void TSystem::SetActive(bool active) {
  if (active_ != active) {
    active_ = active;
    OnActivityChanged(active);
  }
  if (inactivityTimer_)
    inactivityTimer_->Restart(kInactivityMilliseconds);
  else
    inactivityTimer_.reset(CreateTimer(kInactivityMilliseconds));
}
#endif

IDeviceLayer* TSystem::GetDeviceLayer() {
  if (!deviceLayer_) CreateDeviceLayer();
  return deviceLayer_.get();
}

TResult TSystem::CloseFileSystem(IFileSystem* fileSystem) {
  delete fileSystem;
  return TResult();
}
