// The PIN pad simulator against the real agent, over the line emulator's
// cable at 115200 baud: what it asks for works even when it damages frames
// and adds line noise, its exchanges come back whole, and it says by its
// exit status whether it got what it asked for.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>
#include "agent_process.h"
#include "posix_tcp_peer.h"

namespace {

constexpr int kWaitMs = 20000;

// Two pseudo-terminals joined by the line emulator, which keeps the time of
// a 115200 baud line.
class TCable {
 public:
  TCable() {
    pid_ = fork();
    if (pid_ == 0) {
      const std::string emulator = TestProgramDirectory() + "/line-emulator";
      const int quiet = open("/dev/null", O_WRONLY);
      dup2(quiet, STDOUT_FILENO);
      execl(emulator.c_str(), emulator.c_str(), Near().c_str(), Far().c_str(), static_cast<char*>(nullptr));
      _exit(127);
    }
    for (int i = 0; i < 200 && !(std::filesystem::exists(Near()) && std::filesystem::exists(Far())); ++i) {
      usleep(50000);
    }
  }
  ~TCable() {
    kill(pid_, SIGTERM);
    waitpid(pid_, nullptr, 0);
  }
  std::string Near() const { return folder_.Path() + "/near"; }
  std::string Far() const { return folder_.Path() + "/far"; }

 private:
  TAgentFolder folder_{"e2e-cable"};
  pid_t pid_ = -1;
};

struct TSimulatorRun {
  int exitCode = -1;
  std::string output;
};

TSimulatorRun RunSimulator(const std::vector<std::string>& arguments) {
  const std::string output = std::filesystem::temp_directory_path() / ("pinpad-sim-" + std::to_string(getpid()));
  std::vector<std::string> all = {TestProgramDirectory() + "/pinpad-sim", "--output", output};
  all.insert(all.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv;
  for (std::string& argument : all) argv.push_back(&argument[0]);
  argv.push_back(nullptr);
  TSimulatorRun run;
  const pid_t child = fork();
  if (child == 0) {
    execv(argv[0], argv.data());
    _exit(127);
  }
  int status = 0;
  waitpid(child, &status, 0);
  run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  std::ifstream in(output, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  run.output = bytes.str();
  std::filesystem::remove(output);
  return run;
}

TEST(SimulatorEndToEnd, RelaysThroughFaultsAndReportsWhatHappened) {
  TCable cable;
  ASSERT_TRUE(std::filesystem::exists(cable.Far())) << "the emulator made no cable";
  TAgentFolder folder("e2e-sim-agent");
  folder.WriteFile("agent.ini", "Enabled=1\r\n");
  folder.WriteFile("pinpad.ini", "ComPort=5\r\n");
  std::filesystem::create_directory(folder.Path() + "/ports");
  std::filesystem::create_symlink(cable.Near(), folder.Path() + "/ports/com5");
  TAgentProcess agent(folder, "run");

  TTcpListener host;
  const std::string port = "127.0.0.1:" + std::to_string(host.Port());
  std::thread echo([&host] {
    const int peer = host.Accept(kWaitMs);
    if (peer < 0) return;
    const std::string line = ReadBytes(peer, 9, kWaitMs);
    WriteBytes(peer, line);
    PeerCloses(peer, kWaitMs);
    close(peer);
  });
  const TSimulatorRun echoed = RunSimulator({"--bad-crc", "2", "--noise", "9", "--close-after-quiet", "500",
                                             cable.Far(), "connect", port, "noisy\\r\\nok"});
  echo.join();
  EXPECT_EQ(0, echoed.exitCode);
  EXPECT_EQ("noisy\r\nok", echoed.output);

  // A reset in the middle: the host sees the first part, then the end.
  std::string partial;
  bool closed = false;
  std::thread sink([&] {
    const int peer = host.Accept(kWaitMs);
    if (peer < 0) return;
    partial = ReadBytes(peer, 4, kWaitMs);
    closed = PeerCloses(peer, kWaitMs);
    close(peer);
  });
  const TSimulatorRun reset = RunSimulator({"--reset-after", "4", cable.Far(), "connect", port, "12345678"});
  sink.join();
  EXPECT_EQ(0, reset.exitCode);
  EXPECT_EQ("1234", partial);
  EXPECT_TRUE(closed);

  // Requests one at a time, each echoed whole before the next goes; two
  // connections one after the other on the same link.
  std::thread echoAll([&host] {
    for (int connection = 0; connection < 2; ++connection) {
      const int peer = host.Accept(kWaitMs);
      if (peer < 0) return;
      for (std::string part; !(part = ReadBytes(peer, 1, kWaitMs)).empty();) WriteBytes(peer, part);
      close(peer);
    }
  });
  const TSimulatorRun exchanges =
      RunSimulator({"--connections", "2", "--exchanges", "3x64,300", cable.Far(), "connect", port});
  echoAll.join();
  EXPECT_EQ(0, exchanges.exitCode);
  std::string stream;
  for (size_t i = 0; i < 2 * (3 * 64 + 300); ++i) stream += static_cast<char>('a' + i % 26);
  EXPECT_EQ(stream, exchanges.output);

  const TSimulatorRun refused =
      RunSimulator({cable.Far(), "connect", "127.0.0.1:" + std::to_string(UnusedPort()), "x"});
  EXPECT_EQ(1, refused.exitCode);
}

}  // namespace
