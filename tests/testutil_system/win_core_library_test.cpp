#include <gtest/gtest.h>

#include <string>

#include "core_library.h"
#include "program_directory.h"
#include "test_folder.h"

// The fake payment core (fakes/fake_core_library.cpp) lies in the folder
// "core_install" beside the test program, with the helper library it
// imports; neither is beside the program itself, so the core loads only
// when its own folder is searched for what it needs.

namespace {

std::wstring InstallFolder() { return ProgramDirectory() + L"core_install\\"; }

}  // namespace

TEST(CoreLibrary, BindsTheExportsTheLibraryHasAndOnlyThose) {
  TCoreLibrary library;
  ASSERT_TRUE(library.Load(InstallFolder() + L"corvo_nt.dll"));
  EXPECT_TRUE(library.IsLoaded());
  const TCoreEntryPoints& entry = library.EntryPoints();
  ASSERT_NE(entry.testPinpad, nullptr);
  ASSERT_NE(entry.closeDay, nullptr);
  ASSERT_NE(entry.cardAuthorize6, nullptr);
  EXPECT_EQ(entry.serviceMenu, nullptr);
  EXPECT_EQ(entry.getTerminalId, nullptr);
  EXPECT_EQ(entry.getStatistics, nullptr);
  EXPECT_EQ(entry.readCardFull, nullptr);

  // The helper's answer comes through the core.
  EXPECT_EQ(entry.testPinpad(), 42);

  TCoreAnswer answer = {};
  answer.operationType = 7;
  EXPECT_EQ(entry.closeDay(&answer), 0);
  EXPECT_EQ(std::string(answer.responseCode, 3), "000");
  ASSERT_NE(answer.text, nullptr);
  EXPECT_STREQ(answer.text, "FAKE CHEQUE");

  TCoreAnswerEx block = {};
  block.answer.operationType = 1;
  block.answer.amount = 150;
  EXPECT_EQ(entry.cardAuthorize6(nullptr, &block), 0);
  EXPECT_EQ(block.answer.amount, 149);
}

TEST(CoreLibrary, FindsTheLibrariesItNeedsInItsOwnFolder) {
  // The helper is found nowhere but beside the core.
  const HMODULE stray = LoadLibraryW(L"fake_core_helper.dll");
  EXPECT_EQ(stray, nullptr);
  if (stray) FreeLibrary(stray);

  TTestFolder folder;
  for (const wchar_t* file : {L"corvo_nt.dll", L"fake_core_helper.dll"}) {
    ASSERT_TRUE(CopyFileW((InstallFolder() + file).c_str(), (folder.Path() + file).c_str(), FALSE));
  }
  TCoreLibrary library;
  ASSERT_TRUE(library.Load(folder.Path() + L"corvo_nt.dll"));
  ASSERT_NE(library.EntryPoints().testPinpad, nullptr);
  EXPECT_EQ(library.EntryPoints().testPinpad(), 42);
  // The folder can go only once the library has let go of its files.
  library.Unload();
}

TEST(CoreLibrary, AMissingLibraryLeavesNothingBoundAndUnloadingIsAlwaysHarmless) {
  TCoreLibrary library;
  library.Unload();
  EXPECT_FALSE(library.Load(ProgramDirectory() + L"no such folder\\corvo_nt.dll"));
  EXPECT_FALSE(library.IsLoaded());
  EXPECT_EQ(library.EntryPoints().testPinpad, nullptr);

  ASSERT_TRUE(library.Load(InstallFolder() + L"corvo_nt.dll"));
  library.Unload();
  EXPECT_FALSE(library.IsLoaded());
  EXPECT_EQ(library.EntryPoints().closeDay, nullptr);
  library.Unload();
  // The library can be bound again after it was let go.
  ASSERT_TRUE(library.Load(InstallFolder() + L"corvo_nt.dll"));
  EXPECT_EQ(library.EntryPoints().testPinpad(), 42);
}
