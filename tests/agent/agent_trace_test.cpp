#include <gtest/gtest.h>
#include <algorithm>
#include <memory>
#include <string>
#include "../platform/files_testutil.h"
#include "agent_trace_file.h"

// The trace file on its own: where it goes, and how it stays bounded.

namespace {

// The number after "connection " in the first or last entry of a text.
unsigned long EntryNumber(const std::string& text, bool last) {
  const std::string mark = "connection ";
  const size_t at = last ? text.rfind(mark) : text.find(mark);
  return at == std::string::npos ? 0 : std::stoul(text.substr(at + mark.size()));
}

// Switched on for weeks, the trace floods its file with frames: it keeps two
// files of at most 1 MiB, the newest entries in agent-trace.txt and the ones
// before them in agent-trace.1.txt, every entry whole and none lost between
// the two. A program folder that cannot be written leaves the trace to the
// working directory; one that can be written is preferred.
TEST(AgentTraceFile, FloodKeepsTwoFilesOfAtMostOneMiBWithTheNewestEntries) {
  std::unique_ptr<IFileSystem> missing(NewPlatformFileSystem("no-such-folder-for-the-trace"));
  TFilesTempDir working;
  {
    TAgentTraceFile trace(missing.get(), &working.Files());
    trace.SetLevel(2);
    uint8_t frame[260];
    for (size_t i = 0; i < sizeof frame; ++i) frame[i] = static_cast<uint8_t>(i);
    // About 1.2 KiB a round: three times round the two files.
    const uint32_t rounds = 3000;
    for (uint32_t id = 1; id <= rounds; ++id) {
      trace.ConnectAsked(id, 0x0A000001, 443);
      trace.Frame(id % 2 == 0, frame, sizeof frame);
    }
    std::vector<std::string> names = working.List();
    std::sort(names.begin(), names.end());
    ASSERT_EQ((std::vector<std::string>{"agent-trace.1.txt", "agent-trace.txt"}), names);
    const std::string newest = working.Read("agent-trace.txt");
    const std::string older = working.Read("agent-trace.1.txt");
    EXPECT_LE(newest.size(), TAgentTraceFile::kFileLimit);
    EXPECT_LE(older.size(), TAgentTraceFile::kFileLimit);
    EXPECT_GT(older.size(), TAgentTraceFile::kFileLimit - 2048) << "a file is full before the next begins";
    EXPECT_EQ(rounds, EntryNumber(newest, true));
    EXPECT_EQ(EntryNumber(older, true) + 1, EntryNumber(newest, false)) << "no entry lost between the files";
    for (const std::string* text : {&newest, &older}) {
      EXPECT_EQ(' ', (*text)[18]) << "begins with a timestamped entry";
      EXPECT_EQ("\r\n", text->substr(text->size() - 2)) << "ends with a whole entry";
    }
  }
  TFilesTempDir program;
  TAgentTraceFile trace(&program.Files(), &working.Files());
  trace.SetLevel(1);
  trace.AgentStops();
  EXPECT_NE(std::string::npos, program.Read("agent-trace.txt").find("agent stops"));

  // An engineer deletes the trace to start afresh (or, where the system
  // will not delete a file held open, empties it): the next read of the
  // settings begins a new file.
  if (!program.Files().Remove("agent-trace.txt").Succeeded()) {
    std::unique_ptr<IFileWritable>(program.Files().OpenWrite("agent-trace.txt", OPEN_CREATE_TRUNCATE));
  }
  trace.SetLevel(1);
  trace.ResetSent();
  const std::string fresh = program.Read("agent-trace.txt");
  EXPECT_NE(std::string::npos, fresh.find("trace on again, level 1"));
  EXPECT_NE(std::string::npos, fresh.find("reset sent"));
  EXPECT_EQ(std::string::npos, fresh.find("agent stops"));
}

}  // namespace
