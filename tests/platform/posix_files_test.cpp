#include <gtest/gtest.h>
#include <sys/stat.h>

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

}  // namespace
