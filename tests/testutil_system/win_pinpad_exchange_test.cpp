#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "pinpad_exchange.h"

// The exchange on a real line under Wine: pinpad_wine_line.sh joins two
// pseudo-terminals with socat, points one COM port at each end and a third
// at a device that is no serial line, and names them in
// TAVO_PINPAD_TEST_PORTS ("near,far,other"). The test plays the PIN pad on
// the far port. Without the variable the tests are skipped.

namespace {

// The near port is the one under test, the far one the PIN pad's.
struct TPorts {
  std::wstring nearEnd;
  std::wstring farEnd;
  std::wstring other;
};

bool TestPorts(TPorts* ports) {
  const char* names = std::getenv("TAVO_PINPAD_TEST_PORTS");
  if (!names) return false;
  std::vector<std::wstring> parts;
  std::stringstream list(names);
  std::string part;
  while (std::getline(list, part, ',')) parts.emplace_back(part.begin(), part.end());
  if (parts.size() != 3) return false;
  *ports = TPorts{parts[0], parts[1], parts[2]};
  return true;
}

// The PIN pad's end of the line: reads what comes for a while and answers
// once the request is complete.
class TPinpadEnd {
 public:
  explicit TPinpadEnd(const std::wstring& port)
      : handle_(CreateFileW((L"\\\\.\\" + port).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                            OPEN_EXISTING, 0, nullptr)) {
    // Reads wait up to 100 ms for the first byte and hand over what came.
    COMMTIMEOUTS timeouts = {MAXDWORD, MAXDWORD, 100, 0, 1000};
    if (IsOpen()) SetCommTimeouts(handle_, &timeouts);
  }
  TPinpadEnd(const TPinpadEnd&) = delete;
  TPinpadEnd& operator=(const TPinpadEnd&) = delete;
  ~TPinpadEnd() {
    if (answering_.joinable()) answering_.join();
    if (IsOpen()) CloseHandle(handle_);
  }
  bool IsOpen() const { return handle_ != INVALID_HANDLE_VALUE; }

  // Starts answering: once requestLength bytes have come (within 5 s), the
  // reply is sent.
  void AnswerAfter(size_t requestLength, const std::string& reply) {
    answering_ = std::thread([this, requestLength, reply] {
      const DWORD start = GetTickCount();
      while (request_.size() < requestLength && GetTickCount() - start < 5000) {
        char buffer[64];
        DWORD count = 0;
        if (!ReadFile(handle_, buffer, sizeof buffer, &count, nullptr)) return;
        request_.append(buffer, count);
      }
      DWORD written = 0;
      WriteFile(handle_, reply.data(), static_cast<DWORD>(reply.size()), &written, nullptr);
    });
  }
  // What came, once the answer is out.
  std::string Request() {
    if (answering_.joinable()) answering_.join();
    return request_;
  }

 private:
  HANDLE handle_;
  std::thread answering_;
  std::string request_;
};

class PinpadExchange : public testing::Test {
 protected:
  void SetUp() override {
    if (!TestPorts(&ports_)) {
      GTEST_SKIP() << "no serial line in TAVO_PINPAD_TEST_PORTS (the test "
                      "testutil_system_pinpad_wine_line sets one up)";
    }
  }
  TPorts ports_;
};

// The handles open in this process, found by asking about every handle value
// that a test program's few handles can have (Wine's own count of them is
// always 0).
int CountOpenHandles() {
  int count = 0;
  for (UINT_PTR value = 4; value < 8192; value += 4) {
    DWORD flags = 0;
    if (GetHandleInformation(reinterpret_cast<HANDLE>(value), &flags)) ++count;
  }
  return count;
}

const std::string kStatusFrame = std::string("\x02") + "A20000A0" + "\x03\x03";

}  // namespace

TEST_F(PinpadExchange, SendsTheFramedCommandAndCollectsTheWholeReply) {
  TPinpadEnd pinpad(ports_.farEnd);
  ASSERT_TRUE(pinpad.IsOpen());
  // Longer than one read takes, with every byte value in it.
  std::string reply;
  for (int i = 0; i < 300; ++i) reply += static_cast<char>(i);
  pinpad.AnswerAfter(kStatusFrame.size(), reply);

  const std::optional<std::string> received = ExchangePinpadCommand(ports_.nearEnd, "A20000A0");
  EXPECT_EQ(pinpad.Request(), kStatusFrame);
  ASSERT_TRUE(received.has_value());
  EXPECT_EQ(*received, reply);
}

TEST_F(PinpadExchange, ASilentPinpadGivesAnEmptyReplyAndTheNextExchangeWorks) {
  {
    TPinpadEnd pinpad(ports_.farEnd);
    ASSERT_TRUE(pinpad.IsOpen());
    const std::optional<std::string> silence = ExchangePinpadCommand(ports_.nearEnd, "E9010000EA");
    ASSERT_TRUE(silence.has_value());
    EXPECT_EQ(*silence, "");
    const std::string deleteFrame = std::string("\x02") + "E9010000EA" + "\x03\x03";
    pinpad.AnswerAfter(deleteFrame.size(), "");
    EXPECT_EQ(pinpad.Request(), deleteFrame);
  }
  TPinpadEnd pinpad(ports_.farEnd);
  pinpad.AnswerAfter(kStatusFrame.size(), "\x02" "0000" "\x03");
  const std::optional<std::string> received = ExchangePinpadCommand(ports_.nearEnd, "A20000A0");
  ASSERT_TRUE(received.has_value());
  EXPECT_EQ(*received, "\x02" "0000" "\x03");
}

TEST_F(PinpadExchange, APortThatIsMissingOrNoSerialLineFailsAndIsLetGo) {
  EXPECT_FALSE(ExchangePinpadCommand(L"COM250", "A20000A0").has_value());

  // The other port opens but refuses a line state: the exchange fails after
  // the port was opened, and the port must not stay held.
  const int handlesBefore = CountOpenHandles();
  EXPECT_FALSE(ExchangePinpadCommand(ports_.other, "A20000A0").has_value());
  const int handlesAfter = CountOpenHandles();
  EXPECT_EQ(handlesAfter, handlesBefore);
}
