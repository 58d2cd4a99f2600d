#pragma once
#include <cstddef>
#include <string>

// Looks a value up in the text of an INI file by the rules of the Windows
// profile reader, so that one "softkeys.ini" means the same on both
// systems: section and key names match without regard to case, blanks
// around names and values are ignored, a value in matching quotes loses
// them, the first match wins, and the value is cut to maxLength characters.
// Without a match the answer is fallback (cut the same way).
std::string ReadProfileString(const std::string& text, const std::string& section, const std::string& key,
                              const std::string& fallback, std::size_t maxLength);
