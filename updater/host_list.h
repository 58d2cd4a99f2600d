#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "url.h"

// The servers to try in turn, one URL a line; a failure moves on to the next
// and the last wraps round to the first.
class THostList {
 public:
  // Every line, empty ones included, becomes an entry; the first is current.
  void Parse(const std::string& text, uint16_t defaultPort);
  // The current entry; an empty URL when there is none.
  const TUrl& Current() const;
  void Advance();
  size_t Count() const { return entries_.size(); }

 private:
  TUrl empty_;
  std::vector<TUrl> entries_;
  size_t current_ = 0;
};
