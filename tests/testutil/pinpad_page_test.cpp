#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "log_lines.h"
#include "pinpad_page.h"

namespace {

using Lines = std::vector<std::wstring>;

// PIN pads on some ports; a port without an entry cannot be opened.
class TFakePinpads final : public IPinpadExchange {
 public:
  std::optional<std::string> Exchange(const std::wstring& port, const std::string& command) override {
    exchanges.push_back(port + L" " + std::wstring(command.begin(), command.end()));
    const auto reply = replies.find(port);
    if (reply == replies.end()) return std::nullopt;
    return reply->second;
  }
  std::map<std::wstring, std::string> replies;
  std::vector<std::wstring> exchanges;
};

// A status reply as it comes over the line: STX, hex text, ETX.
std::string Framed(const std::string& hex) { return "\x02" + hex + "\x03"; }
// "1234K", filler up to byte 16, then the key bytes c, c, x.
const std::string kStatusHex = "313233344B" "00" "00000000000000000000" "636378";

class PinpadPage : public ::testing::Test {
 protected:
  TLogLines log_;
  TFakePinpads pinpads_;
};

TEST_F(PinpadPage, ThePortListComesFirst) {
  log_.Add(L"old");
  ShowPortList(log_, {L"COM1", L"COM3"});
  EXPECT_EQ(log_.Lines(), (Lines{L"Список портов в системе:", L"COM1", L"COM3"}));
  ShowPortList(log_, {});
  EXPECT_EQ(log_.Lines(), Lines{L"Список портов в системе:"});
}

TEST_F(PinpadPage, AProbeNamesTheSerialNumberOrNoDevice) {
  pinpads_.replies[L"COM3"] = Framed(kStatusHex);
  pinpads_.replies[L"COM4"] = "";
  pinpads_.replies[L"COM5"] = Framed("31XY32");
  ProbeAllPorts(log_, pinpads_, {L"COM1", L"COM3", L"COM4", L"COM5"});
  EXPECT_EQ(log_.Lines(), (Lines{L"Список портов в системе:", L"COM1", L"COM3", L"COM4", L"COM5", L"",
                                 L"COM1  -->  Устройство не определено", L"COM3  -->  1234K",
                                 L"COM4  -->  Устройство не определено", L"COM5  -->  Устройство не определено"}));
  EXPECT_EQ(pinpads_.exchanges[1], L"COM3 A20000A0");

  ProbePort(log_, pinpads_, L"COM3");
  EXPECT_EQ(log_.Lines(), Lines{L"COM3  -->  1234K"});
  ProbeAllPorts(log_, pinpads_, {});
  EXPECT_EQ(log_.Lines(), (Lines{L"Список портов в системе:", L""}));
}

TEST_F(PinpadPage, KeyStatusShowsTheSerialNumberAndEveryKey) {
  pinpads_.replies[L"COM3"] = Framed(kStatusHex);
  ShowKeyStatus(log_, pinpads_, L"COM3");
  EXPECT_EQ(log_.Lines(), (Lines{L"S/N: 1234K", L"", L"PIN: НЕТ", L"MAC: НЕТ", L"KLK: ЕСТЬ"}));
  ShowKeyStatus(log_, pinpads_, L"COM9");
  EXPECT_EQ(log_.Lines(), Lines{L"Ошибка открытия порта. Проверьте настройки COM порта"});
}

TEST_F(PinpadPage, AKeyIsDeletedWhenThePinpadAcknowledgesIt) {
  pinpads_.replies[L"COM3"] = Framed("00000002");
  DeleteKey(log_, pinpads_, L"COM3", PinpadKey::Mac);
  EXPECT_EQ(log_.Lines(), Lines{L"Ключ MAC удален"});
  EXPECT_EQ(pinpads_.exchanges, Lines{L"COM3 E9010001EB"});
  pinpads_.replies[L"COM3"] = Framed("00000001");
  DeleteKey(log_, pinpads_, L"COM3", PinpadKey::Pin);
  EXPECT_EQ(log_.Lines(), Lines{L"Не удалось удалить ключ. Проверьте настройки COM порта"});
}

}  // namespace
