#pragma once
#include <cstdint>
#include <string>

#include "file_store.h"

// The text of a payment core result code, from the file "error_list" beside
// the program (lines code=text in the ANSI code page). The file is read anew
// at every lookup, so it can be edited while the program runs; a missing or
// unreadable file counts as empty.
std::wstring GetErrorText(IFileStore& files, const std::wstring& programDir, int32_t code);
