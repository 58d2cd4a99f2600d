#include "cheque_text.h"

#include <algorithm>

#include "decimal_text.h"
#include "text_lines.h"

namespace {

const std::wstring kTerminalLabel = L"Терминал:";
const std::wstring kNotInFolderNames = L"\"*/:<>?\\|";

bool IsBlankOrControl(wchar_t c) { return c <= L' '; }
bool IsControl(wchar_t c) { return c < L' '; }

bool IsOneBlankOrEmpty(const std::wstring& line) { return line.empty() || line == L" "; }

}  // namespace

std::wstring CleanChequeText(const std::wstring& text) {
  std::vector<std::wstring> lines = SplitLines(text);
  if (lines.size() > 2 && lines[0].size() > lines[1].size()) lines[0].erase(0, lines[0].size() - lines[1].size());
  while (!lines.empty() && IsOneBlankOrEmpty(lines.back())) lines.pop_back();
  return JoinLines(lines);
}

std::wstring SanitizeFolderName(const std::wstring& text) {
  size_t begin = 0;
  size_t end = text.size();
  while (begin < end && IsBlankOrControl(text[begin])) ++begin;
  while (end > begin && IsBlankOrControl(text[end - 1])) --end;
  std::wstring name;
  for (size_t i = begin; i < end; ++i) {
    const wchar_t c = text[i];
    if (!IsControl(c) && kNotInFolderNames.find(c) == std::wstring::npos) name += c;
  }
  if (name.find_first_not_of(L'.') == std::wstring::npos) return std::wstring();
  return name;
}

std::wstring ExtractTerminalNumber(const std::vector<std::wstring>& lines) {
  for (size_t i = 1; i < lines.size(); ++i) {
    const std::wstring& line = lines[i];
    if (line.compare(0, kTerminalLabel.size(), kTerminalLabel) != 0) continue;
    std::wstring digits;
    for (size_t j = kTerminalLabel.size(); j < line.size(); ++j) {
      if (IsDecimalDigit(line[j])) digits += line[j];
    }
    return digits.substr(std::min(digits.find_first_not_of(L'0'), digits.size()));
  }
  return std::wstring();
}
