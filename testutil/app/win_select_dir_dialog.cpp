#include "win_select_dir_dialog.h"

#include <commctrl.h>
#include <commdlg.h>

#include <vector>

#include "disk_search.h"

namespace {

const wchar_t kDialogClass[] = L"TSelectTavoDirDlg";
const wchar_t kCaption[] = L"Выбор рабочего каталога TAVO";
const wchar_t kLibraryName[] = L"corvo_nt.dll";
const int kClientWidth = 439;
const int kClientHeight = 264;
const int kListWidth = 313;

enum { ID_LST1 = 2001, ID_DLG_BTN1, ID_DLG_BTN2, ID_DLG_BTN3, ID_DLG_STAT1 };

struct TButtonSpec {
  int id;
  const wchar_t* caption;
  int y;
};
const TButtonSpec kButtons[] = {
    {ID_DLG_BTN1, L"Выбрать каталог", 16},
    {ID_DLG_BTN2, L"Найти каталоги", 56},
    {ID_DLG_BTN3, L"Закрыть", 128},
};

HMENU MenuId(int id) { return reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)); }

}  // namespace

TSelectTavoDirDlg::~TSelectTavoDirDlg() {
  if (window_) DestroyWindow(window_);
  if (font_) DeleteObject(font_);
}

bool TSelectTavoDirDlg::Create(HINSTANCE instance) {
  WNDCLASSEXW windowClass = {};
  windowClass.cbSize = sizeof windowClass;
  windowClass.lpfnWndProc = WindowProc;
  windowClass.hInstance = instance;
  windowClass.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));
  windowClass.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
  windowClass.lpszClassName = kDialogClass;
  if (!RegisterClassExW(&windowClass)) return false;

  const DWORD style = WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;
  RECT frame = {0, 0, kClientWidth, kClientHeight};
  AdjustWindowRectEx(&frame, style, FALSE, WS_EX_CONTROLPARENT);
  const int width = frame.right - frame.left;
  const int height = frame.bottom - frame.top;
  window_ = CreateWindowExW(WS_EX_CONTROLPARENT, kDialogClass, kCaption, style,
                            (GetSystemMetrics(SM_CXSCREEN) - width) / 2, (GetSystemMetrics(SM_CYSCREEN) - height) / 2,
                            width, height, nullptr, nullptr, instance, this);
  if (!window_) return false;

  font_ = CreateFontW(-11, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                      CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, L"Tahoma");
  status_ = CreateWindowExW(0, STATUSCLASSNAMEW, L"", WS_CHILD | WS_VISIBLE, 0, 0, 0, 0, window_, MenuId(ID_DLG_STAT1),
                            instance, nullptr);
  int parts[] = {-1};
  SendMessageW(status_, SB_SETPARTS, 1, reinterpret_cast<LPARAM>(parts));
  RECT statusRect;
  GetWindowRect(status_, &statusRect);
  list_ = CreateWindowExW(WS_EX_CLIENTEDGE, L"LISTBOX", L"",
                          WS_CHILD | WS_VISIBLE | WS_VSCROLL | WS_TABSTOP | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT, 0, 0,
                          kListWidth, kClientHeight - (statusRect.bottom - statusRect.top), window_, MenuId(ID_LST1),
                          instance, nullptr);
  for (size_t i = 0; i < 3; ++i) {
    buttons_[i] = CreateWindowExW(0, L"BUTTON", kButtons[i].caption, WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON,
                                  328, kButtons[i].y, 97, 25, window_, MenuId(kButtons[i].id), instance, nullptr);
  }
  for (HWND control : {status_, list_, buttons_[0], buttons_[1], buttons_[2]}) {
    SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
  }
  return true;
}

