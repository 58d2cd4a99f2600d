#include "body_delivery.h"
#include <algorithm>
#include <memory>
#include "request_log.h"

namespace {

using TClock = std::chrono::steady_clock;

constexpr size_t kChunkSize = 4096;
// A body at a limited rate goes out in this many pieces a second at least,
// so that it trickles as over a slow link instead of coming in bursts.
constexpr uint64_t kPacedPiecesPerSecond = 25;

// Holds a body back to its rate: the byte at offset n leaves no sooner than
// n / rate seconds after the first one.
class TPacer {
 public:
  TPacer(uint64_t rate, TShutdownGate& gate) : rate_(rate), gate_(gate) {}

  // The most that goes out in one write.
  size_t PieceSize(size_t length) const {
    if (rate_ == 0) return length;
    return static_cast<size_t>(std::clamp<uint64_t>(rate_ / kPacedPiecesPerSecond, 1, kChunkSize));
  }

  // Waits until the byte at `offset` is due; false when the server stops
  // meanwhile.
  bool WaitUntilDue(uint64_t offset) {
    if (rate_ == 0) return true;
    if (!started_) {
      start_ = TClock::now();
      started_ = true;
    }
    const auto due = start_ + std::chrono::microseconds(offset * 1000000 / rate_);
    const auto now = TClock::now();
    return due <= now || gate_.WaitFor(std::chrono::ceil<std::chrono::milliseconds>(due - now));
  }

 private:
  uint64_t rate_;
  TShutdownGate& gate_;
  bool started_ = false;
  TClock::time_point start_;
};

// The bytes [offset, offset + length) of the body, in pieces at the pacer's
// rate; false once a write fails or the server stops.
bool SendRange(httplib::DataSink& sink, const std::string& body, size_t offset, size_t length, TPacer& pacer) {
  const size_t end = offset + length;
  while (offset < end) {
    const size_t piece = std::min(pacer.PieceSize(end - offset), end - offset);
    if (!pacer.WaitUntilDue(offset) || !sink.write(body.data() + offset, piece)) return false;
    CurrentSentBody().bytes += piece;
    offset += piece;
  }
  return true;
}

// Half the body, then a close: at once for a cut, after the stall for a stall.
bool SendFaultyBody(httplib::DataSink& sink, const std::string& body, TBodyFault fault,
                    const TDeliveryStyle& style, TPacer& pacer, TShutdownGate& gate) {
  CurrentSentBody().note = fault == TBodyFault::Cut ? "cut" : "stall";
  SendRange(sink, body, 0, body.size() / 2, pacer);
  if (fault == TBodyFault::Stall) gate.WaitFor(style.stall);
  return false;  // the library closes the connection without finishing the body
}

}  // namespace

void DeliverBody(httplib::Response& res, const std::string& body, const char* contentType,
                 TBodyFault fault, const TDeliveryStyle& style, TShutdownGate& gate) {
  res.status = 200;
  CurrentSentBody() = TSentBody();
  auto shared = std::make_shared<const std::string>(body);
  auto pacer = std::make_shared<TPacer>(style.rate, gate);
  if (fault != TBodyFault::None) {
    auto provider = [shared, fault, style, pacer, &gate](size_t, httplib::DataSink& sink) {
      return SendFaultyBody(sink, *shared, fault, style, *pacer, gate);
    };
    if (style.chunked) {
      res.set_chunked_content_provider(contentType, provider);
    } else {
      res.set_content_provider(body.size(), contentType,
                               [provider](size_t offset, size_t, httplib::DataSink& sink) {
                                 return provider(offset, sink);
                               });
    }
  } else if (style.chunked) {
    res.set_chunked_content_provider(contentType, [shared, pacer](size_t offset, httplib::DataSink& sink) {
      // An empty chunk would end the body: an empty body is only the end.
      const size_t length = std::min(kChunkSize, shared->size() - offset);
      if (length != 0 && !SendRange(sink, *shared, offset, length, *pacer)) return false;
      if (offset + length == shared->size()) sink.done();
      return true;
    });
  } else if (style.rate != 0 && !body.empty()) {
    res.set_content_provider(body.size(), contentType,
                             [shared, pacer](size_t offset, size_t length, httplib::DataSink& sink) {
                               return SendRange(sink, *shared, offset, std::min(length, kChunkSize), *pacer);
                             });
  } else {
    CurrentSentBody().bytes = body.size();
    res.set_content(body, contentType);
  }
}
