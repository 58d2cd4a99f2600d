#pragma once
#include <string>

// Scripts and output are UTF-8; windows speak UTF-16.
std::wstring Utf8ToWide(const std::string& text);
std::string WideToUtf8(const std::wstring& text);
