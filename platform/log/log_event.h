#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>

// Something worth a log line: a text and optional data, shown raw or, for
// binary events, as a hex dump.
class TLogEvent {
 public:
  TLogEvent(const void* data = nullptr, uint32_t length = 0) : data_(data), length_(length) {}
  virtual ~TLogEvent() = default;
  virtual bool IsBinary() const { return false; }
  virtual const char* GetText() const = 0;
  // Bytes of the text; a text that may hold NUL bytes says so here.
  virtual size_t GetTextLength() const;

  const uint8_t* Data() const { return static_cast<const uint8_t*>(data_); }
  // Length of the data: as given, or the text length of zero-terminated data
  // given with length 0.
  uint32_t DataLength() const;

 private:
  const void* data_;
  uint32_t length_;
  [[maybe_unused]] uint32_t reserved_ = 0;
};

class T_LE_Connected : public TLogEvent {
 public:
  using TLogEvent::TLogEvent;
  const char* GetText() const override;
};

class T_LE_Disconnected : public TLogEvent {
 public:
  T_LE_Disconnected() = default;
  const char* GetText() const override;
};

class T_LE_Sent : public TLogEvent {
 public:
  using TLogEvent::TLogEvent;
  bool IsBinary() const override { return true; }
  const char* GetText() const override { return ">"; }
};

class T_LE_Received : public TLogEvent {
 public:
  using TLogEvent::TLogEvent;
  bool IsBinary() const override { return true; }
  const char* GetText() const override { return "<"; }
};

// An error report with its own text (cut to fit; the agent's build puts
// "Error " in front of it).
class T_LE_ComError : public TLogEvent {
 public:
  explicit T_LE_ComError(const char* text);
  const char* GetText() const override { return text_; }

 private:
  char text_[64];
};

// One entry of the update trace. Its text is taken whole, NUL bytes
// included: body pieces are traced as received.
class TSysTraceLine : public TLogEvent {
 public:
  explicit TSysTraceLine(std::string text) : text_(std::move(text)) {}
  const char* GetText() const override { return text_.c_str(); }
  size_t GetTextLength() const override { return text_.size(); }

 private:
  std::string text_;
};

class ILogger {
 public:
  virtual ~ILogger() = default;
  virtual void Log(const TLogEvent& event) = 0;
};
