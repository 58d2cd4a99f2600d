#include "body_delivery.h"
#include <algorithm>
#include <memory>
#include "request_log.h"

namespace {

constexpr size_t kChunkSize = 4096;

bool SendPiece(httplib::DataSink& sink, const std::string& body, size_t offset, size_t length) {
  if (length == 0) return true;  // an empty chunk would end a chunked body
  if (!sink.write(body.data() + offset, length)) return false;
  CurrentSentBody().bytes += length;
  return true;
}

// Half the body, then a close: at once for a cut, after the stall for a stall.
bool SendFaultyBody(httplib::DataSink& sink, const std::string& body, TBodyFault fault,
                    const TDeliveryStyle& style, TShutdownGate& gate) {
  CurrentSentBody().note = fault == TBodyFault::Cut ? "cut" : "stall";
  SendPiece(sink, body, 0, body.size() / 2);
  if (fault == TBodyFault::Stall) gate.WaitFor(style.stall);
  return false;  // the library closes the connection without finishing the body
}

}  // namespace

void DeliverBody(httplib::Response& res, const std::string& body, const char* contentType,
                 TBodyFault fault, const TDeliveryStyle& style, TShutdownGate& gate) {
  res.status = 200;
  CurrentSentBody() = TSentBody();
  auto shared = std::make_shared<const std::string>(body);
  if (fault != TBodyFault::None) {
    auto provider = [shared, fault, style, &gate](size_t, httplib::DataSink& sink) {
      return SendFaultyBody(sink, *shared, fault, style, gate);
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
    res.set_chunked_content_provider(contentType, [shared](size_t offset, httplib::DataSink& sink) {
      const size_t length = std::min(kChunkSize, shared->size() - offset);
      if (!SendPiece(sink, *shared, offset, length)) return false;
      if (offset + length == shared->size()) sink.done();
      return true;
    });
  } else {
    CurrentSentBody().bytes = body.size();
    res.set_content(body, contentType);
  }
}
