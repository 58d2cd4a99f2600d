#include <gtest/gtest.h>

#include <cctype>
#include <memory>
#include <string>
#include <vector>

#include "build_flavour.h"
#include "log/logger_to_file.h"
#include "log_testutil.h"
#include "net/socket_connection.h"
#include "net/socket_interface.h"
#include "socket_testutil.h"

namespace {

bool IsSocketLogName(const std::string& name) {
  if (name.size() != 18 || name.compare(0, 4, "sock") != 0 || name.compare(14, 4, ".txt") != 0) {
    return false;
  }
  for (size_t i = 4; i < 14; ++i) {
    if (!std::isdigit(static_cast<unsigned char>(name[i]))) return false;
  }
  return true;
}

std::string Untimed(const TLogEvent& event) { return FormatLogEntry(event, 0, 0).substr(15); }

TEST(SocketInterface, ResolvesHostNamesInTheUpdatersBuildOnly) {
  std::unique_ptr<INetworkInterface> network(NewPlatformEthernetInterface(nullptr));
  network->Open();
  IpAddress resolved = 0;
  TResult result = network->ResolveHost("localhost", &resolved);
  if (kAgentBuild) {
    EXPECT_EQ(result.GetCode(), RESULT_NOT_SUPPORTED);
  } else {
    EXPECT_TRUE(result.Succeeded()) << result.GetCode();
    EXPECT_EQ(resolved, kLoopback);
  }
  EXPECT_EQ(network->Control(1).GetCode(), RESULT_NOT_SUPPORTED);
  network->Close();
}

TEST(SocketInterface, IpConfigIsPlausibleOrNotSupported) {
  std::unique_ptr<INetworkInterface> network(NewPlatformEthernetInterface(nullptr));
  network->Open();
  TIpConfig config;
  TResult result = network->GetIpConfig(&config);
  if (result.Succeeded()) {
    EXPECT_NE(config.address, 0u);
    EXPECT_NE(config.address >> 24, 127u) << "loopback is not the PC's address";
    // A mask is a run of ones followed by zeros, and a gateway sits in the
    // interface's own network; both fail if an octet order is mixed up.
    uint32_t hostBits = ~config.mask;
    EXPECT_EQ(hostBits & (hostBits + 1), 0u) << std::hex << config.mask;
    if (config.gateway != 0) {
      EXPECT_EQ(config.gateway & config.mask, config.address & config.mask) << std::hex << config.gateway;
    }
  } else {
    EXPECT_EQ(result.GetCode(), RESULT_NOT_SUPPORTED);
  }
  network->Close();
}

TEST(SocketInterface, TraceFlagDecidesWhetherConnectionsKeepLogFiles) {
  TScratchFileSystem scratch("socket-trace");
  std::unique_ptr<INetworkInterface> network(NewPlatformEthernetInterface(scratch.get()));
  network->Open();
  auto* sockets = dynamic_cast<TSocketInterface*>(network.get());
  ASSERT_NE(sockets, nullptr);

  {
    TConnectedPair quiet = ConnectPair(network.get());
    ASSERT_NE(quiet.server, nullptr);
    ASSERT_TRUE(PollUntil([&] { return quiet.client->Send("hush", 4) != 0; }));
  }
  EXPECT_TRUE(scratch.FileNames().empty());

  sockets->SetTraceFlag(true);
  std::string clientLog, serverLog;
  {
    TConnectedPair traced = ConnectPair(network.get());
    ASSERT_NE(traced.server, nullptr);
    clientLog = dynamic_cast<TSocketConnection*>(traced.client.get())->GetFileName();
    serverLog = dynamic_cast<TSocketConnection*>(traced.server.get())->GetFileName();
    ASSERT_TRUE(PollUntil([&] { return traced.client->Send("ping", 4) != 0; }));
  }
  network->Close();

  EXPECT_TRUE(IsSocketLogName(clientLog)) << clientLog;
  EXPECT_TRUE(IsSocketLogName(serverLog)) << serverLog;
  std::string client = scratch.Read(clientLog);
  EXPECT_NE(client.find(Untimed(T_LE_Connected())), std::string::npos) << client;
  EXPECT_NE(client.find(Untimed(T_LE_Sent("ping", 4))), std::string::npos) << client;
  std::string closing = Untimed(T_LE_Disconnected());
  ASSERT_GE(client.size(), closing.size());
  EXPECT_EQ(client.compare(client.size() - closing.size(), closing.size(), closing), 0) << client;
  EXPECT_NE(scratch.Read(serverLog).find(Untimed(T_LE_Connected("127.0.0.1"))), std::string::npos);
}

}  // namespace
