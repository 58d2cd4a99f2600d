#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "host_check.h"
#include "log_lines.h"

namespace {

using Lines = std::vector<std::wstring>;

class TFakeHosts final : public IHostProbe {
 public:
  bool IsHostReachable(const std::wstring& address, uint16_t port) override {
    const std::wstring target = address + L":" + std::to_wstring(port);
    tried.push_back(target);
    return open.count(target) != 0;
  }
  std::set<std::wstring> open;
  Lines tried;
};

TEST(CheckProcessingHosts, TheNotesThenOneLinePerHostAndPortInOrder) {
  TLogLines log;
  log.Add(L"old");
  TFakeHosts hosts;
  hosts.open = {L"10.0.0.2:670", L"10.0.0.2:666", L"10.0.0.1:666"};
  CheckProcessingHosts(log, hosts, L"10.0.0.1", L"10.0.0.2", 670, 666, {L"Host1 не задан"});
  EXPECT_EQ(log.Lines(), (Lines{L"Host1 не задан", L"!!10.0.0.1:670  -->  Нет доступа!!",
                                L"10.0.0.1:666  -->  Доступ открыт",
                                L"10.0.0.2:670  -->  Доступ открыт", L"10.0.0.2:666  -->  Доступ открыт"}));
  EXPECT_EQ(hosts.tried, (Lines{L"10.0.0.1:670", L"10.0.0.1:666", L"10.0.0.2:670", L"10.0.0.2:666"}));
}

}  // namespace
