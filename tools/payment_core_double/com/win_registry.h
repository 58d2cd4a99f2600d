#pragma once
#include <windows.h>

#include <string>

// Registration keys under HKEY_CLASSES_ROOT, where regsvr32 puts them for
// every user of the machine.

// Sets the default value (valueName null) or a named text value of
// HKCR\subkey, creating the key as needed.
HRESULT SetClassesValue(const std::wstring& subkey, const wchar_t* valueName,
                        const std::wstring& value);

// Removes HKCR\subkey and everything below it; a key that is not there
// already counts as removed.
HRESULT DeleteClassesTree(const std::wstring& subkey);

// Removes HKCR\subkey when no key is left below it: two files register parts
// of one class, and the class key goes with the last of them.
void DeleteClassesKeyIfEmpty(const std::wstring& subkey);

// "CLSID\{...}" of the double's server, and a key below it.
std::wstring ServerClassKey(const wchar_t* below = nullptr);
