#include <gtest/gtest.h>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>
#include "system/device_layer.h"
#include "system/system.h"
#include "system_testutil.h"

namespace {

// The platform's system object with its outward effects caught: shell
// commands are recorded instead of run (nothing sets the clock or replaces
// a program), and timers, the volume serial, the module path and the
// program's file system can be given by the test.
class TTestSystem : public TPlatformSystem {
 public:
  void Idle() override {
    ++idles;
    TPlatformSystem::Idle();
  }
  ITimer* CreateTimer(uint32_t milliseconds) override { return new TPCTimer(milliseconds, ReadFakeTicks); }
  IFileSystem* GetAppFileSystem() override {
    return appFileSystem ? appFileSystem : TPlatformSystem::GetAppFileSystem();
  }
  uint32_t GetModuleFileName(char* buffer, uint32_t size) override {
    if (modulePath.empty()) return TPlatformSystem::GetModuleFileName(buffer, size);
    std::strncpy(buffer, modulePath.c_str(), size);
    return static_cast<uint32_t>(modulePath.size());
  }
#if !TAVO_AGENT_BUILD
  void OnActivityChanged(bool active) override { activity.push_back(active); }
#endif

  std::vector<std::string> commands;
  std::vector<bool> activity;
  int idles = 0;
  bool realVolumeSerial = false;
  uint32_t volumeSerial = 1234;
  std::string modulePath;
  IFileSystem* appFileSystem = nullptr;

 protected:
  void RunShellCommand(const std::string& command) override { commands.push_back(command); }
  uint32_t GetVolumeSerial() override {
    return realVolumeSerial ? TPlatformSystem::GetVolumeSerial() : volumeSerial;
  }
};

void WriteSoftkeys(const std::string& text) {
  std::ofstream file("softkeys.ini", std::ios::binary);
  file << text;
}

struct TScreen {
  uint16_t width = 0;
  uint16_t height = 0;
  uint8_t flag = 0xFF;
};

TScreen ScreenOf(ISystem& system) {
  TScreen screen;
  system.GetScreenSize(&screen.width, &screen.height, &screen.flag);
  return screen;
}

std::string ModelOf(ISystem& system) {
  char model[64];
  system.GetModel(model);
  return model;
}

std::string SerialOf(ISystem& system) {
  char serial[64];
  EXPECT_TRUE(system.GetSerialNumber(serial).Succeeded());
  return serial;
}

}  // namespace

TEST(SystemTest, IdentityWithoutSoftkeysFile) {
  TScopedTempCwd cwd;
  TTestSystem system;
  EXPECT_EQ(ModelOf(system), "WIN32");
  const TScreen screen = ScreenOf(system);
  EXPECT_EQ(screen.width, 240);
  EXPECT_EQ(screen.height, 320);
  EXPECT_EQ(screen.flag, 0);
  EXPECT_EQ(SerialOf(system), "000000001234");

  system.realVolumeSerial = true;
  const std::string serial = SerialOf(system);
  EXPECT_EQ(serial.size(), 12u);
  EXPECT_EQ(serial.find_first_not_of("0123456789"), std::string::npos) << serial;
}

TEST(SystemTest, IdentityFromSoftkeysFile) {
  TScopedTempCwd cwd;
  TTestSystem system;
  WriteSoftkeys("[Keys]\r\nFakeModel=VX820\r\nPixelSize=2\r\nFakeSerial=00112233\r\n");
  EXPECT_EQ(ModelOf(system), "VX820");
  const TScreen screen = ScreenOf(system);
  EXPECT_EQ(screen.width, 256);
  EXPECT_EQ(screen.height, 128);
  EXPECT_EQ(SerialOf(system), "00112233");

  // Names match whatever their case, blanks around names and values go,
  // and keys of other sections are not seen.
  WriteSoftkeys("[Other]\nFakeSerial=1\n[ keys ]\n  fakemodel =  Model X  \n");
  EXPECT_EQ(ModelOf(system), "Model X");
  EXPECT_EQ(SerialOf(system), "000000001234");
  EXPECT_EQ(ScreenOf(system).width, 240);

  WriteSoftkeys("[Keys]\nFakeModel=" + std::string(80, 'm') + "\n");
  EXPECT_EQ(ModelOf(system), std::string(63, 'm'));
}

TEST(SystemTest, SystemNameFollowsStrncpy) {
  TTestSystem system;
  char name[12];
  std::memset(name, 'x', sizeof name);
  system.GetSystemName(name, 4);
  EXPECT_EQ(std::string(name, sizeof name), "PC sxxxxxxxx");
  system.GetSystemName(name, sizeof name);
  EXPECT_EQ(std::string(name, sizeof name), std::string("PC system\0\0\0", 12));
}

TEST(SystemTest, SetDateTimeRunsTheDateThenTheTimeCommand) {
  TTestSystem system;
  EXPECT_TRUE(system.SetDateTime(20240305, 90703).Succeeded());
  EXPECT_EQ(system.commands, (std::vector<std::string>{kSetDateCommand, kSetTimeCommand}));
}

TEST(SystemTest, DateAndTimeArePackedDecimals) {
  TTestSystem system;
  uint32_t date = 0;
  uint32_t time = 0;
  EXPECT_TRUE(system.GetDateTime(&date, &time).Succeeded());
  EXPECT_GE(date, 20240101u);
  EXPECT_GE(date % 10000 / 100, 1u);
  EXPECT_LE(date % 10000 / 100, 12u);
  EXPECT_GE(date % 100, 1u);
  EXPECT_LE(date % 100, 31u);
  EXPECT_LE(time / 10000, 23u);
  EXPECT_LE(time / 100 % 100, 59u);
  EXPECT_LE(time % 100, 60u);
  EXPECT_TRUE(system.GetDateTime(nullptr, nullptr).Succeeded());
}

