#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "fake_updater_system.h"
#include "file_list.h"
#include "http/http_client.h"

// Whole update runs on a machine in memory (fakes/): what the updater does
// to an installation when the disk fills, a rename is refused or the
// connection breaks at any point.
namespace {

using TFiles = TFakeUpdateServer::TFiles;

std::string Bytes(size_t size, uint32_t variant) {
  std::string bytes(size, '\0');
  for (char& byte : bytes) {
    variant = variant * 1103515245u + 12345u;
    byte = static_cast<char>(variant >> 16);
  }
  return bytes;
}

// Two releases in which every file differs: a large one written in several
// pieces, and a program file staged under a ".new" name.
struct TRelease {
  TFiles ecr;
  TFiles update;
};

TRelease MakeRelease(uint32_t variant) {
  const std::string keys = "[Keys]\r\nF" + std::to_string(variant) + "\r\n";
  return TRelease{{{"ECRDRV.BIN", Bytes(5000, variant)}, {"agent.exe.new", Bytes(70000, variant + 1)}},
                  {{"big.bin", Bytes(300000, variant + 2)}, {"softkeys.ini", keys}}};
}

const TRelease kOld = MakeRelease(1);
const TRelease kNew = MakeRelease(2);

void Offer(TFakeInstallation& fake, const TRelease& release) {
  fake.server.ecrFiles = release.ecr;
  fake.server.updateFiles = release.update;
}

// An installation at the old release whose server offers the new one; the
// fault counters start from here.
void InstallOld(TFakeInstallation& fake) {
  Offer(fake, kOld);
  ASSERT_EQ(fake.Run(), 0);
  Offer(fake, kNew);
  fake.disk.writes = 0;
  fake.disk.renames = 0;
  fake.disk.namesRefusedWrite.clear();
}

// Every file whole in one release or the other, the lists whole, and no
// work file left behind but the start of a new file that broke off, with
// the note naming it.
void ExpectEachFileOldOrNew(const TFakeInstallation& fake, const std::string& what) {
  const auto expect = [&](const std::string& path, const std::string& old, const std::string& fresh) {
    const auto found = fake.disk.files.find(path);
    ASSERT_NE(found, fake.disk.files.end()) << what << ": " << path << " missing";
    EXPECT_TRUE(found->second == old || found->second == fresh) << what << ": " << path << " is neither version";
  };
  for (const auto& file : kNew.ecr) expect(file.first, kOld.ecr.at(file.first), file.second);
  for (const auto& file : kNew.update) expect("Update/" + file.first, kOld.update.at(file.first), file.second);
  // Both releases list the same names.
  expect("filelist.txt", "ECRDRV.BIN\r\nagent.exe.new\r\n", "ECRDRV.BIN\r\nagent.exe.new\r\n");
  expect("Update/filelist.txt", "big.bin\r\nsoftkeys.ini\r\n", "big.bin\r\nsoftkeys.ini\r\n");
  for (const auto& file : fake.disk.files) {
    EXPECT_EQ(file.first.find(".tmp"), std::string::npos) << what << ": " << file.first << " left";
    EXPECT_EQ(file.first.find("TMP.TMP"), std::string::npos) << what << ": " << file.first << " left";
    const size_t part = file.first.find("PART.TMP");
    if (part == std::string::npos) continue;
    const std::string folder = file.first.substr(0, part);
    const auto note = fake.disk.files.find(folder + "PART.PRT");
    ASSERT_NE(note, fake.disk.files.end()) << what << ": " << file.first << " kept without its note";
    const std::string name = note->second.substr(note->second.rfind(' ') + 1, std::string::npos);
    const TFiles& release = folder.empty() ? kNew.ecr : kNew.update;
    const auto listed = release.find(name.substr(0, name.size() - 2));
    ASSERT_NE(listed, release.end()) << what << ": the note names " << note->second;
    EXPECT_EQ(listed->second.compare(0, file.second.size(), file.second), 0) << what << ": the part kept is not the file's";
  }
}

// Downloads that asked for the rest of a file.
size_t ResumedDownloads(const TFakeInstallation& fake, size_t fromRequest) {
  size_t resumed = 0;
  for (size_t i = fromRequest; i < fake.server.requests.size(); ++i) {
    resumed += fake.server.requests[i].find("\r\nRange: bytes=") != std::string::npos;
  }
  return resumed;
}

void ExpectAllNew(const TFakeInstallation& fake, const std::string& what) {
  for (const auto& file : kNew.ecr) EXPECT_EQ(fake.disk.files.at(file.first), file.second) << what;
  for (const auto& file : kNew.update) EXPECT_EQ(fake.disk.files.at("Update/" + file.first), file.second) << what;
}

TEST(FakeInstallation, AWholeRunReachesOnlyTheMachineItIsGiven) {
  TFakeInstallation fake;
  Offer(fake, kNew);
  ASSERT_EQ(fake.Run(), 0);
  ExpectAllNew(fake, "first run");
  EXPECT_EQ(fake.disk.files.at("filelist.txt"), "ECRDRV.BIN\r\nagent.exe.new\r\n");
  ASSERT_EQ(fake.server.requests.size(), 5u);
  const std::string post =
      "POST /tavo2-web/block1 HTTP/1.1\r\nHost: 10.0.0.5\r\nConnection: keep-alive\r\nUser-Agent: TERMINAL\r\n";
  EXPECT_EQ(fake.server.requests[0].substr(0, post.size()), post);
  EXPECT_EQ(fake.server.requests[1].substr(0, fake.server.requests[1].find("\r\n")),
            "GET /tavo2-web/getFile/block1?name=ECRDRV.BIN&terminalSN=12345678&ECR=1 HTTP/1.1");
  const std::string& trace = fake.disk.files.at("qetrace.txt");
  EXPECT_EQ(trace.compare(0, 23, "SN:12345678, MODEL:T1\r\n"), 0) << trace.substr(0, 100);
  EXPECT_NE(trace.find("Connecting to http://10.0.0.5:8080/tavo2-web/block1, result=0\n\n"), std::string::npos);

  // Up to date: the exchange alone.
  ASSERT_EQ(fake.Run(), 0);
  EXPECT_EQ(fake.network.Connections(), 6u);

  // A server that never answers costs the status line's time-out on the
  // fake clock only.
  fake.network.silentFromConnection = 7;
  const uint64_t before = fake.system.Now();
  EXPECT_EQ(fake.Run(), RESULT_HTTP_BAD_LINE);
  EXPECT_GE(fake.system.Now() - before, 15000u);
}

// What an update of the old installation without faults does, counted by
// the caller: how many writes, renames or answer bytes a fault can strike.
template <typename Count>
auto CountInCleanRun(Count count) {
  TFakeInstallation fake;
  InstallOld(fake);
  const uint64_t answeredBefore = fake.network.BytesAnswered();
  EXPECT_EQ(fake.Run(), 0);
  return count(fake, answeredBefore);
}

// A download whose server goes silent in mid-body ends at the server's
// close or, without one, once the body has stalled for 90 s; and no later:
// waits pass time on the fake clock, so a wait longer than what its limits
// leave, or one that sleeps through the close, shows in the time taken.
TEST(UpdateUnderFaults, AStalledDownloadEndsAtTheServersCloseOrAtItsStallTime) {
  const uint64_t answered = CountInCleanRun(
      [](TFakeInstallation& fake, uint64_t answeredBefore) { return fake.network.BytesAnswered() - answeredBefore; });
  for (const uint32_t closeAfter : {20000u, 0u}) {
    TFakeInstallation fake;
    InstallOld(fake);
    fake.network.stallAtByte = fake.network.BytesAnswered() + answered / 2;
    fake.network.closeAfterStall = closeAfter;
    const uint64_t before = fake.system.Now();
    const std::string what = closeAfter ? "closed after the stall" : "silent for good";
    EXPECT_EQ(fake.Run(), RESULT_HTTP_TRANSFER_FAILED) << what;
    const uint64_t limit = closeAfter ? closeAfter : 90000;
    EXPECT_GE(fake.system.Now() - before, limit) << what;
    EXPECT_LT(fake.system.Now() - before, limit + 1000) << what;
    ExpectEachFileOldOrNew(fake, what);
  }
}

TEST(UpdateUnderFaults, AFullDiskAtAnyWriteLeavesEveryFileOldOrNewAndIsReported) {
  const uint32_t writes = CountInCleanRun([](TFakeInstallation& fake, uint64_t) { return fake.disk.writes; });
  for (uint32_t full = 1; full <= writes; ++full) {
    TFakeInstallation fake;
    InstallOld(fake);
    fake.disk.faults.fullFromWrite = full;
    const int32_t result = fake.Run();
    const std::string what = "disk full from write " + std::to_string(full);
    ExpectEachFileOldOrNew(fake, what);
    // A command that met the full disk cannot write its list either, which
    // is what it reports; a trace that loses entries changes nothing.
    bool onlyTheTrace = true;
    for (const std::string& name : fake.disk.namesRefusedWrite) onlyTheTrace = onlyTheTrace && name == "qetrace.txt";
    EXPECT_EQ(result, onlyTheTrace ? 0 : RESULT_FILE_LIST_SAVE_FAILED) << what;
    fake.disk.faults.fullFromWrite = 0;
    EXPECT_EQ(fake.Run(), 0) << what << ", then room again";
    ExpectAllNew(fake, what + ", then room again");
  }
}

TEST(UpdateUnderFaults, ARefusedRenameKeepsTheOldFileAndIsReported) {
  const uint32_t renames = CountInCleanRun([](TFakeInstallation& fake, uint64_t) { return fake.disk.renames; });
  for (uint32_t refused = 1; refused <= renames; ++refused) {
    TFakeInstallation fake;
    InstallOld(fake);
    fake.disk.faults.refusedRename = refused;
    const int32_t result = fake.Run();
    const std::string what = "rename " + std::to_string(refused) + " refused";
    EXPECT_TRUE(result == RESULT_FILE_MOVE_FAILED || result == RESULT_FILE_LIST_SAVE_FAILED) << what << ": " << result;
    ExpectEachFileOldOrNew(fake, what);
    EXPECT_EQ(fake.Run(), 0) << what << ", then allowed";
    ExpectAllNew(fake, what + ", then allowed");
  }
}

TEST(UpdateUnderFaults, AConnectionResetAtAnyByteLeavesEveryFileOldOrNew) {
  const uint64_t answered = CountInCleanRun(
      [](TFakeInstallation& fake, uint64_t before) { return fake.network.BytesAnswered() - before; });
  // Every byte of the exchange's answer and of each head, a spread of body
  // bytes.
  size_t continued = 0;
  for (uint64_t reset = 1; reset <= answered; reset += reset < 1200 ? 1 : 4099) {
    TFakeInstallation fake;
    InstallOld(fake);
    fake.network.resetAtByte = fake.network.BytesAnswered() + reset;
    const int32_t result = fake.Run();
    const std::string what = "reset at byte " + std::to_string(reset);
    EXPECT_TRUE(result == RESULT_HTTP_TRANSFER_FAILED || result == RESULT_HTTP_BAD_LINE) << what << ": " << result;
    ExpectEachFileOldOrNew(fake, what);
    // The next run continues a download that broke off in its body (and
    // starts afresh after some of the breaks in a head).
    const bool kept = fake.disk.files.count("PART.TMP") + fake.disk.files.count("Update/PART.TMP") > 0;
    if (!kept && reset % 100 != 0) continue;
    continued += kept;
    fake.network.resetAtByte = 0;
    const size_t requestsBefore = fake.server.requests.size();
    EXPECT_EQ(fake.Run(), 0) << what << ", then a whole connection";
    ExpectAllNew(fake, what + ", then a whole connection");
    EXPECT_EQ(ResumedDownloads(fake, requestsBefore), kept ? 1u : 0u) << what;
    for (const auto& file : fake.disk.files) {
      EXPECT_TRUE(file.first.find("PART.") == std::string::npos && file.first.find(".PRT") == std::string::npos)
          << what << ": " << file.first << " left after the whole run";
    }
  }
  EXPECT_GT(continued, 50u) << "breaks in a body keep what arrived";
}

// The exchange's answer for commands listing (target, files) in turn.
std::string AnswerListing(const std::vector<std::pair<std::string, TFiles>>& commands) {
  std::string listed;
  for (const auto& command : commands) {
    listed += (listed.empty() ? "" : ",") + TFakeUpdateServer::CheckFiles(command.first, command.second);
  }
  return "{\"body\":{\"COMMANDS\":[" + listed + "]},\"success\":true}";
}

TEST(UpdateUnderFaults, APartStaysForTheCommandThatListsItsFileAndGoesWhenNoneDoes) {
  for (const bool listedAgain : {true, false}) {
    TFakeInstallation fake;
    InstallOld(fake);
    // Into the body of big.bin, the first of the Update folder's downloads.
    fake.network.resetAtByte = fake.network.BytesAnswered() + 5000 + 70000 + 150000;
    fake.Run();
    ASSERT_EQ(fake.disk.files.count("Update/PART.TMP"), 1u) << "no part kept of big.bin";
    fake.network.resetAtByte = 0;
    const size_t requestsBefore = fake.server.requests.size();
    // Another command for the same folder comes first and does not list it.
    const TFiles keys{{"softkeys.ini", kNew.update.at("softkeys.ini")}};
    const TFiles big{{"big.bin", kNew.update.at("big.bin")}};
    fake.server.scriptedAnswer = listedAgain ? AnswerListing({{"ECR", kNew.ecr}, {"CONF", keys}, {"UPDATE", big}})
                                             : AnswerListing({{"ECR", kNew.ecr}, {"CONF", keys}});
    EXPECT_EQ(fake.Run(), 0);
    EXPECT_EQ(ResumedDownloads(fake, requestsBefore), listedAgain ? 1u : 0u);
    EXPECT_EQ(fake.disk.files.count("Update/PART.TMP") + fake.disk.files.count("Update/PART.PRT"), 0u)
        << (listedAgain ? "the part was not used" : "a part that no command lists stays");
    if (listedAgain) ExpectAllNew(fake, "the part's command after another one");
  }
}

}  // namespace
