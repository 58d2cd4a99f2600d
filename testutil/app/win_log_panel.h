#pragma once
#include <windows.h>

#include <string>
#include <vector>

#include "log_lines.h"

// The log panel mmo1: a read-only multi-line edit that shows a list of
// lines. The list is kept here, so that reading it back never depends on how
// the control wraps or stores its text.
class TLogPanel final : public ILogLines {
 public:
  void Attach(HWND edit);
  HWND Handle() const { return edit_; }

  void Clear() override;
  void Add(const std::wstring& text) override;
  const std::vector<std::wstring>& Lines() const override { return lines_.Lines(); }
  // Caret to the very start, so the panel shows its first line.
  void CaretToStart();

 private:
  HWND edit_ = nullptr;
  TLogLines lines_;
};
