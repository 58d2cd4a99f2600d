// The HTTP client reading a response that arrives in pieces of any size:
// the same bytes give the same outcome whether the body goes to memory or
// to a file, a file holds exactly the body kept in memory and its SHA-1 is
// the one reported, and a well-formed response (Content-Length or chunked,
// any chunk sizes and extensions, any headers) yields its body exactly.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <deque>
#include <memory>
#include <string>

#include "fuzz_check.h"
#include "fuzz_folder.h"
#include "http/http_client.h"
#include "net/waitable_connection.h"
#include "../tests/platform/ready_network.h"

namespace {

// One piece of a server's answer as the socket has it: at once, or only
// after the client has waited for it.
struct TPiece {
  std::string bytes;
  bool afterWait = false;
};
using TPieces = std::deque<TPiece>;

// A server's answer cut into pieces. A piece comes with a read or a wait
// for bytes, and once all are taken the peer has closed the connection, so
// no read ever waits for the clock.
class TPiecesConnection : public IConnection, public IWaitableConnection {
 public:
  explicit TPiecesConnection(TPieces pieces) : pieces_(std::move(pieces)) {}
  int32_t Send(const void*, uint32_t length) override { return static_cast<int32_t>(length); }
  int32_t Receive(void* buffer, uint32_t size) override {
    if (ready_.empty() && !pieces_.empty() && !pieces_.front().afterWait) TakePiece();
    if (ready_.empty()) return pieces_.empty() ? -1 : 0;
    const size_t count = std::min<size_t>(size, ready_.size());
    std::memcpy(buffer, ready_.data(), count);
    ready_.erase(0, count);
    return static_cast<int32_t>(count);
  }
  uint32_t GetPeerAddress() override { return 0; }
  int32_t GetState() override { return CONNECTION_CONNECTED; }
  TResult GetLastResult() override { return TResult(); }
  bool WaitUntilReady(TConnectionWait what, uint32_t) override {
    if (what == TConnectionWait::Receive && ready_.empty() && !pieces_.empty()) TakePiece();
    return true;
  }

 private:
  void TakePiece() {
    ready_ = pieces_.front().bytes;
    pieces_.pop_front();
  }

  TPieces pieces_;
  std::string ready_;
};

class TPiecesNetwork : public TReadyNetworkDouble {
 public:
  explicit TPiecesNetwork(TPieces pieces) : pieces_(std::move(pieces)) {}
  TResult Connect(const TNetAddress&, IConnection** out) override {
    *out = new TPiecesConnection(pieces_);
    return TResult();
  }

 private:
  TPieces pieces_;
};

class TPiecesClient : public THttpClient {
 public:
  explicit TPiecesClient(TPieces pieces) : network_(std::move(pieces)) {
    TUrl target;
    target.Parse("127.0.0.1:8080/tavo2-web/getFile/a.bin", 80);
    SetTarget(target);
  }
  TResult OpenChannel(INetworkInterface** out) override {
    *out = &network_;
    return TResult();
  }

