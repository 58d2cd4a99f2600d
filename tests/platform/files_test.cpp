#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>

#include "build_flavour.h"
#include "files/file.h"
#include "files/file_system.h"
#include "files_testutil.h"

namespace {

using Files = std::unique_ptr<IFileWritable>;

// Only the path building of the portable file system; no file is touched.
class TPathsOnly : public TPCFileSystem {
 public:
  using TPCFileSystem::TPCFileSystem;
  uint32_t GetFreeSpace() override { return 0; }
  uint32_t GetFileSize(const char*) override { return 0; }
};

std::string PathOf(TPCFileSystem& files, const char* name) {
  char buffer[kMaxPath];
  return files.MakePath(buffer, name);
}

int32_t WriteText(IFileWritable& file, const std::string& text) {
  return file.Write(text.data(), static_cast<uint32_t>(text.size()));
}

TEST(FileSystemPaths, NamesJoinTheRootUnlessTheRootIsEmpty) {
  TPathsOnly rooted("/srv/root");
  EXPECT_EQ(PathOf(rooted, "a/b.txt"), "/srv/root/a/b.txt");
  TPathsOnly bare("");
  EXPECT_EQ(PathOf(bare, "a/b.txt"), "a/b.txt");
  EXPECT_EQ(PathOf(bare, "/x"), "/x");
}

TEST(FileSystemPaths, NameWithLeadingSlashStandsAloneOnlyInTheUpdater) {
  TPathsOnly rooted("/srv/root");
  EXPECT_EQ(PathOf(rooted, "/x"), kAgentBuild ? "/srv/root//x" : "/x");
}

TEST(FileSystemPaths, PathsThatDoNotFitAreRefusedNotCut) {
  const std::string root(200, 'r');
  TPathsOnly files(root.c_str());
  const std::string fits(kMaxPath - 2 - root.size(), 'n');  // root + "/" + name = 259 characters
  EXPECT_EQ(PathOf(files, fits.c_str()), root + "/" + fits);
  EXPECT_EQ(PathOf(files, (fits + "n").c_str()), "");

  TPathsOnly tooLongRoot(std::string(kMaxPath, 'r').c_str());
  EXPECT_EQ(PathOf(tooLongRoot, "x"), "");
}

TEST(ModulePath, NamesTheRunningTestProgram) {
  char path[kMaxPath];
  const uint32_t length = GetCodeModulePath(path, sizeof(path));
  ASSERT_GT(length, 0u);
  EXPECT_EQ(length, std::strlen(path));
  EXPECT_TRUE(std::filesystem::is_regular_file(path)) << path;

  char tiny[4] = "xyz";
  EXPECT_EQ(GetCodeModulePath(tiny, sizeof(tiny)), 0u);
  EXPECT_STREQ(tiny, "");
}

class FileSystemTest : public ::testing::Test {
 protected:
  TFilesTempDir dir_;
  IFileSystem& files_ = dir_.Files();
};

TEST_F(FileSystemTest, RemoveDeletesAFileAndAcceptsAMissingOne) {
  dir_.Write("old.txt", "x");
  EXPECT_TRUE(files_.Remove("old.txt").Succeeded());
  EXPECT_FALSE(dir_.Exists("old.txt"));
  EXPECT_TRUE(files_.Remove("old.txt").Succeeded());
  EXPECT_TRUE(files_.GetLastResult().Succeeded());
}

TEST_F(FileSystemTest, RemoveLeavesDirectoriesAlone) {
  std::filesystem::create_directory(dir_.Path("sub"));
  EXPECT_EQ(files_.Remove("sub").GetCode(), RESULT_FILE_DELETE_FAILED);
  EXPECT_TRUE(dir_.Exists("sub"));
}

TEST_F(FileSystemTest, MoveToTheSameNameInAnotherCaseDoesNothing) {
  dir_.Write("a", "content");
  EXPECT_TRUE(files_.Move("a", "A").Succeeded());
  EXPECT_EQ(dir_.List(), std::vector<std::string>{"a"});
}

TEST_F(FileSystemTest, MoveReplacesAnExistingTarget) {
  dir_.Write("TMP.TMP", "fresh");
  dir_.Write("program.dat", "stale and longer");
  EXPECT_TRUE(files_.Move("TMP.TMP", "program.dat").Succeeded());
  EXPECT_FALSE(dir_.Exists("TMP.TMP"));
  EXPECT_EQ(dir_.Read("program.dat"), "fresh");
}

TEST_F(FileSystemTest, MoveOfAMissingSourceFailsAndKeepsTheTarget) {
  dir_.Write("program.dat", "kept");
  const TResult result = files_.Move("TMP.TMP", "program.dat");
  EXPECT_EQ(result.Codes(), FileFailure(RESULT_FILE_MOVE_FAILED, ENOENT));
  EXPECT_EQ(files_.GetLastResult().Codes(), result.Codes());
  EXPECT_EQ(dir_.Read("program.dat"), "kept");
}

TEST_F(FileSystemTest, MoveOntoANewNameCopiesInTheUpdaterAndRenamesInTheAgent) {
  dir_.Write("x", "program bytes");
  std::filesystem::create_hard_link(dir_.Path("x"), dir_.Path("x.link"));
  EXPECT_TRUE(files_.Move("x", "x.new").Succeeded());
  EXPECT_FALSE(dir_.Exists("x"));
  EXPECT_EQ(dir_.Read("x.new"), "program bytes");
  // A rename keeps the file itself; a copy makes a new one.
  EXPECT_EQ(std::filesystem::equivalent(dir_.Path("x.new"), dir_.Path("x.link")), kAgentBuild);
}

TEST_F(FileSystemTest, MoveOfAMissingSourceOntoANewNameKeepsTheTarget) {
  dir_.Write("agent.exe.new", "previous");
  EXPECT_EQ(files_.Move("missing", "agent.exe.new").Codes(), std::vector<int32_t>{RESULT_FILE_MOVE_FAILED});
  EXPECT_EQ(dir_.Read("agent.exe.new"), "previous");
}

TEST_F(FileSystemTest, ReplaceRenamesOntoAnyNameSoTheTargetIsNeverHalfWritten) {
  dir_.Write("TMP.TMP", "program bytes");
  dir_.Write("x.new", "previous");
  std::filesystem::create_hard_link(dir_.Path("TMP.TMP"), dir_.Path("TMP.link"));
  EXPECT_TRUE(files_.Replace("TMP.TMP", "x.new").Succeeded());
  EXPECT_FALSE(dir_.Exists("TMP.TMP"));
  EXPECT_EQ(dir_.Read("x.new"), "program bytes");
  // The file itself takes the name: nothing is copied.
  EXPECT_TRUE(std::filesystem::equivalent(dir_.Path("x.new"), dir_.Path("TMP.link")));

  EXPECT_EQ(files_.Replace("missing", "x.new").GetCode(), RESULT_FILE_MOVE_FAILED);
  EXPECT_EQ(files_.GetLastResult().GetCode(), RESULT_FILE_MOVE_FAILED);
  EXPECT_EQ(dir_.Read("x.new"), "program bytes");
}

TEST_F(FileSystemTest, AppendingWritersOfOneFileInterleaveInOrder) {
  Files first(files_.OpenWrite("log.txt", OPEN_CREATE_APPEND));
  Files second(files_.OpenWrite("log.txt", OPEN_CREATE_APPEND));
  ASSERT_TRUE(first && second);
  EXPECT_EQ(WriteText(*first, "one "), 4);
  EXPECT_EQ(WriteText(*second, "two "), 4);
  EXPECT_EQ(WriteText(*first, "three"), 5);
  first.reset();
  second.reset();
  EXPECT_EQ(dir_.Read("log.txt"), "one two three");
}

TEST_F(FileSystemTest, OpenModeDecidesBetweenTruncateAppendAndOverwrite) {
  struct Case {
    uint32_t mode;
    const char* expected;
  };
  const Case cases[] = {
      {OPEN_CREATE | OPEN_CREATE_TRUNCATE, "XY"},
      {OPEN_CREATE_TRUNCATE | OPEN_CREATE_APPEND, "XY"},  // truncation is looked at first
      {OPEN_CREATE_APPEND | OPEN_CREATE, "abcdefXY"},
      {OPEN_CREATE, "XYcdef"},
      {OPEN_READ_WRITE, "XYcdef"},
      {0, "XYcdef"},  // writing always adds read-write
  };
  for (const Case& c : cases) {
    dir_.Write("f", "abcdef");
    Files file(files_.OpenWrite("f", c.mode));
    ASSERT_TRUE(file) << "mode " << c.mode;
    EXPECT_EQ(WriteText(*file, "XY"), 2);
    file.reset();
    EXPECT_EQ(dir_.Read("f"), c.expected) << "mode " << c.mode;
  }
}

TEST_F(FileSystemTest, OnlyCreatingModesMakeAMissingFile) {
  EXPECT_FALSE(Files(files_.OpenWrite("missing", OPEN_READ_WRITE)));
  EXPECT_EQ(files_.GetLastResult().Codes(), FileFailure(RESULT_FILE_OPEN_FAILED, ENOENT));
  EXPECT_FALSE(dir_.Exists("missing"));

  EXPECT_EQ(std::unique_ptr<IFileReadable>(files_.OpenRead("missing")), nullptr);
  EXPECT_EQ(files_.GetLastResult().Codes(), FileFailure(RESULT_FILE_OPEN_FAILED, ENOENT));
  EXPECT_EQ(files_.OpenHandle("missing", OPEN_READ), -1);

  EXPECT_TRUE(Files(files_.OpenWrite("made", OPEN_CREATE)));
  EXPECT_TRUE(dir_.Exists("made"));
}

TEST_F(FileSystemTest, FilesAreBinaryAndKeepTheirPositionAcrossSizeQueries) {
  const std::string bytes("line\nbreak\r\n\x1a end", 17);
  {
    Files file(files_.OpenWrite("data.bin", OPEN_CREATE | OPEN_CREATE_TRUNCATE));
    ASSERT_TRUE(file);
    EXPECT_EQ(WriteText(*file, bytes), 17);
  }
  EXPECT_EQ(dir_.Read("data.bin"), bytes);

  std::unique_ptr<IFileReadable> file(files_.OpenRead("data.bin"));
  ASSERT_TRUE(file);
  EXPECT_EQ(file->Seek(5), 5);
  EXPECT_EQ(file->GetSize(), 17u);
  EXPECT_EQ(file->Tell(), 5);
  char rest[32] = {};
  EXPECT_EQ(file->Read(rest, sizeof(rest)), 12);
  EXPECT_EQ(std::string(rest, 12), bytes.substr(5));
  EXPECT_EQ(file->Read(rest, sizeof(rest)), 0);
  EXPECT_STREQ(static_cast<TPCFile*>(file.get())->GetName(), "data.bin");
}

TEST_F(FileSystemTest, DirectoriesAreNeitherSizedNorOpenedAsFiles) {
  dir_.Write("five", "12345");
  std::filesystem::create_directory(dir_.Path("sub"));
  EXPECT_EQ(files_.GetFileSize("five"), 5u);
  EXPECT_EQ(files_.GetFileSize("missing"), 0u);
  EXPECT_EQ(files_.GetFileSize("sub"), 0u);
  // A folder read as a file would report a meaningless size to whoever
  // reads it whole.
  EXPECT_EQ(files_.OpenRead("sub"), nullptr);
  EXPECT_EQ(files_.GetLastResult().GetCode(), RESULT_FILE_OPEN_FAILED);
}

TEST_F(FileSystemTest, OverLongNamesAreRefusedWithoutTouchingAnyFile) {
  const std::string name(300, 'n');
  dir_.Write("keep", "k");

  EXPECT_FALSE(Files(files_.OpenWrite(name.c_str(), OPEN_CREATE | OPEN_CREATE_TRUNCATE)));
  EXPECT_EQ(files_.GetLastResult().Codes(), FileFailure(RESULT_FILE_OPEN_FAILED, ENAMETOOLONG));
  EXPECT_EQ(std::unique_ptr<IFileReadable>(files_.OpenRead(name.c_str())), nullptr);
  EXPECT_EQ(files_.Remove(name.c_str()).Codes(), FileFailure(RESULT_FILE_DELETE_FAILED, ENAMETOOLONG));
  EXPECT_EQ(files_.Move("keep", name.c_str()).GetCode(), RESULT_FILE_MOVE_FAILED);
  EXPECT_EQ(files_.Move(name.c_str(), "keep").GetCode(), RESULT_FILE_MOVE_FAILED);
  EXPECT_EQ(files_.GetFileSize(name.c_str()), 0u);
  EXPECT_EQ(dir_.List(), std::vector<std::string>{"keep"});
}

TEST_F(FileSystemTest, NameThatJustFitsBesideTheRootIsUsable) {
  char root[kMaxPath];
  const size_t rootLength = std::strlen(files_.MakePath(root, "")) - 1;  // without the "/"
  const std::string fits(kMaxPath - 2 - rootLength, 'f');
  const std::string tooLong = fits + "f";
  if (fits.size() > 250) GTEST_SKIP() << "program directory too short to reach the limit";

  EXPECT_TRUE(Files(files_.OpenWrite(fits.c_str(), OPEN_CREATE)));
  EXPECT_TRUE(dir_.Exists(fits));
  EXPECT_FALSE(Files(files_.OpenWrite(tooLong.c_str(), OPEN_CREATE)));
  EXPECT_EQ(dir_.List(), std::vector<std::string>{fits});
}

}  // namespace
