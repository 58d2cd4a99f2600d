#include "cheque_archive.h"

#include <vector>

#include "ansi_text.h"
#include "cheque_text.h"
#include "text_lines.h"

namespace {

const wchar_t* Prefix(ChequeKind kind) {
  switch (kind) {
    case ChequeKind::Reconciliation:
      return L"Сверка от ";
    case ChequeKind::Payment:
      return L"Оплата от ";
    case ChequeKind::Refund:
      return L"Возврат от ";
    case ChequeKind::Cancellation:
      return L"Отмена от ";
  }
  return L"";
}

// Regional formats may write a date as 07/12/2026 or a time as 14:05:09;
// neither character may stand in a file name.
std::wstring FileNameSafe(std::wstring text) {
  for (wchar_t& c : text) {
    if (c < L' ' || std::wstring(L"\\/:*?\"<>|").find(c) != std::wstring::npos) c = L'-';
  }
  return text;
}

}  // namespace

TChequeArchive::TChequeArchive(IFileStore& files, IRegionalTexts& regional, const ILogLines& log,
                               const std::wstring& programDir)
    : files_(files), regional_(regional), log_(log), root_(programDir + L"Cheque") {}

void TChequeArchive::SaveCheque(const std::wstring& text, ChequeKind kind) {
  if (text.empty()) return;
  std::wstring folder = root_;
  if (!files_.Exists(folder)) files_.CreateFolder(folder);
  const std::vector<std::wstring> lines = SplitLines(text);
  if (lines.size() > 1) {
    EnterFolder(folder, SanitizeFolderName(lines[0]));
    EnterFolder(folder, SanitizeFolderName(lines[1]));
    // A garbled cheque may hold any run of digits there: cut like a line,
    // so that the path stays inside the system's length.
    EnterFolder(folder, ExtractTerminalNumber(lines).substr(0, kLongestFolderName));
  }
  files_.Write(folder + L"\\" + FileName(kind), WideToAnsi(log_.Text()));
}

std::wstring TChequeArchive::FileName(ChequeKind kind) {
  const TMomentTexts now = regional_.Now();
  return Prefix(kind) + FileNameSafe(now.date) + L" в " + FileNameSafe(now.time) + L".txt";
}

// A folder that cannot be created shows itself when the file cannot be
// written into it.
void TChequeArchive::EnterFolder(std::wstring& folder, const std::wstring& name) {
  if (name.empty()) return;
  folder += L"\\" + name;
  if (!files_.Exists(folder)) files_.CreateFolder(folder);
}
