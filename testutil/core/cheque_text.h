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
// they stand. A name of dots alone (".." would climb out of the archive)
// gives an empty name.
std::wstring SanitizeFolderName(const std::wstring& text);

// The digits after "Терминал:" on the first line from the second on that
// begins with it, without leading zeros; empty when there is none.
std::wstring ExtractTerminalNumber(const std::vector<std::wstring>& lines);
