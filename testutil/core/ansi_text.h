#pragma once
#include <string>

// TavoTest's files ("pay_stack", "error_list", the cheque archive) and the
// payment core library's texts are single-byte text in the system's ANSI code
// page; everything shown on screen is wide. These two cross that boundary.
// A character the code page cannot hold becomes "?".
std::wstring AnsiToWide(const std::string& bytes);
std::string WideToAnsi(const std::wstring& text);