std::wstring TSelectTavoDirDlg::ShowModal(HWND owner) {
  // The owner keeps the dialog above it; disabled, it takes no input until
  // the dialog closes.
  SetWindowLongPtrW(window_, GWLP_HWNDPARENT, reinterpret_cast<LONG_PTR>(owner));
  if (owner) EnableWindow(owner, FALSE);
  showing_ = true;
  ShowWindow(window_, SW_SHOW);
  SetForegroundWindow(window_);
  MSG message;
  while (showing_ && GetMessageW(&message, nullptr, 0, 0) > 0) {
    if (IsDialogMessageW(window_, &message)) continue;
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  if (message.message == WM_QUIT) PostQuitMessage(static_cast<int>(message.wParam));
  if (owner) {
    EnableWindow(owner, TRUE);
    SetForegroundWindow(owner);
  }
  return result_;
}

void TSelectTavoDirDlg::Close() {
  showing_ = false;
  ShowWindow(window_, SW_HIDE);
}

void TSelectTavoDirDlg::FindDirectories() {
  SendMessageW(list_, LB_RESETCONTENT, 0, 0);
  EnableButtons(false);
  std::vector<std::wstring> found;
  for (const std::wstring& root : GetDiscs()) {
    ScanDir(root, kLibraryName, found, [this](const std::wstring& directory) {
      // The search blocks the dialog; only its status shows the progress.
      SetStatusText(directory);
      UpdateWindow(status_);
    });
  }
  for (const std::wstring& entry : found) {
    SendMessageW(list_, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(entry.c_str()));
  }
  EnableButtons(true);
  SetStatusText(L"Поиск завершен. Найдено: " + std::to_wstring(SendMessageW(list_, LB_GETCOUNT, 0, 0)));
}

void TSelectTavoDirDlg::ChooseDirectory() {
  std::wstring chosen;
  if (SendMessageW(list_, LB_GETCOUNT, 0, 0) > 0 && SelectedEntry(&chosen)) {
    result_ = chosen;
  } else if (BrowseForLibrary(&chosen)) {
    result_ = chosen;
  }
  if (!result_.empty()) Close();
}

void TSelectTavoDirDlg::TakeSelectedEntry() {
  std::wstring chosen;
  if (!SelectedEntry(&chosen)) return;
  result_ = chosen;
  if (!result_.empty()) Close();
}

void TSelectTavoDirDlg::ShowSelectedEntry() {
  std::wstring selected;
  if (SelectedEntry(&selected)) SetStatusText(selected);
}

bool TSelectTavoDirDlg::SelectedEntry(std::wstring* entry) const {
  const LRESULT index = SendMessageW(list_, LB_GETCURSEL, 0, 0);
  if (index == LB_ERR) return false;
  std::wstring text(static_cast<size_t>(SendMessageW(list_, LB_GETTEXTLEN, index, 0)) + 1, L'\0');
  SendMessageW(list_, LB_GETTEXT, index, reinterpret_cast<LPARAM>(&text[0]));
  text.resize(wcslen(text.c_str()));
  *entry = text;
  return true;
}

bool TSelectTavoDirDlg::BrowseForLibrary(std::wstring* directory) {
  std::vector<wchar_t> file(MAX_PATH * 4, L'\0');
  wcscpy(file.data(), kLibraryName);
  OPENFILENAMEW dialog = {};
  dialog.lStructSize = sizeof dialog;
  dialog.hwndOwner = window_;
  dialog.lpstrFilter = L"corvo_nt.dll\0corvo_nt.dll\0";
  dialog.nFilterIndex = 1;
  dialog.lpstrFile = file.data();
  dialog.nMaxFile = static_cast<DWORD>(file.size());
  dialog.lpstrInitialDir = L"C:\\sc552";
  dialog.Flags = OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY;
  if (!GetOpenFileNameW(&dialog)) return false;
  const std::wstring path = file.data();
  const size_t slash = path.find_last_of(L'\\');
  if (slash == std::wstring::npos) return false;
  *directory = path.substr(0, slash + 1);
  return true;
}

void TSelectTavoDirDlg::SetStatusText(const std::wstring& text) {
  SendMessageW(status_, SB_SETTEXTW, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

void TSelectTavoDirDlg::EnableButtons(bool enable) {
  for (HWND button : buttons_) EnableWindow(button, enable ? TRUE : FALSE);
}

LRESULT CALLBACK TSelectTavoDirDlg::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto* dialog = static_cast<TSelectTavoDirDlg*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
    dialog->window_ = window;
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(dialog));
  }
  auto* dialog = reinterpret_cast<TSelectTavoDirDlg*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  return dialog ? dialog->OnMessage(message, wParam, lParam) : DefWindowProcW(window, message, wParam, lParam);
}

LRESULT TSelectTavoDirDlg::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_COMMAND:
      switch (LOWORD(wParam)) {
        case ID_DLG_BTN1:
          if (HIWORD(wParam) == BN_CLICKED) ChooseDirectory();
          return 0;
        case ID_DLG_BTN2:
          if (HIWORD(wParam) == BN_CLICKED) FindDirectories();
          return 0;
        case ID_DLG_BTN3:
          if (HIWORD(wParam) == BN_CLICKED) Close();
          return 0;
        case ID_LST1:
          if (HIWORD(wParam) == LBN_DBLCLK) TakeSelectedEntry();
          if (HIWORD(wParam) == LBN_SELCHANGE) ShowSelectedEntry();
          return 0;
        default:
          return 0;
      }
    case WM_CLOSE:
      Close();
      return 0;
    default:
      return DefWindowProcW(window_, message, wParam, lParam);
  }
}
