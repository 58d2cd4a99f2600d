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

// The name a folder level gets when nothing of its line can stand in a name.
const std::wstring kUnnamedFolder = L"Без названия";

wchar_t Upper(wchar_t c) { return c >= L'a' && c <= L'z' ? static_cast<wchar_t>(c - L'a' + L'A') : c; }

// Windows opens a device, not a folder, for these names, with or without an
// extension and whatever their letter case; blanks before the extension do
// not count.
bool IsDeviceName(const std::wstring& name) {
  std::wstring base = name.substr(0, name.find(L'.'));
  base.erase(base.find_last_not_of(L' ') + 1);
  for (wchar_t& c : base) c = Upper(c);
  if (base == L"CON" || base == L"PRN" || base == L"AUX" || base == L"NUL" || base == L"CONIN$" ||
      base == L"CONOUT$") {
    return true;
  }
  return base.size() == 4 && (base.compare(0, 3, L"COM") == 0 || base.compare(0, 3, L"LPT") == 0) &&
         IsDecimalDigit(base[3]);
}

// Windows drops blanks and dots from the end of a folder's name when it
// creates the folder, and a path that still names them then finds nothing.
std::wstring KeptAsWritten(std::wstring name) {
  if (name.size() > kLongestFolderName) name.resize(kLongestFolderName);
  name.erase(0, std::min(name.find_first_not_of(L' '), name.size()));
  name.erase(name.find_last_not_of(L". ") + 1);
  if (name.empty()) return kUnnamedFolder;
  if (IsDeviceName(name)) return L"_" + name;
  return name;
}

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
  if (name.empty()) return name;
  return KeptAsWritten(name);
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
