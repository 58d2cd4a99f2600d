#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <string>

#include "serial_port_list.h"

// The system's serial port map is written by its drivers; the test adds two
// ports of its own for the time it runs, as a driver would: one stored with
// its terminating NUL, one without.

namespace {

const wchar_t kMapKey[] = L"HARDWARE\\DEVICEMAP\\SERIALCOMM";

class SerialPortList : public testing::Test {
 protected:
  void SetUp() override {
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, kMapKey, 0, nullptr, REG_OPTION_VOLATILE, KEY_WRITE,
                        nullptr, &map_, nullptr) != ERROR_SUCCESS) {
      map_ = nullptr;
      GTEST_SKIP() << "the serial port map cannot be written here";
    }
  }
  void TearDown() override {
    if (!map_) return;
    for (const wchar_t* name : kNames) RegDeleteValueW(map_, name);
    RegCloseKey(map_);
  }

  bool AddPort(const wchar_t* name, const std::wstring& data, bool withNul) {
    const DWORD bytes = static_cast<DWORD>((data.size() + (withNul ? 1 : 0)) * sizeof(wchar_t));
    return RegSetValueExW(map_, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(data.c_str()), bytes) ==
           ERROR_SUCCESS;
  }

  static constexpr const wchar_t* kNames[] = {L"\\Device\\TavoTestSerial0", L"\\Device\\TavoTestSerial1",
                                              L"\\Device\\TavoTestNumber"};
  HKEY map_ = nullptr;
};

}  // namespace

TEST_F(SerialPortList, ListsThePortNamesOfTheMapWhateverTheirTermination) {
  ASSERT_TRUE(AddPort(kNames[0], L"COM101", true));
  ASSERT_TRUE(AddPort(kNames[1], L"COM102", false));
  // A value that is no port name is not listed.
  const DWORD number = 5;
  ASSERT_EQ(RegSetValueExW(map_, kNames[2], 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number),
                           sizeof number),
            ERROR_SUCCESS);

  const std::vector<std::wstring> ports = ListSerialPorts();
  EXPECT_EQ(std::count(ports.begin(), ports.end(), L"COM101"), 1);
  EXPECT_EQ(std::count(ports.begin(), ports.end(), L"COM102"), 1);
  for (const std::wstring& port : ports) {
    EXPECT_EQ(port.compare(0, 3, L"COM"), 0) << "not a port name: " << std::string(port.begin(), port.end());
  }

  RegDeleteValueW(map_, kNames[0]);
  RegDeleteValueW(map_, kNames[1]);
  const std::vector<std::wstring> after = ListSerialPorts();
  EXPECT_EQ(std::count(after.begin(), after.end(), L"COM101"), 0);
  EXPECT_EQ(after.size(), ports.size() - 2);
}
