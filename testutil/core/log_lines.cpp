#include "log_lines.h"

void TLogLines::Add(const std::wstring& text) {
  for (auto& part : SplitParts(text)) lines_.push_back(std::move(part));
}
