#include "win_controls.h"

#include <commctrl.h>

#include "driver_failure.h"

namespace {

// A read of an idle program answers at once; one that takes longer than this
// finds the program busy, which the script should have waited for.
const UINT kAnswerLimitMs = 5000;

// A block of memory inside the other program, for messages that fill or read
// a structure through a pointer.
class TRemoteBlock {
 public:
  TRemoteBlock(HANDLE process, size_t size) : process_(process) {
    address_ = VirtualAllocEx(process, nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    if (!address_) throw TDriverFailure("cannot reach the program's memory (error " + std::to_string(GetLastError()) + ")");
  }
  ~TRemoteBlock() { VirtualFreeEx(process_, address_, 0, MEM_RELEASE); }
  TRemoteBlock(const TRemoteBlock&) = delete;
  TRemoteBlock& operator=(const TRemoteBlock&) = delete;

  LPARAM Address(size_t offset = 0) const { return reinterpret_cast<LPARAM>(static_cast<char*>(address_) + offset); }
  void Write(size_t offset, const void* data, size_t size) {
    if (!WriteProcessMemory(process_, static_cast<char*>(address_) + offset, data, size, nullptr)) {
      throw TDriverFailure("cannot write the program's memory");
    }
  }
  void Read(size_t offset, void* data, size_t size) const {
    if (!ReadProcessMemory(process_, static_cast<char*>(address_) + offset, data, size, nullptr)) {
      throw TDriverFailure("cannot read the program's memory");
    }
  }
  std::wstring ReadText(size_t offset, size_t characters) const {
    std::wstring text(characters, L'\0');
    if (characters) Read(offset, &text[0], characters * sizeof(wchar_t));
    text.resize(wcsnlen(text.c_str(), characters));
    return text;
  }

 private:
  HANDLE process_;
  void* address_ = nullptr;
};

struct TSearch {
  int id;
  const wchar_t* className;
  const std::wstring* caption;
  HWND found;
};

std::wstring WithoutAccelerators(const std::wstring& text) {
  std::wstring plain;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == L'&' && i + 1 < text.size()) ++i;
    plain += text[i];
  }
  return plain;
}

BOOL CALLBACK MatchChild(HWND child, LPARAM parameter) {
  auto* search = reinterpret_cast<TSearch*>(parameter);
  const bool match = search->caption ? WithoutAccelerators(StoredCaption(child)) == *search->caption
                                     : GetDlgCtrlID(child) == search->id &&
                                           (!search->className || _wcsicmp(ClassOf(child).c_str(), search->className) == 0);
  if (!match) return TRUE;
  search->found = child;
  return FALSE;
}

}  // namespace

LRESULT SendWithin(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  DWORD_PTR result = 0;
  if (!SendMessageTimeoutW(window, message, wParam, lParam, SMTO_NORMAL, kAnswerLimitMs, &result)) {
    throw TDriverFailure("the program did not answer within " + std::to_string(kAnswerLimitMs / 1000) +
                         " s (busy or hung)");
  }
  return static_cast<LRESULT>(result);
}

std::wstring ClassOf(HWND window) {
  wchar_t name[256] = {};
  GetClassNameW(window, name, 256);
  return name;
}

std::wstring StoredCaption(HWND window) {
  std::wstring text(static_cast<size_t>(GetWindowTextLengthW(window)) + 1, L'\0');
  text.resize(static_cast<size_t>(GetWindowTextW(window, &text[0], static_cast<int>(text.size()))));
  return text;
}

std::wstring WindowText(HWND window) {
  const LRESULT length = SendWithin(window, WM_GETTEXTLENGTH, 0, 0);
  std::wstring text(static_cast<size_t>(length) + 1, L'\0');
  const LRESULT copied = SendWithin(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(&text[0]));
  text.resize(static_cast<size_t>(copied));
  return text;
}

std::wstring StatusText(HANDLE process, HWND bar, int part) {
  const size_t length = LOWORD(SendWithin(bar, SB_GETTEXTLENGTHW, part, 0));
  TRemoteBlock text(process, (length + 1) * sizeof(wchar_t));
  SendWithin(bar, SB_GETTEXTW, part, text.Address());
  return text.ReadText(0, length);
}

bool IsComboBox(HWND window) { return _wcsicmp(ClassOf(window).c_str(), L"ComboBox") == 0; }

std::vector<std::wstring> ListEntries(HWND list) {
  const bool combo = IsComboBox(list);
  const LRESULT count = SendWithin(list, combo ? CB_GETCOUNT : LB_GETCOUNT, 0, 0);
  std::vector<std::wstring> entries;
  for (LRESULT i = 0; i < count; ++i) {
    const LRESULT length = SendWithin(list, combo ? CB_GETLBTEXTLEN : LB_GETTEXTLEN, i, 0);
    if (length < 0) throw TDriverFailure("the list lost its entries while being read");
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    SendWithin(list, combo ? CB_GETLBTEXT : LB_GETTEXT, i, reinterpret_cast<LPARAM>(&text[0]));
    text.resize(static_cast<size_t>(length));
    entries.push_back(text);
  }
  return entries;
}

int SelectedEntry(HWND list) {
  const LRESULT selected = SendWithin(list, IsComboBox(list) ? CB_GETCURSEL : LB_GETCURSEL, 0, 0);
  return selected < 0 ? -1 : static_cast<int>(selected);
}

std::wstring TabCaption(HANDLE process, HWND tab, int index) {
  const size_t capacity = 256;
  TRemoteBlock block(process, sizeof(TCITEMW) + capacity * sizeof(wchar_t));
  TCITEMW item = {};
  item.mask = TCIF_TEXT;
  item.pszText = reinterpret_cast<wchar_t*>(block.Address(sizeof item));
  item.cchTextMax = static_cast<int>(capacity);
  block.Write(0, &item, sizeof item);
  if (!SendWithin(tab, TCM_GETITEMW, index, block.Address())) return std::wstring();
  return block.ReadText(sizeof item, capacity);
}

int TabCount(HWND tab) { return static_cast<int>(SendWithin(tab, TCM_GETITEMCOUNT, 0, 0)); }

bool IsUsable(HWND control) {
  for (HWND window = control; window; window = GetParent(window)) {
    if (!IsWindowVisible(window) || !IsWindowEnabled(window)) return false;
    if (!(GetWindowLongW(window, GWL_STYLE) & WS_CHILD)) break;
  }
  return true;
}

HWND FindDescendant(HWND window, int id, const wchar_t* className) {
  TSearch search = {id, className, nullptr, nullptr};
  EnumChildWindows(window, MatchChild, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

HWND FindDescendantByCaption(HWND window, const std::wstring& caption) {
  TSearch search = {0, nullptr, &caption, nullptr};
  EnumChildWindows(window, MatchChild, reinterpret_cast<LPARAM>(&search));
  return search.found;
}
