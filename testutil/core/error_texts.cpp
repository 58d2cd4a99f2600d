#include "error_texts.h"

#include <optional>
#include <vector>

#include "ansi_text.h"
#include "text_lines.h"

namespace {

// Codes the front-end system answers with; they need no file to be told.
constexpr int32_t kFrontEndFirst = 4400;
constexpr int32_t kFrontEndLast = 4499;

// The text after the first "=" of the first line whose key is the code; an
// empty text counts as none. The key is digits and maybe a minus sign, which
// have no letter case, so a plain comparison is a case-blind one.
std::optional<std::string> FindText(const std::string& list, int32_t code) {
  const std::string key = std::to_string(code);
  for (const std::string& line : SplitLines(list)) {
    const size_t equals = line.find('=');
    if (equals == std::string::npos || line.compare(0, equals, key) != 0) continue;
    if (equals + 1 == line.size()) return std::nullopt;
    return line.substr(equals + 1);
  }
  return std::nullopt;
}

}  // namespace

std::wstring GetErrorText(IFileStore& files, const std::wstring& programDir, int32_t code) {
  const std::optional<std::string> list = files.Read(programDir + L"error_list");
  if (list) {
    if (const std::optional<std::string> text = FindText(*list, code)) return AnsiToWide(*text);
  }
  if (code >= kFrontEndFirst && code <= kFrontEndLast) {
    return L"От фронтальной системы получен код ответа " + std::to_wstring(code - kFrontEndFirst);
  }
  return L"Неизвестная ошибка. Либо в каталоге с TAVO Test отсутствует файл с ошибками error_list";
}
