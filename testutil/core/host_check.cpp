#include "host_check.h"

void CheckProcessingHosts(ILogLines& log, IHostProbe& probe, const std::wstring& firstHost,
                          const std::wstring& secondHost, uint16_t firstPort, uint16_t secondPort,
                          const std::vector<std::wstring>& notes) {
  log.Clear();
  for (const std::wstring& note : notes) log.Add(note);
  for (const std::wstring& host : {firstHost, secondHost}) {
    for (const uint16_t port : {firstPort, secondPort}) {
      const std::wstring target = host + L":" + std::to_wstring(port);
      const bool reachable = probe.IsHostReachable(host, port);
      log.Add(reachable ? target + L"  -->  Доступ открыт" : L"!!" + target + L"  -->  Нет доступа!!");
    }
  }
}
