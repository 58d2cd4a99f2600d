#pragma once
#include <string>

// The text of a CA file, read as the updater reads its folder's files: only
// a regular file (never a pipe or a device, which could keep the call
// waiting), at most 1 MiB. False with *reason set, in the trace's words,
// otherwise.
bool ReadCaFileText(const std::string& path, std::string* text, std::string* reason);
