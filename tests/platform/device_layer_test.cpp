#include <gtest/gtest.h>
#include <memory>
#include <vector>
#include "files/file_system.h"
#include "system/device_layer.h"

namespace {

// The PC's layer, counting how often it is asked to make a device.
class TCountingLayer : public TPCDeviceLayer {
 public:
  explicit TCountingLayer(IFileSystem* logFileSystem = nullptr) : TPCDeviceLayer(1, logFileSystem) {}
  IDevice* CreateDevice(uint32_t type, uint32_t index) override {
    ++creations;
    return TPCDeviceLayer::CreateDevice(type, index);
  }
  int creations = 0;
};

// A device that notes its key in a shared list when it is destroyed.
class TNotingDevice : public IDevice {
 public:
  TNotingDevice(std::vector<uint32_t>* destroyed, uint32_t key) : destroyed_(destroyed), key_(key) {}
  ~TNotingDevice() override {
    if (destroyed_) destroyed_->push_back(key_);
  }
  TResult Open() override { return TResult(); }
  void Close() override {}

 private:
  std::vector<uint32_t>* destroyed_;
  uint32_t key_;
};

class TNotingLayer : public TCountingLayer {
 public:
  IDevice* CreateDevice(uint32_t type, uint32_t index) override {
    return new TNotingDevice(&destroyed, type * 0x10000 + index);
  }
  static std::vector<uint32_t> destroyed;
};
std::vector<uint32_t> TNotingLayer::destroyed;

}  // namespace

TEST(DeviceLayerTest, KeepsEachDeviceItMadeAndRetriesMissingOnes) {
  TCountingLayer layer;
  IDevice* network = layer.GetDevice(DEVICE_ETHERNET, 0);
  ASSERT_NE(network, nullptr);
  EXPECT_EQ(layer.GetDevice(DEVICE_ETHERNET, 0), network);
  EXPECT_NE(layer.GetDevice(DEVICE_ETHERNET, 1), network);
  EXPECT_NE(layer.GetDevice(DEVICE_KEYBOARD, 0), nullptr);
  EXPECT_NE(layer.GetDevice(DEVICE_SOCKET, 0), nullptr);
  EXPECT_EQ(layer.GetDevice(14, 0), nullptr);
  EXPECT_EQ(layer.GetDevice(DEVICE_POWER_STATUS, 0) != nullptr, kAgentBuild);
  // In the updater a missing device is asked for again every time.
  const int before = layer.creations;
  for (int i = 0; i < 2; ++i) EXPECT_EQ(layer.GetDevice(DEVICE_WIFI, 0) != nullptr, kAgentBuild);
  EXPECT_EQ(layer.creations - before, kAgentBuild ? 1 : 2);
}

TEST(DeviceLayerTest, DevicesGoInAscendingKeyOrder) {
  TNotingLayer::destroyed.clear();
  {
    TNotingLayer layer;
    for (uint32_t type : {DEVICE_USB_LINK, DEVICE_KEYBOARD, DEVICE_RS232, DEVICE_ETHERNET}) layer.GetDevice(type, 3);
    layer.GetDevice(DEVICE_ETHERNET, 0);
  }
  EXPECT_EQ(TNotingLayer::destroyed, (std::vector<uint32_t>{0x50003, 0x90000, 0x90003, 0xC0003, 0xF0003}));
}

#if TAVO_AGENT_BUILD
namespace {

std::vector<uint32_t> factoryTypes;
IFileSystem* factoryLogFileSystem = nullptr;

IDevice* MakeAgentDevice(uint32_t type, uint32_t index, IFileSystem* logFileSystem) {
  factoryTypes.push_back(type * 0x10000 + index);
  factoryLogFileSystem = logFileSystem;
  return new TNotingDevice(nullptr, 0);
}

}  // namespace

TEST(DeviceLayerTest, AgentSerialDevicesComeFromTheRegisteredFactory) {
  EXPECT_EQ(TCountingLayer().GetDevice(DEVICE_COM_LINK, 2), nullptr);  // nothing registered
  std::unique_ptr<IFileSystem> logFileSystem(NewPlatformFileSystem(""));
  SetAgentDeviceFactory(MakeAgentDevice);
  {
    TCountingLayer layer(logFileSystem.get());
    IDevice* link = layer.GetDevice(DEVICE_USB_LINK, 4);
    EXPECT_NE(link, nullptr);
    EXPECT_EQ(layer.GetDevice(DEVICE_USB_LINK, 4), link);
    EXPECT_NE(layer.GetDevice(DEVICE_RS232, 4), nullptr);
    EXPECT_NE(layer.GetDevice(DEVICE_COM_LINK, 4), nullptr);
  }
  SetAgentDeviceFactory(nullptr);
  EXPECT_EQ(factoryTypes, (std::vector<uint32_t>{0xF0004, 0xC0004, 0x100004}));
  EXPECT_EQ(factoryLogFileSystem, logFileSystem.get());
}
#endif
