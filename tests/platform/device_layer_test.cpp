#include <gtest/gtest.h>
#include <memory>
#include <vector>
#include "system/device_layer.h"
#include "system_testutil.h"

namespace {

// The PC's layer, counting how often it is asked to make a device.
class TCountingLayer : public TPCDeviceLayer {
 public:
  TCountingLayer() : TPCDeviceLayer(1, nullptr) {}
  IDevice* CreateDevice(uint32_t type, uint32_t index) override {
    ++creations;
    return TPCDeviceLayer::CreateDevice(type, index);
  }
  int creations = 0;
};

// A device that notes its key when it is destroyed.
class TNotingDevice : public IDevice {
 public:
  TNotingDevice(std::vector<uint32_t>* destroyed, uint32_t key) : destroyed_(destroyed), key_(key) {}
  ~TNotingDevice() override { destroyed_->push_back(key_); }
  TResult Open() override { return TResult(); }
  void Close() override {}

 private:
  std::vector<uint32_t>* destroyed_;
  uint32_t key_;
};

class TNotingLayer : public TDeviceLayer {
 public:
  explicit TNotingLayer(std::vector<uint32_t>* destroyed) : destroyed_(destroyed) {}
  TResult QueryDevice(uint32_t, int32_t*) override { return TResult(RESULT_NOT_SUPPORTED); }
  IDevice* CreateDevice(uint32_t type, uint32_t index) override {
    return new TNotingDevice(destroyed_, type * 0x10000 + index);
  }
  TResult GetLastResult() override { return TResult(); }

 private:
  std::vector<uint32_t>* destroyed_;
};

}  // namespace

TEST(DeviceLayerTest, KeepsEachDeviceItMade) {
  TCountingLayer layer;
  IDevice* network = layer.GetDevice(DEVICE_ETHERNET, 0);
  ASSERT_NE(network, nullptr);
  EXPECT_EQ(layer.GetDevice(DEVICE_ETHERNET, 0), network);
  EXPECT_EQ(layer.creations, 1);
  IDevice* other = layer.GetDevice(DEVICE_ETHERNET, 1);
  EXPECT_NE(other, network);
  EXPECT_NE(layer.GetDevice(DEVICE_GPRS, 0), network);
}

TEST(DeviceLayerTest, DeviceTypesOfEachBuild) {
  TCountingLayer layer;
  EXPECT_NE(layer.GetDevice(DEVICE_KEYBOARD, 0), nullptr);
  EXPECT_NE(layer.GetDevice(DEVICE_SOCKET, 0), nullptr);
  EXPECT_EQ(layer.GetDevice(4, 0), nullptr);
  EXPECT_EQ(layer.GetDevice(14, 0), nullptr);
  EXPECT_EQ(layer.GetDevice(DEVICE_POWER_STATUS, 0) != nullptr, kAgentBuild);
  // In the updater a missing device is asked for again every time: nothing
  // remembers that it could not be made.
  const int before = layer.creations;
  for (int i = 0; i < 2; ++i) EXPECT_EQ(layer.GetDevice(DEVICE_WIFI, 0) != nullptr, kAgentBuild);
  EXPECT_EQ(layer.creations - before, kAgentBuild ? 1 : 2);
}

TEST(DeviceLayerTest, UnsupportedQueryIsRemembered) {
  TPCDeviceLayer layer(1, nullptr);
  EXPECT_TRUE(layer.GetLastResult().Succeeded());
  int32_t out = 77;
  EXPECT_EQ(layer.QueryDevice(1, &out).GetCode(), RESULT_NOT_SUPPORTED);
  EXPECT_EQ(out, 0);
  EXPECT_EQ(layer.GetLastResult().GetCode(), RESULT_NOT_SUPPORTED);
}

TEST(DeviceLayerTest, DevicesGoInAscendingKeyOrder) {
  std::vector<uint32_t> destroyed;
  {
    TNotingLayer layer(&destroyed);
    layer.GetDevice(DEVICE_USB_LINK, 3);
    layer.GetDevice(DEVICE_KEYBOARD, 0);
    layer.GetDevice(DEVICE_ETHERNET, 1);
    layer.GetDevice(DEVICE_RS232, 3);
    layer.GetDevice(DEVICE_ETHERNET, 0);
    EXPECT_TRUE(destroyed.empty());
  }
  EXPECT_EQ(destroyed, (std::vector<uint32_t>{0x50000, 0x90000, 0x90001, 0xC0003, 0xF0003}));
}

#if TAVO_AGENT_BUILD
namespace {

struct TFactoryCall {
  uint32_t type;
  uint32_t index;
  IFileSystem* logFileSystem;
};
std::vector<TFactoryCall> factoryCalls;

class TPlainDevice : public IDevice {
 public:
  TResult Open() override { return TResult(); }
  void Close() override {}
};

IDevice* MakeAgentDevice(uint32_t type, uint32_t index, IFileSystem* logFileSystem) {
  factoryCalls.push_back({type, index, logFileSystem});
  return new TPlainDevice();
}

}  // namespace

TEST(DeviceLayerTest, AgentSerialDevicesComeFromTheRegisteredFactory) {
  {
    TPCDeviceLayer layer(1, nullptr);
    EXPECT_EQ(layer.GetDevice(DEVICE_COM_LINK, 2), nullptr);  // nothing registered yet
  }
  factoryCalls.clear();
  SetAgentDeviceFactory(MakeAgentDevice);
  TSizesFileSystem logFileSystem;
  {
    TPCDeviceLayer layer(1, &logFileSystem);
    IDevice* link = layer.GetDevice(DEVICE_USB_LINK, 4);
    EXPECT_NE(link, nullptr);
    EXPECT_EQ(layer.GetDevice(DEVICE_USB_LINK, 4), link);
    EXPECT_NE(layer.GetDevice(DEVICE_RS232, 4), nullptr);
    EXPECT_NE(layer.GetDevice(DEVICE_COM_LINK, 4), nullptr);
    EXPECT_EQ(layer.GetDevice(DEVICE_GPRS + 3, 4), nullptr);  // type 14: no such device
  }
  SetAgentDeviceFactory(nullptr);
  ASSERT_EQ(factoryCalls.size(), 3u);
  EXPECT_EQ(factoryCalls[0].type, uint32_t{DEVICE_USB_LINK});
  EXPECT_EQ(factoryCalls[0].index, 4u);
  EXPECT_EQ(factoryCalls[0].logFileSystem, &logFileSystem);
  EXPECT_EQ(factoryCalls[1].type, uint32_t{DEVICE_RS232});
  EXPECT_EQ(factoryCalls[2].type, uint32_t{DEVICE_COM_LINK});
}
#endif
