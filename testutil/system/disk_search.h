#pragma once
#include <functional>
#include <string>
#include <vector>

// The roots ("C:\") of the computer's fixed disks, from A to Z. Removable,
// network, optical and RAM drives are left out.
std::vector<std::wstring> GetDiscs();

// Called with each directory (ending in a backslash) as the search enters it.
using TScanProgress = std::function<void(const std::wstring& directory)>;

// Searches directory and everything below it, depth first in the order the
// file system lists the entries (hidden and system ones included), for files
// named exactly fileName, letter case included, and appends the directory of
// each (ending in a backslash) to found. A directory that cannot be listed
// is passed over. Directory links (junctions, symbolic links) are not
// followed: they may lead back up the tree, and what they lead to is found
// under its own path.
void ScanDir(const std::wstring& directory, const std::wstring& fileName,
             std::vector<std::wstring>& found, const TScanProgress& progress = nullptr);
