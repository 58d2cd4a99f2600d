#include "pay_stack.h"

#include <algorithm>
#include <cstddef>
#include <optional>

#include "ansi_text.h"
#include "decimal_text.h"
#include "text_lines.h"
#include "unexpected_error.h"

namespace {

// Notepad may put one in front of a file an engineer edited.
const std::string kUtf8Mark = "\xEF\xBB\xBF";

}  // namespace

TPayStack::TPayStack(IFileStore& files, std::wstring path) : files_(files), path_(std::move(path)) {}

void TPayStack::LoadPayStack() {
  entries_.clear();
  loaded_ = false;
  if (files_.Exists(path_)) {
    std::optional<std::string> text = files_.Read(path_);
    if (!text) throw TUnexpectedError(L"Не удалось прочитать файл " + path_);
    // Every mark in front: one left on the first entry would hide it here,
    // and the file this program writes would show it again once reread.
    while (text->compare(0, kUtf8Mark.size(), kUtf8Mark) == 0) text->erase(0, kUtf8Mark.size());
    entries_ = SplitLines(*text);
  }
  loaded_ = true;
}

void TPayStack::EnsureLoaded() {
  if (!loaded_) LoadPayStack();
}

void TPayStack::Save(std::vector<std::string> entries) {
  entries_ = std::move(entries);
  files_.Write(path_, JoinLines(entries_));
}

void TPayStack::PushPayment(int32_t amount) {
  EnsureLoaded();
  std::vector<std::string> entries = entries_;
  entries.push_back(std::to_string(amount));
  Save(std::move(entries));
}

void TPayStack::PopPayment(int32_t amount) {
  EnsureLoaded();
  if (entries_.empty()) return;
  // Compared by value, so a line written as " 150" or "0150" is the payment
  // of 150 that CancelAmount chose, and is not chosen again for ever.
  std::vector<std::string> entries = entries_;
  const auto match = std::find_if(entries.begin(), entries.end(),
                                  [amount](const std::string& entry) { return ParseInt32(entry) == amount; });
  if (match != entries.end()) entries.erase(match);
  try {
    Save(std::move(entries));
  } catch (const TUnexpectedError&) {
    // The stack in memory is still tidied, as the file will be once it can
    // be written.
    CancelAmount();
    throw;
  }
  CancelAmount();
}

int32_t TPayStack::CancelAmount() {
  EnsureLoaded();
  std::vector<std::string> entries;
  bool dropped = false;
  int32_t chosen = 0;
  size_t i = 0;
  for (; i < entries_.size(); ++i) {
    const std::optional<int32_t> value = ParseInt32(entries_[i]);
    if (!value) {
      dropped = true;
      continue;
    }
    entries.push_back(entries_[i]);
    if (*value > 1) {
      chosen = *value;
      break;
    }
  }
  // The walk stops at the chosen entry: the ones behind it stay untouched.
  if (i < entries_.size()) {
    entries.insert(entries.end(), entries_.begin() + static_cast<std::ptrdiff_t>(i) + 1, entries_.end());
  }
  if (dropped) Save(std::move(entries));

  if (chosen == 0) {
    // Only entries of 0,01 or less are left: the oldest 0,01 it is. An
    // entry of 0 or below in front of it must not hide it.
    for (const std::string& entry : entries_) {
      if (ParseInt32(entry) == 1) return 1;
    }
    // Nothing left worth cancelling: the stack is done with, in memory as in
    // the file, so the leftovers cannot come back with the next payment.
    files_.Remove(path_);
    entries_.clear();
    return -1;
  }
  return chosen;
}

bool TPayStack::CanReconcile() {
  EnsureLoaded();
  if (entries_.empty()) return true;
  if (entries_.size() == 1) return ParseInt32(entries_.front()) == 1;
  int ones = 0;
  int others = 0;
  for (const std::string& entry : entries_) {
    const std::optional<int32_t> value = ParseInt32(entry);
    if (!value) continue;
    if (*value == 1) {
      ++ones;
    } else {
      ++others;
    }
  }
  return others == 0 && ones <= 1;
}

int32_t TPayStack::CountPayments() {
  EnsureLoaded();
  return static_cast<int32_t>(std::count_if(entries_.begin(), entries_.end(),
                                            [](const std::string& entry) { return ParseInt32(entry).has_value(); }));
}

void TPayStack::ListPayments(ILogLines& lines, const std::wstring& decimalSeparator) {
  EnsureLoaded();
  for (const std::string& entry : entries_) {
    const std::optional<int32_t> value = ParseInt32(entry);
    lines.Add(value ? FormatRoubles(*value, decimalSeparator) + L" р." : AnsiToWide(entry));
  }
}

void TPayStack::ClearPayStack() {
  entries_.clear();
  loaded_ = true;
  files_.Remove(path_);
}
