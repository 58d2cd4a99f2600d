// image-holder: keeps a program file in use the way a point of sale does,
// until a stop file appears (at most 5 minutes).
//
//   image-holder <file.dll> <stop file>   LoadLibrary: a payment core with Updater.dll
//   image-holder <file.exe> <stop file>   the program started suspended: TavoTest open
//
// Prints "holding" once the file is in use; exit code 0, or 2 when the file
// could not be loaded or started.
#include <windows.h>
#include <cstdio>
#include <cwchar>
#include <string>

int wmain(int argc, wchar_t** argv) {
  if (argc != 3) {
    std::fputs("usage: image-holder <file.dll|file.exe> <stop file>\n", stderr);
    return 1;
  }
  const std::wstring path = argv[1];
  const bool program = path.size() > 4 && _wcsicmp(path.c_str() + path.size() - 4, L".exe") == 0;
  PROCESS_INFORMATION process{};
  if (program) {
    // Suspended, a GUI program needs no desktop, and its file is mapped as
    // it is while the program runs.
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    std::wstring commandLine = L"\"" + path + L"\"";
    if (!CreateProcessW(path.c_str(), &commandLine[0], nullptr, nullptr, FALSE, CREATE_SUSPENDED,
                        nullptr, nullptr, &startup, &process)) {
      std::fprintf(stderr, "image-holder: cannot start it: Windows error %lu\n", GetLastError());
      return 2;
    }
  } else if (!LoadLibraryW(path.c_str())) {
    std::fprintf(stderr, "image-holder: cannot load it: Windows error %lu\n", GetLastError());
    return 2;
  }
  std::puts("holding");
  std::fflush(stdout);
  for (int tenths = 0; tenths < 3000 && GetFileAttributesW(argv[2]) == INVALID_FILE_ATTRIBUTES; ++tenths) {
    Sleep(100);
  }
  if (program) {
    TerminateProcess(process.hProcess, 0);
    WaitForSingleObject(process.hProcess, 10000);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
  }
  return 0;
}
