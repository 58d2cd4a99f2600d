#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "file_store.h"
#include "log_lines.h"

// The test payments the payment core confirmed and that still have to be
// refunded or cancelled, oldest first, one amount in kopecks per line of the
// file "pay_stack" beside the program, so that they survive a restart. Every
// change rewrites the whole file. The list in memory follows what the payment
// core confirmed even when the file cannot take a change (that throws), and
// every question about the stack is answered from it: the next write that
// succeeds brings the file up to date.
//
// Lines are kept as their text. An entry "is an integer" when it reads as a
// 32-bit number (blanks around it allowed, so a hand-edited line survives).
class TPayStack {
 public:
  // path: the program directory + "pay_stack".
  TPayStack(IFileStore& files, std::wstring path);

  // Reads the file; a missing file is an empty stack. A file that exists but
  // cannot be read throws, and leaves the stack unloaded: every later use
  // tries again rather than overwrite entries it never saw.
  void LoadPayStack();
  void PushPayment(int32_t amount);
  // Removes one entry of this amount, then lets CancelAmount tidy up.
  void PopPayment(int32_t amount);
  // The amount to cancel next: the oldest entry above 0,01 roubles, else the
  // oldest 0,01; -1 when there is none. Drops entries that are not integers,
  // and deletes the file when no entry above zero remains.
  int32_t CancelAmount();
  // A reconciliation is allowed only with no entries or a single 0,01.
  bool CanReconcile();
  // Entries that are integers.
  int32_t CountPayments();
  // One line per entry: roubles with the system's decimal separator and
  // " р."; an entry that is not an integer shows as it stands.
  void ListPayments(ILogLines& lines, const std::wstring& decimalSeparator);
  void ClearPayStack();

  // Loads the stack unless it is loaded. An operation that will change the
  // stack calls it before it reaches the payment core, so that a stack file
  // that cannot be read stops it before a payment it could not record.
  void EnsureLoaded();

 private:
  void Save(std::vector<std::string> entries);

  IFileStore& files_;
  std::wstring path_;
  std::vector<std::string> entries_;
  bool loaded_ = false;
};
