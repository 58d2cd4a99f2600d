#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <memory>

#include "files_testutil.h"

namespace {

// A program file put in place by a rename gets what a copy onto its name
// would have given it: whoever may read it may run it.
TEST(PosixFileSystem, ReplaceOntoAProgramFileNameLetsItsReadersRunIt) {
  TFilesTempDir dir;
  dir.Write("TMP.TMP", "#!/bin/sh\n");
  ASSERT_EQ(chmod(dir.Path("TMP.TMP").c_str(), 0640), 0);
  ASSERT_TRUE(dir.Files().Replace("TMP.TMP", "agent.new.new").Succeeded());
  struct stat status;
  ASSERT_EQ(stat(dir.Path("agent.new.new").c_str(), &status), 0);
  EXPECT_EQ(status.st_mode & 07777, 0750u);

  dir.Write("TMP.TMP", "data");
  ASSERT_EQ(chmod(dir.Path("TMP.TMP").c_str(), 0644), 0);
  ASSERT_TRUE(dir.Files().Replace("TMP.TMP", "data.bin").Succeeded());
  ASSERT_EQ(stat(dir.Path("data.bin").c_str(), &status), 0);
  EXPECT_EQ(status.st_mode & 07777, 0644u);
}

// The updater may run as root in a folder that others write in: it writes
// through nobody's link to a file elsewhere, and reads no pipe or device
// (which would never end).
TEST(PosixFileSystem, TheUpdaterWritesOnlyItsOwnPlainFiles) {
  if (kAgentBuild) GTEST_SKIP() << "the agent's files follow the system's rules";
  TFilesTempDir dir;
  TFilesTempDir elsewhere;
  elsewhere.Write("victim", "keep");
  ASSERT_EQ(symlink(elsewhere.Path("victim").c_str(), dir.Path("TMP.TMP").c_str()), 0);
  ASSERT_EQ(link(elsewhere.Path("victim").c_str(), dir.Path("filelist.tmp").c_str()), 0);
  ASSERT_EQ(mkfifo(dir.Path("pipe").c_str(), 0600), 0);
  for (const char* name : {"TMP.TMP", "filelist.tmp"}) {
    std::unique_ptr<IFileWritable> file(dir.Files().OpenWrite(name, OPEN_CREATE_TRUNCATE));
    EXPECT_FALSE(file) << name;
  }
  EXPECT_FALSE(std::unique_ptr<IFileReadable>(dir.Files().OpenRead("pipe")));
  EXPECT_EQ(elsewhere.Read("victim"), "keep");

  dir.Write("own.bin", "mine");
  std::unique_ptr<IFileWritable> own(dir.Files().OpenWrite("own.bin", OPEN_CREATE_TRUNCATE));
  ASSERT_TRUE(own);
  EXPECT_EQ(own->GetSize(), 0u);
}

}  // namespace
