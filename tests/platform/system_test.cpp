#include <gtest/gtest.h>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>
#include "system/system.h"
#include "system_testutil.h"

namespace {

// The platform's system object with its outward effects caught: shell
// commands are recorded instead of run (nothing sets the clock or replaces
// a program); timers run on the fake counter; the volume serial and the
// module path can be given.
class TTestSystem : public TPlatformSystem {
 public:
  void Idle() override {
    ++idles;
    TPlatformSystem::Idle();
  }
  ITimer* CreateTimer(uint32_t milliseconds) override { return new TPCTimer(milliseconds, ReadFakeTicks); }
  uint32_t GetModuleFileName(char* buffer, uint32_t size) override {
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
  std::string modulePath;

 protected:
  void RunShellCommand(const std::string& command) override { commands.push_back(command); }
  uint32_t GetVolumeSerial() override { return realVolumeSerial ? TPlatformSystem::GetVolumeSerial() : 1234; }
};

void WriteFile(const std::filesystem::path& path, const std::string& text) {
  std::ofstream file(path, std::ios::binary);
  file << text;
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

std::string ScreenOf(ISystem& system) {
  uint16_t width = 0;
  uint16_t height = 0;
  uint8_t flag = 0xFF;
  system.GetScreenSize(&width, &height, &flag);
  return std::to_string(width) + "x" + std::to_string(height) + "/" + std::to_string(flag);
}

// The directory the program's file system is rooted at, with its separator.
std::string ModuleDirectory() {
  char module[kMaxPath] = {};
  GetCodeModulePath(module, sizeof module);
  const std::string path = module;
  return path.substr(0, path.find_last_of("/\\") + 1);
}

}  // namespace

TEST(SystemTest, IdentityComesFromSoftkeysInTheCurrentDirectory) {
  TScopedTempCwd cwd;
  TTestSystem system;
  EXPECT_EQ(ModelOf(system), "WIN32");
  EXPECT_EQ(ScreenOf(system), "240x320/0");
  EXPECT_EQ(SerialOf(system), "000000001234");
  system.realVolumeSerial = true;
  const std::string serial = SerialOf(system);
  EXPECT_EQ(serial.size(), 12u);
  EXPECT_EQ(serial.find_first_not_of("0123456789"), std::string::npos) << serial;

  WriteFile("softkeys.ini", "[Keys]\r\nFakeModel=VX820\r\nPixelSize=2\r\nFakeSerial=\"00112233\"\r\n");
  EXPECT_EQ(ModelOf(system), "VX820");
  EXPECT_EQ(ScreenOf(system), "256x128/0");
  EXPECT_EQ(SerialOf(system), "00112233");

  // Names match whatever their case, blanks around names and values go,
  // keys of other sections are not seen, values are cut to 63 characters.
  WriteFile("softkeys.ini", "[Other]\nFakeSerial=1\n[ keys ]\n  fakemodel =  Model X  \nFakeSerial=" +
                                std::string(80, '7') + "\n");
  EXPECT_EQ(ModelOf(system), "Model X");
  EXPECT_EQ(SerialOf(system), std::string(63, '7'));
  EXPECT_EQ(ScreenOf(system), "240x320/0");
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

TEST(SystemTest, ClockIsSetByTheDateThenTheTimeCommand) {
  TTestSystem system;
  EXPECT_TRUE(system.SetDateTime(20240305, 90703).Succeeded());
  EXPECT_EQ(system.commands, (std::vector<std::string>{kSetDateCommand, kSetTimeCommand}));

  uint32_t date = 0;
  uint32_t time = 0;
  EXPECT_TRUE(system.GetDateTime(&date, &time).Succeeded());
  EXPECT_GE(date, 20240101u);
  EXPECT_TRUE(date % 10000 / 100 >= 1 && date % 10000 / 100 <= 12 && date % 100 >= 1) << date;
  EXPECT_TRUE(time / 10000 <= 23 && time / 100 % 100 <= 59) << time;
}

TEST(SystemTest, InstallUpdateReplacesTheProgramOnlyWithACompleteNewCopy) {
  const std::string directory = ModuleDirectory();
  ASSERT_FALSE(directory.empty());
  TTestSystem system;
  // Both flavours' test programs run at once in one folder: one name each.
  const std::string probe = kAgentBuild ? "sys_probe_agent" : "sys_probe_updater";
  system.modulePath = directory + probe;
  const std::string fresh = directory + probe + ".new";

  std::filesystem::remove(fresh);
  EXPECT_TRUE(system.InstallUpdate().Succeeded());
  WriteFile(fresh, "");
  EXPECT_TRUE(system.InstallUpdate().Succeeded());
  EXPECT_TRUE(system.commands.empty());

  WriteFile(fresh, "program");
  EXPECT_TRUE(system.InstallUpdate().Succeeded());
  std::filesystem::remove(fresh);
  const std::vector<std::string> expected{
      std::string(system.GetDeleteCommand()) + " " + probe + ".old",
      std::string(system.GetRenameCommand()) + " " + probe + " " + probe + ".old",
      std::string(system.GetCopyCommand()) + " " + probe + ".new " + probe,
  };
  EXPECT_EQ(system.commands, expected);

  system.commands.clear();
  system.modulePath = probe;  // no directory: nothing can be placed
  EXPECT_EQ(system.InstallUpdate().GetCode(), RESULT_NOT_SUPPORTED);
  EXPECT_TRUE(system.commands.empty());
  EXPECT_EQ(system.GetRandom(nullptr).GetCode(), RESULT_INVALID_ARGUMENT);
}

TEST(SystemTest, OpenedFileSystemsGetTheirDirectoryBesideTheProgram) {
  const std::string name = kAgentBuild ? "sys_opened_agent" : "sys_opened_updater";
  const std::filesystem::path directory = ModuleDirectory() + name;
  std::filesystem::remove_all(directory);
  TScopedTempCwd elsewhere;  // the current directory does not matter
  TTestSystem system;
  IFileSystem* fileSystem = nullptr;
  ASSERT_TRUE(system.OpenFileSystem(name.c_str(), &fileSystem).Succeeded());
  ASSERT_NE(fileSystem, nullptr);
  EXPECT_TRUE(std::filesystem::is_directory(directory));
  EXPECT_FALSE(std::filesystem::exists(name));
  EXPECT_TRUE(system.CloseFileSystem(fileSystem).Succeeded());
  std::filesystem::remove_all(directory);
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

TEST(SystemTest, ActivityEndsThirtySecondsAfterTheLastSetActive) {
  fakeTicks = 100;
  TTestSystem system;
  system.MarkActive();
  system.SetActive(true);
  fakeTicks += 20000;
  system.SetActive(true);  // restarts the inactivity timer
  fakeTicks += 29999;
  system.ProcessIdle();
  EXPECT_TRUE(system.IsActive());
  fakeTicks += 1;
  system.ProcessIdle();
  system.ProcessIdle();
  EXPECT_FALSE(system.IsActive());
  system.SetActive(true);
  system.SetActive(false);
  EXPECT_EQ(system.activity, (std::vector<bool>{true, false, true, false}));
}
#endif
