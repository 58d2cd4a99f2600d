#pragma once
#include <string>
#include <vector>

// How a cheque or report text from the payment core is shown and where its
// copy is filed.

// Lines cut to shape for the log: with more than two lines, a first line
// longer than the second loses characters from its start until it is as long;
// trailing lines that are empty or a single blank go. Each remaining line is
// followed by CR LF.
std::wstring CleanChequeText(const std::wstring& text);

// A cheque line as a folder name: blanks and control characters trimmed from
// both ends, and " * / : < > ? \ | and control characters removed wherever
// they stand; empty when nothing is left, and the level is then left out.
// What remains is made a name Windows keeps as written, so that the next
// level and the file are found inside it: blanks trimmed again, trailing
// dots dropped, at most kLongestFolderName characters, "Без названия" when
// that leaves nothing (a line of dots: ".." would climb out of the archive),
// and a device name (CON, NUL, COM1, LPT1.txt...) behind a "_".
std::wstring SanitizeFolderName(const std::wstring& text);

// Cheque lines are a printer's width; a longer one is cut so that the three
// levels and the file name stay inside the system's path length.
constexpr size_t kLongestFolderName = 64;

// The digits after "Терминал:" on the first line from the second on that
// begins with it, without leading zeros; empty when there is none.
std::wstring ExtractTerminalNumber(const std::vector<std::wstring>& lines);
