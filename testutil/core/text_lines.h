#pragma once
#include <string>
#include <vector>

// Line handling shared by single-byte file texts and wide screen texts. Line
// breaks are CR LF, a lone CR or a lone LF.

// Every part between line breaks, empty ones included: "a\r\n" is "a" and "",
// and "" is one empty part. This is how the log takes a text.
template <class Char>
std::vector<std::basic_string<Char>> SplitParts(const std::basic_string<Char>& text) {
  std::vector<std::basic_string<Char>> parts(1);
  for (size_t i = 0; i < text.size(); ++i) {
    const Char c = text[i];
    if (c == Char('\r') || c == Char('\n')) {
      if (c == Char('\r') && i + 1 < text.size() && text[i + 1] == Char('\n')) ++i;
      parts.emplace_back();
    } else {
      parts.back() += c;
    }
  }
  return parts;
}

// The lines of a file or cheque text: a break at the very end closes the last
// line rather than starting another, and an empty text has no lines.
template <class Char>
std::vector<std::basic_string<Char>> SplitLines(const std::basic_string<Char>& text) {
  if (text.empty()) return {};
  std::vector<std::basic_string<Char>> lines = SplitParts(text);
  const Char last = text.back();
  if (last == Char('\r') || last == Char('\n')) lines.pop_back();
  return lines;
}

// Each line followed by CR LF, as TavoTest writes its files.
template <class Char>
std::basic_string<Char> JoinLines(const std::vector<std::basic_string<Char>>& lines) {
  std::basic_string<Char> text;
  for (const auto& line : lines) {
    text += line;
    text += Char('\r');
    text += Char('\n');
  }
  return text;
}
