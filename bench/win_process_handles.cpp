// The handle count and threads of the processes with a given image name, as
// the system's process list reports them (NtQuerySystemInformation, which
// Wine fills from its server; Wine's GetProcessHandleCount answers 0).
// Under Wine the count is the size of the process's handle table, which
// grows in steps and never shrinks: it shows growth, not the handles open.
//
// usage: process_handles.exe NAME   prints "NAME handles N threads N" a line
#include <windows.h>
#include <winternl.h>
#include <cstdio>
#include <vector>

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fputs("usage: process_handles.exe NAME\n", stderr);
    return 2;
  }
  std::vector<wchar_t> name(MAX_PATH);
  MultiByteToWideChar(CP_ACP, 0, argv[1], -1, name.data(), MAX_PATH);
  std::vector<char> list(1 << 16);
  ULONG needed = 0;
  NTSTATUS status = 0;
  // The list grows while it is read; a few tries with more room each time.
  for (int tries = 0; tries < 8; ++tries) {
    status = NtQuerySystemInformation(SystemProcessInformation, list.data(), static_cast<ULONG>(list.size()), &needed);
    if (status >= 0) break;
    list.resize(list.size() * 2);
  }
  if (status < 0) {
    std::fprintf(stderr, "process list not read: 0x%lx\n", static_cast<unsigned long>(status));
    return 1;
  }
  int found = 0;
  for (size_t offset = 0;;) {
    const auto* process = reinterpret_cast<const SYSTEM_PROCESS_INFORMATION*>(list.data() + offset);
    const UNICODE_STRING& image = process->ImageName;
    if (image.Buffer && CompareStringOrdinal(image.Buffer, image.Length / 2, name.data(), -1, TRUE) == CSTR_EQUAL) {
      std::printf("%s handles %lu threads %lu\n", argv[1], process->HandleCount, process->NumberOfThreads);
      ++found;
    }
    if (process->NextEntryOffset == 0) break;
    offset += process->NextEntryOffset;
  }
  return found > 0 ? 0 : 1;
}