TEST(SystemTest, InstallUpdateReplacesTheProgramOnlyWithACompleteNewCopy) {
  TSizesFileSystem programDirectory;
  TTestSystem system;
  system.appFileSystem = &programDirectory;
  system.modulePath = "C:\\POS/Tavo\\agent.exe";

  EXPECT_TRUE(system.InstallUpdate().Succeeded());
  programDirectory.sizes["agent.exe.new"] = 0;
  EXPECT_TRUE(system.InstallUpdate().Succeeded());
  EXPECT_TRUE(system.commands.empty());

  programDirectory.sizes["agent.exe.new"] = 4096;
  EXPECT_TRUE(system.InstallUpdate().Succeeded());
  const std::vector<std::string> expected{
      std::string(system.GetDeleteCommand()) + " agent.exe.old",
      std::string(system.GetRenameCommand()) + " agent.exe agent.exe.old",
      std::string(system.GetCopyCommand()) + " agent.exe.new agent.exe",
  };
  EXPECT_EQ(system.commands, expected);

  system.commands.clear();
  system.modulePath = "agent.exe";  // no directory: nothing can be placed
  EXPECT_EQ(system.InstallUpdate().GetCode(), RESULT_NOT_SUPPORTED);
  EXPECT_TRUE(system.commands.empty());
}

TEST(SystemTest, RandomNeedsABuffer) {
  TTestSystem system;
  EXPECT_EQ(system.GetRandom(nullptr).GetCode(), RESULT_INVALID_ARGUMENT);
  uint8_t bytes[8];
  EXPECT_TRUE(system.GetRandom(bytes).Succeeded());
}

TEST(SystemTest, DeviceLayerIsMadeOnFirstUseAndKept) {
  TTestSystem system;
  IDeviceLayer* layer = system.GetDeviceLayer();
  ASSERT_NE(layer, nullptr);
  EXPECT_EQ(system.GetDeviceLayer(), layer);
  EXPECT_NE(layer->GetDevice(DEVICE_ETHERNET, 0), nullptr);
}

TEST(SystemTest, OpenedFileSystemsGetTheirDirectoryBesideTheProgram) {
  char module[kMaxPath] = {};
  ASSERT_GT(GetCodeModulePath(module, sizeof module), 0u);
  const std::filesystem::path directory =
      std::filesystem::path(module).parent_path() / "sys_test_opened";
  std::filesystem::remove_all(directory);

  TScopedTempCwd elsewhere;  // the current directory does not matter
  TTestSystem system;
  IFileSystem* fileSystem = nullptr;
  ASSERT_TRUE(system.OpenFileSystem("sys_test_opened", &fileSystem).Succeeded());
  ASSERT_NE(fileSystem, nullptr);
  EXPECT_TRUE(std::filesystem::is_directory(directory));
  EXPECT_FALSE(std::filesystem::exists("sys_test_opened"));
  EXPECT_TRUE(system.CloseFileSystem(fileSystem).Succeeded());
  std::filesystem::remove_all(directory);
}

TEST(SystemTest, AccessorGivesOneSystem) {
  ISystem* system = GetSystem();
  ASSERT_NE(system, nullptr);
  EXPECT_EQ(GetSystem(), system);
  char name[16] = {};
  system->GetSystemName(name, sizeof name);
  EXPECT_STREQ(name, "PC system");
}

#if !TAVO_AGENT_BUILD
namespace {

class TCountingHandler : public IIdleHandler {
 public:
  void OnIdle() override {
    ++runs;
    if (nested) nested->ProcessIdle();
  }
  int runs = 0;
  ISystem* nested = nullptr;
};

}  // namespace

TEST(SystemTest, IdleRunsTheChainAndSkipsHandlersAlreadyRunning) {
  TTestSystem system;
  TCountingHandler first;
  TCountingHandler second;
  system.next = &first;
  first.next = &second;
  second.nested = &system;  // a waiting loop inside a handler

  system.ProcessIdle();
  EXPECT_EQ(system.idles, 1);
  EXPECT_EQ(first.runs, 1);
  EXPECT_EQ(second.runs, 1);

  system.ProcessIdle();  // the busy marks are gone after each turn
  EXPECT_EQ(system.idles, 2);
  EXPECT_EQ(second.runs, 2);
}

TEST(SystemTest, ActivityEndsAfterThirtySecondsWithoutSetActive) {
  fakeTicks = 100;
  TTestSystem system;
  system.MarkActive();
  system.MarkActive();
  system.SetActive(true);
  EXPECT_EQ(system.activity, (std::vector<bool>{true}));

  fakeTicks += 20000;
  system.SetActive(true);  // restarts the inactivity timer
  fakeTicks += 29999;
  system.ProcessIdle();
  EXPECT_TRUE(system.IsActive());

  fakeTicks += 1;
  system.ProcessIdle();
  system.ProcessIdle();
  EXPECT_FALSE(system.IsActive());
  EXPECT_EQ(system.activity, (std::vector<bool>{true, false}));

  system.SetActive(true);
  system.SetActive(false);
  EXPECT_EQ(system.activity, (std::vector<bool>{true, false, true, false}));
}
#endif