 private:
  TPiecesNetwork network_;
};

TFuzzFolder& Folder() {
  static TFuzzFolder folder("http_response_fuzz");
  return folder;
}

constexpr char kDownload[] = "download.bin";

// The text cut at sizes the fuzzer chooses (pieces of 1 to 300 bytes), some
// of them coming only after a wait.
TPieces CutIntoPieces(const std::string& text, FuzzedDataProvider& input) {
  TPieces pieces;
  for (size_t at = 0; at < text.size();) {
    TPiece piece;
    piece.afterWait = input.ConsumeBool();
    piece.bytes = text.substr(at, input.ConsumeIntegralInRange<size_t>(1, 300));
    at += piece.bytes.size();
    pieces.push_back(piece);
  }
  return pieces;
}

struct TOutcome {
  int32_t code = 0;
  std::string body;
  TDownloadProgress progress;
};

TOutcome ToMemory(const TPieces& pieces) {
  TPiecesClient client(pieces);
  TOutcome outcome;
  outcome.code = client.Exchange("", outcome.body, "").GetCode();
  FUZZ_CHECK(outcome.body.size() <= THttpClient::kMaxBodyInMemory);
  return outcome;
}

TOutcome ToFile(const TPieces& pieces, uint32_t expectedSize) {
  TPiecesClient client(pieces);
  client.SetDownloadFileSystem(&Folder().Files());
  TDownloadProgress progress;
  progress.expectedSize = expectedSize;
  client.SetProgress(progress);
  std::string response;
  TOutcome outcome;
  outcome.code = client.Exchange("", response, kDownload).GetCode();
  outcome.progress = client.GetProgress();
  if (outcome.code == 0) {
    FUZZ_CHECK(response.empty());
    outcome.body = Folder().Read(kDownload);
  }
  return outcome;
}

// Any bytes: memory and file agree.
void CheckAnyResponse(FuzzedDataProvider& input) {
  const std::string text = input.ConsumeRandomLengthString(8192);
  const TPieces pieces = CutIntoPieces(text, input);
  const TOutcome memory = ToMemory(pieces);
  const TOutcome file = ToFile(pieces, 0);
  FUZZ_CHECK(memory.code == file.code);
  if (memory.code == 0) FUZZ_CHECK(memory.body == file.body);
}

std::string Hex(size_t value, bool upper) {
  char text[32];
  std::snprintf(text, sizeof text, upper ? "%zX" : "%zx", value);
  return text;
}

// Header text without the line break, the separator or a value that would
// change how the body is read.
std::string HeaderText(FuzzedDataProvider& input, size_t longest) {
  std::string text = input.ConsumeRandomLengthString(longest);
  for (char& c : text) {
    if (c == '\r' || c == '\n' || c == ':') c = '-';
  }
  return text;
}

// A response of the kind the update server sends, with the body framed one
// way or the other and arbitrary header lines around the framing one.
void CheckWellFormedResponse(FuzzedDataProvider& input) {
  const bool chunked = input.ConsumeBool();
  const std::string body = input.ConsumeRandomLengthString(6000);
  std::string head = "HTTP/1.1 200 " + HeaderText(input, 20) + "\r\n";
  const int extraHeaders = input.ConsumeIntegralInRange(0, 6);
  const int framingAt = input.ConsumeIntegralInRange(0, extraHeaders);
  for (int i = 0; i <= extraHeaders; ++i) {
    if (i == framingAt) {
      head += chunked ? "Transfer-Encoding: chunked\r\n" : "content-LENGTH: " + std::to_string(body.size()) + "\r\n";
    } else {
      std::string name = "X-" + HeaderText(input, 30);
      std::string value = HeaderText(input, 60);
      if (value == "chunked") value += '.';
      head += name + ": " + value + "\r\n";
    }
  }
  head += "\r\n";
  std::string text = head;
  if (chunked) {
    for (size_t at = 0; at < body.size();) {
      const size_t size = std::min(body.size() - at, input.ConsumeIntegralInRange<size_t>(1, 2000));
      text += Hex(size, input.ConsumeBool());
      if (input.ConsumeBool()) text += ";ext=" + HeaderText(input, 10);
      text += "\r\n" + body.substr(at, size) + "\r\n";
      at += size;
    }
    text += "0\r\n\r\n";
  } else {
    text += body;
  }
  const TPieces pieces = CutIntoPieces(text, input);

  const TOutcome memory = ToMemory(pieces);
  FUZZ_CHECK(memory.code == 0 && memory.body == body);
  const TOutcome file = ToFile(pieces, static_cast<uint32_t>(body.size()));
  FUZZ_CHECK(file.code == 0 && file.body == body);
  FUZZ_CHECK(file.progress.bytesReceived == body.size());
  FUZZ_CHECK(file.progress.lastPercentage == (body.empty() ? 0u : 100u));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider input(data, size);
  if (input.ConsumeBool()) {
    CheckWellFormedResponse(input);
  } else {
    CheckAnyResponse(input);
  }
  return 0;
}
