#include "unexpected_error.h"

#include "utf8_text.h"

TUnexpectedError::TUnexpectedError(const std::wstring& text) : std::runtime_error(WideToUtf8(text)), text_(text) {}
