#pragma once
#include <windows.h>
#include <oleauto.h>

#include <cstdint>
#include <string>

// Automation values as the double's session takes and gives them. Texts
// cross in the ANSI code page (CP_ACP), the payment core's single-byte text.

// VT_I4 or a reference to one, or any value that converts to it.
HRESULT Int32Argument(const VARIANTARG& argument, int32_t* value);

// A BSTR, a reference to one, or any value that converts to it.
HRESULT TextArgument(const VARIANTARG& argument, std::string* text);

// A new BSTR holding `text`; null when out of memory.
BSTR BstrFromAnsi(const std::string& text);
