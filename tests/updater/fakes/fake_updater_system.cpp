#include "fake_updater_system.h"

#include "update_session.h"

namespace {

class TFakeTimer final : public ITimer {
 public:
  TFakeTimer(const uint64_t& now, uint32_t milliseconds) : now_(now) { Restart(milliseconds); }
  bool IsExpired() override { return now_ >= end_; }
  void Restart(uint32_t milliseconds) override {
    start_ = now_;
    end_ = now_ + milliseconds;
  }
  uint32_t GetElapsed() override { return static_cast<uint32_t>(now_ - start_); }
  uint32_t GetTicks() override { return static_cast<uint32_t>(now_); }

 private:
  const uint64_t& now_;
  uint64_t start_ = 0;
  uint64_t end_ = 0;
};

}  // namespace

TFakeUpdaterSystem::TFakeUpdaterSystem(TMemoryDisk& disk, INetworkInterface* ethernet, uint64_t& clock)
    : disk_(disk), ethernet_(ethernet), appFiles_(disk, ""), now_(clock) {}

IDevice* TFakeUpdaterSystem::GetDevice(uint32_t type, uint32_t index) {
  return type == DEVICE_ETHERNET && index == 0 ? ethernet_ : nullptr;
}

ITimer* TFakeUpdaterSystem::CreateTimer(uint32_t milliseconds) { return new TFakeTimer(now_, milliseconds); }

void TFakeUpdaterSystem::GetDateTime(uint32_t* date, uint32_t* time) {
  *date = 20250307;
  *time = 90503;
}

std::unique_ptr<IFileSystem> TFakeUpdaterSystem::OpenFileSystem(const char* path) {
  return std::make_unique<TMemoryFileSystem>(disk_, path);
}

TFakeInstallation::TFakeInstallation(const std::string& config)
    : network([this](const std::string& request) { return server.Respond(request); }, clock),
      system(disk, &network, clock),
      tracer(system.GetAppFileSystem()) {
  disk.files["CONFIG.INI"] = config;
  terminal = std::make_unique<TCorvoEnvironment>(system.GetAppFileSystem());
}

int32_t TFakeInstallation::Run(const std::string& serialNumber, const std::string& model) {
  TUpdateSession session(Context(), serialNumber, model);
  return session.Run();
}
