#include "host_list.h"

#include "files/ini_file.h"

void THostList::Parse(const std::string& text, uint16_t defaultPort) {
  entries_.clear();
  current_ = 0;
  TLineReader reader(text.data(), text.size());
  std::string line;
  while (reader.ReadLine(line)) {
    entries_.emplace_back();
    entries_.back().Parse(line, defaultPort);
  }
}

const TUrl& THostList::Current() const {
  return entries_.empty() ? empty_ : entries_[current_];
}

void THostList::Advance() {
  if (entries_.empty()) return;
  current_ = (current_ + 1) % entries_.size();
}
