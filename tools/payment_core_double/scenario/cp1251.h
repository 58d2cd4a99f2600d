#pragma once
#include <string>

// The payment core speaks single-byte Cyrillic (Windows code page 1251). The
// double's own texts are written in UTF-8 in the source and turned into
// those bytes here; a character the code page lacks becomes "?".
std::string Cp1251FromUtf8(const std::string& utf8);
