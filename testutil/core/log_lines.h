#pragma once
#include <string>
#include <vector>

#include "text_lines.h"

// The log panel mmo1 as a list of lines. The window side supplies Clear, Add
// and Lines over its read-only text control (or keeps a TLogLines and shows
// its lines).
class ILogLines {
 public:
  virtual ~ILogLines() = default;
  virtual void Clear() = 0;
  // One line per part of the text between line breaks (CR LF, CR, LF): "a\r\n"
  // adds "a" and an empty line, "" adds one empty line.
  virtual void Add(const std::wstring& text) = 0;
  virtual const std::vector<std::wstring>& Lines() const = 0;
  // The whole text: every line followed by CR LF.
  std::wstring Text() const { return JoinLines(Lines()); }
};

// The log in memory.
class TLogLines final : public ILogLines {
 public:
  void Clear() override { lines_.clear(); }
  void Add(const std::wstring& text) override;
  const std::vector<std::wstring>& Lines() const override { return lines_; }

 private:
  std::vector<std::wstring> lines_;
};
