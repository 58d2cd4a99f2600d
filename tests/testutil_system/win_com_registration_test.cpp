#include <gtest/gtest.h>

#include "com_registration.h"
#include "program_directory.h"
#include "test_folder.h"

// The system's registration tool run on a COM server file in a folder whose
// name has blanks: the fake server (fakes/fake_registration_server.cpp)
// notes beside itself that the tool reached it.

namespace {

// Whether the file appears within the time the tool needs to start.
bool AppearsSoon(const std::wstring& path) {
  for (int waited = 0; waited < 30000; waited += 100) {
    if (FileExists(path)) return true;
    Sleep(100);
  }
  return false;
}

}  // namespace

TEST(ComRegistration, TheToolReachesAServerFileInAFolderWithBlanks) {
  TComApartment apartment;
  TTestFolder folder;
  const std::wstring server = folder.Path() + L"dlfx.dll";
  ASSERT_TRUE(CopyFileW((ProgramDirectory() + L"registration\\fake_registration_server.dll").c_str(),
                        server.c_str(), FALSE));

  ASSERT_TRUE(StartComServerRegistration(nullptr, server));
  EXPECT_TRUE(AppearsSoon(server + L".registered"));
  EXPECT_FALSE(FileExists(server + L".unregistered"));

  ASSERT_TRUE(StartComServerUnregistration(nullptr, server));
  EXPECT_TRUE(AppearsSoon(server + L".unregistered"));
  // The tool lets go of the file when it ends; the folder goes after that.
  for (int waited = 0; waited < 10000 && !DeleteFileW(server.c_str()); waited += 100) Sleep(100);
}
