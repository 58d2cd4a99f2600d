#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <random>
#include <string>
#include <system_error>
#include <vector>

#include "file_list.h"
#include "files/file_system.h"
#include "sha1.h"

namespace {

namespace fs = std::filesystem;

const char kEmptyDigest[] = "DA39A3EE5E6B4B0D3255BFEF95601890AFD80709";

// A fresh folder beside the test program with the platform's file system
// rooted in it, as the updater roots its own; removed afterwards.
class FileList : public ::testing::Test {
 protected:
  void SetUp() override {
    char modulePath[kMaxPath] = {};
    ASSERT_NE(GetCodeModulePath(modulePath, sizeof(modulePath)), 0u);
    std::random_device random;
    do {
      name_ = "file_list_test_" + std::to_string(random());
      path_ = fs::path(modulePath).parent_path() / name_;
    } while (!fs::create_directory(path_));
    files_.reset(NewPlatformFileSystem(name_.c_str()));
  }
  void TearDown() override {
    files_.reset();
    std::error_code ignored;
    fs::remove_all(path_, ignored);
  }

  void Write(const std::string& file, const std::string& content) const {
    std::ofstream(path_ / file, std::ios::binary) << content;
  }
  std::string Read(const std::string& file) const {
    std::ifstream in(path_ / file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  static std::string Sha1Hex(const std::string& content) { return TSha1::Digest(TByteBuffer(content)).ToHex(); }

  std::string name_;
  fs::path path_;
  std::unique_ptr<IFileSystem> files_;
};

TEST_F(FileList, HashFileFallsBackToTheBareNameThenToTheStoredDigest) {
  TFileList list(files_.get());
  Write("a.bin", "payload");
  TFileList::TFileHash hash = list.HashFile("a.bin");
  EXPECT_EQ(hash.hash.ToHex(), Sha1Hex("payload"));
  EXPECT_EQ(hash.size, 7u);
  hash = list.HashFile("a.bin.new");
  EXPECT_EQ(hash.hash.ToHex(), Sha1Hex("payload"));
  EXPECT_EQ(hash.size, 7u);
  // A staged file that is still there is hashed itself.
  Write("a.bin.new", "newer");
  EXPECT_EQ(list.HashFile("a.bin.new").hash.ToHex(), Sha1Hex("newer"));

  hash = list.HashFile("missing.dll");
  EXPECT_EQ(hash.hash.ToHex(), kEmptyDigest);
  EXPECT_EQ(hash.size, 0u);

  const std::string stored = "0123456789abcdefghij";
  Write("x.dat.hsh", stored);
  EXPECT_EQ(list.HashFile("x.dat").hash.ToString(), stored) << "missing file";
  Write("x.dat", "");
  EXPECT_EQ(list.HashFile("x.dat").hash.ToString(), stored) << "empty file";
  Write("x.dat", "x");
  EXPECT_EQ(list.HashFile("x.dat").hash.ToHex(), Sha1Hex("x")) << "a file with content wins";
  for (const std::string& wrong : {stored.substr(1), stored + "k"}) {
    Write("y.dat.hsh", wrong);
    EXPECT_EQ(list.HashFile("y.dat").hash.ToHex(), kEmptyDigest) << wrong.size() << "-byte stored digest";
  }
}

TEST_F(FileList, CombinedHashAddsTheFileHashesByteByByte) {
  TFileList list(files_.get());
  EXPECT_EQ(list.CombinedHash().ToHex(), std::string(40, '0')) << "no list file";

  Write("cfg.ini", "HostURL=1.2.3.4");
  Write("lib.dll", std::string(300, '\xE7'));
  // Duplicates, empty lines, "=text" tails and mixed line breaks; a line
  // naming no file must not hash the folder itself.
  Write("filelist.txt", "lib.dll\r\n\r\ncfg.ini=anything\nlib.dll\n\rgone.exe\n=orphan");
  std::vector<uint8_t> expected(20, 0);
  const std::string contents[] = {"HostURL=1.2.3.4", std::string(300, '\xE7'), "", ""};
  for (const std::string& content : contents) {
    const TByteBuffer digest = TSha1::Digest(TByteBuffer(content));
    for (size_t i = 0; i < 20; ++i) expected[i] = static_cast<uint8_t>(expected[i] + digest[i]);
  }
  EXPECT_EQ(list.CombinedHash().ToHex(), TByteBuffer(expected.size(), expected.data()).ToHex());

  // Any change to a listed file changes the sum; the list is read afresh.
  const std::string before = list.CombinedHash().ToHex();
  Write("gone.exe", "now here");
  EXPECT_NE(list.CombinedHash().ToHex(), before);
}

TEST_F(FileList, LoadsSortedUniqueNamesAndSavesThemBack) {
  TFileList list(files_.get());
  list.Add("stale");
  EXPECT_FALSE(list.Load());
  EXPECT_TRUE(list.Names().empty());

  const std::string longName(450, 'n');
  Write("filelist.txt", "b\r\na\r\n\r\nb\n" + longName + "\r\nc=x");
  ASSERT_TRUE(list.Load());
  std::vector<std::string> names;
  for (std::string name = list.NextName(); !name.empty(); name = list.NextName()) names.push_back(name);
  const std::vector<std::string> expected = {"a", "b", "c=x", std::string(50, 'n'), std::string(200, 'n')};
  EXPECT_EQ(names, expected) << "long lines are cut into 200-character pieces, duplicates dropped";
  list.Add("aa");
  EXPECT_EQ(list.NextName(), "") << "the end stays the end";

  ASSERT_TRUE(list.Load());
  EXPECT_EQ(list.NextName(), "a");
  list.Add("a0");
  EXPECT_EQ(list.NextName(), "a0") << "a name added behind the position is still delivered";

  TFileList small(files_.get());
  small.Add("b");
  small.Add("a");
  small.Add("b");
  EXPECT_TRUE(small.Save().Succeeded());
  EXPECT_EQ(Read("filelist.txt"), "a\r\nb\r\n") << "the longer old list is replaced";

  const std::string folder = name_ + "/no-such-folder";
  std::unique_ptr<IFileSystem> nowhere(NewPlatformFileSystem(folder.c_str()));
  TFileList unwritable(nowhere.get());
  EXPECT_EQ(unwritable.Save().GetCode(), RESULT_FILE_LIST_SAVE_FAILED);
}

}  // namespace
