#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "disk_search.h"
#include "test_folder.h"

TEST(FixedDisks, AreListedAsRootsFromAToZ) {
  const std::vector<std::wstring> roots = GetDiscs();
  for (size_t i = 0; i < roots.size(); ++i) {
    ASSERT_EQ(roots[i].size(), 3u);
    EXPECT_EQ(roots[i].substr(1), L":\\");
    if (i > 0) {
      EXPECT_LT(roots[i - 1][0], roots[i][0]);
    }
  }
  // The disk that holds the temporary folder is among them.
  TTestFolder folder;
  const std::wstring own = folder.Path().substr(0, 3);
  EXPECT_EQ(std::count(roots.begin(), roots.end(), own), 1) << "no fixed disk holds the temporary folder";
}

// A tree with the library in two folders, one of them hidden, and names that
// are nearly right:
//   a\corvo_nt.dll  a\deeper\corvo_nt.dll  b\CORVO_NT.DLL  b\corvo_nt.dll.bak
//   corvo_nt.dll\ (a folder)  hidden\corvo_nt.dll (hidden and system)
class DiskSearch : public testing::Test {
 protected:
  void SetUp() override {
    const std::wstring& root = folder_.Path();
    ASSERT_TRUE(MakeFolder(root + L"a"));
    ASSERT_TRUE(MakeFile(root + L"a\\corvo_nt.dll"));
    ASSERT_TRUE(MakeFolder(root + L"a\\deeper"));
    ASSERT_TRUE(MakeFile(root + L"a\\deeper\\corvo_nt.dll"));
    ASSERT_TRUE(MakeFolder(root + L"b"));
    ASSERT_TRUE(MakeFile(root + L"b\\CORVO_NT.DLL"));
    ASSERT_TRUE(MakeFile(root + L"b\\corvo_nt.dll.bak"));
    ASSERT_TRUE(MakeFolder(root + L"corvo_nt.dll"));
    ASSERT_TRUE(MakeFolder(root + L"hidden"));
    ASSERT_TRUE(MakeFile(root + L"hidden\\corvo_nt.dll"));
    ASSERT_TRUE(SetFileAttributesW((root + L"hidden").c_str(),
                                   FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM));
  }

  TTestFolder folder_;
};

TEST_F(DiskSearch, FindsEveryFolderWithTheExactNameDepthFirst) {
  const std::wstring& root = folder_.Path();
  std::vector<std::wstring> found;
  std::vector<std::wstring> entered;
  ScanDir(root, L"corvo_nt.dll", found, [&entered](const std::wstring& directory) {
    entered.push_back(directory);
  });
  EXPECT_EQ(found, (std::vector<std::wstring>{root + L"a\\", root + L"a\\deeper\\", root + L"hidden\\"}));
  EXPECT_EQ(entered, (std::vector<std::wstring>{root, root + L"a\\", root + L"a\\deeper\\", root + L"b\\",
                                                root + L"corvo_nt.dll\\", root + L"hidden\\"}));
}

TEST_F(DiskSearch, AddsToWhatIsFoundAndCompletesTheDirectoryName) {
  const std::wstring& root = folder_.Path();
  std::vector<std::wstring> found = {L"earlier\\"};
  // The search runs without anyone watching its progress, from a directory
  // named without its backslash.
  ScanDir(root + L"a\\deeper", L"corvo_nt.dll", found);
  EXPECT_EQ(found, (std::vector<std::wstring>{L"earlier\\", root + L"a\\deeper\\"}));

  ScanDir(root + L"b", L"CORVO_NT.DLL", found);
  EXPECT_EQ(found.back(), root + L"b\\");
}

TEST_F(DiskSearch, ADirectoryThatCannotBeListedIsPassedOver) {
  std::vector<std::wstring> found;
  int entered = 0;
  ScanDir(folder_.Path() + L"missing", L"corvo_nt.dll", found,
          [&entered](const std::wstring&) { ++entered; });
  EXPECT_TRUE(found.empty());
  EXPECT_EQ(entered, 1);
}

TEST_F(DiskSearch, DirectoryLinksAreNotFollowed) {
  const std::wstring& root = folder_.Path();
  // A link back up the tree. Wine 8 answers success without making one.
  const std::wstring link = root + L"b\\up";
  if (!CreateSymbolicLinkW(link.c_str(), root.c_str(), SYMBOLIC_LINK_FLAG_DIRECTORY) ||
      !FileExists(link)) {
    GTEST_SKIP() << "this system makes no directory links here";
  }
  std::vector<std::wstring> found;
  ScanDir(root, L"corvo_nt.dll", found);
  EXPECT_EQ(found.size(), 3u);
}
