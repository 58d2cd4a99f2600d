// TavoTest: the service engineers' test utility at the point of sale.
#include <winsock2.h>
#include <windows.h>
#include <commctrl.h>
#include <objbase.h>

#include "win_tavo_test.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showCommand) {
  // The COM server object is created and called on this thread only.
  const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_TAB_CLASSES | ICC_BAR_CLASSES | ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&controls);
  WSADATA sockets;
  const bool socketsStarted = WSAStartup(MAKEWORD(2, 2), &sockets) == 0;

  int exitCode = 1;
  {
    TTavoTest program(instance);
    if (program.Start(showCommand)) exitCode = program.Run();
  }

  if (socketsStarted) WSACleanup();
  if (SUCCEEDED(com)) CoUninitialize();
  return exitCode;
}
