#pragma once
#include <stdexcept>
#include <string>

// Ends an operation that met something it cannot go on from: a file that
// cannot be written, a payment core answer that makes no sense, a failing
// automation call. The window side catches it around every operation and shows
// it in a message box; the log lines added before stay, and the program goes
// on running. what() is the text in UTF-8.
class TUnexpectedError : public std::runtime_error {
 public:
  explicit TUnexpectedError(const std::wstring& text);
  const std::wstring& Text() const { return text_; }

 private:
  std::wstring text_;
};
