#include <gtest/gtest.h>
#include <winsock2.h>
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "rs232_interface.h"
#include "rs232_test_line.h"

// A serial line on Windows is a pair of COM ports joined by a null-modem
// cable. Under Wine a COM port is the device its link dosdevices/comN points
// at: the test agent_rs232_wine_line (rs232_wine_line.sh) joins two
// pseudo-terminals with socat, points two COM ports at them and names the
// pair in TAVO_RS232_TEST_PORTS ("near,far"). The near port is the one under
// test; the far one is opened through the same interface and played by the
// test. Without the variable there is no line and the tests that need one
// are skipped. The script cuts the cable when the file named in
// TAVO_RS232_TEST_CUT appears, lays a new one in its place for the tests
// after it, and then removes the file.

namespace {

class TComPairLine : public TRS232TestLine {
 public:
  TComPairLine(uint16_t port, std::unique_ptr<IRS232Interface> ports, IConnection* farEnd)
      : port_(port), ports_(std::move(ports)), far_(farEnd) {}

  uint16_t Port() const override { return port_; }

  std::string WhyNotExclusive() const override {
    // Wine opens a COM port a second time although the first opener shares
    // it with nobody; Windows refuses with ERROR_ACCESS_DENIED.
    const HMODULE system = GetModuleHandleA("ntdll.dll");
    if (system && GetProcAddress(system, "wine_get_version")) {
      return "Wine does not hold COM ports exclusively";
    }
    return std::string();
  }

  std::string WhyNotCut() const override {
    return std::getenv("TAVO_RS232_TEST_CUT") ? std::string() : "no TAVO_RS232_TEST_CUT to cut the line with";
  }

  void Cut() override {
    const char* request = std::getenv("TAVO_RS232_TEST_CUT");
    HANDLE file = CreateFileA(request, GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
      ADD_FAILURE() << "cannot ask for the cut with " << request << ": error " << GetLastError();
      return;
    }
    CloseHandle(file);
    for (int waited = 0; GetFileAttributesA(request) != INVALID_FILE_ATTRIBUTES; waited += 50) {
      if (waited > kRS232QuietGiveUpMs) {
        ADD_FAILURE() << "the line was not cut";
        return;
      }
      Sleep(50);
    }
  }

  void SendFar(const std::string& bytes) override {
    far_->Send(bytes.data(), static_cast<uint32_t>(bytes.size()));
  }

  std::string ReceiveFar(size_t count) override { return ReceiveFromPort(*far_, count); }

 private:
  uint16_t port_;
  std::unique_ptr<IRS232Interface> ports_;
  std::unique_ptr<IConnection> far_;
};

}  // namespace

std::unique_ptr<TRS232TestLine> OpenRS232TestLine(std::string* whyNot) {
  const char* pair = std::getenv("TAVO_RS232_TEST_PORTS");
  unsigned nearPort = 0;
  unsigned farPort = 0;
  if (!pair || std::sscanf(pair, "%u,%u", &nearPort, &farPort) != 2) {
    *whyNot = "no COM port pair in TAVO_RS232_TEST_PORTS (the test agent_rs232_wine_line sets one up)";
    return nullptr;
  }
  std::unique_ptr<IRS232Interface> ports(NewPlatformRS232Interface(nullptr));
  TRS232Settings settings;
  settings.port = static_cast<uint16_t>(farPort);
  IConnection* farEnd = nullptr;
  const TResult result = ports->OpenPort(settings, &farEnd);
  if (!result.Succeeded()) {
    ADD_FAILURE() << "the far port COM" << farPort << " does not open: " << result.GetCode();
    return nullptr;
  }
  return std::make_unique<TComPairLine>(static_cast<uint16_t>(nearPort), std::move(ports), farEnd);
}

// Above what a COM port number is ever given.
uint16_t MissingRS232Port() { return 65535; }
int32_t MissingRS232PortError() { return ERROR_FILE_NOT_FOUND; }
int32_t RS232WriteTimeoutError() { return ERROR_COUNTER_TIMEOUT; }
