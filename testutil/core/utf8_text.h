#pragma once
#include <string>

// UTF-8 form of a wide text (UTF-16 on Windows, UTF-32 on Linux); a lone
// surrogate becomes U+FFFD.
std::string WideToUtf8(const std::wstring& text);
