// driver-target.exe: the driver's own test subject. A window shaped like
// TavoTest's (class TMainForm, the same control table on two TTabSheet
// pages, log mmo1, status bar stat1, a TSelectTavoDirDlg dialog) whose
// buttons do small, known things, so that the driver is proven on its own:
// each button writes "clicked" and its name to the log, and a few do what
// TavoTest's operations do to the window (block, open a message box, a
// modal dialog, the file-open dialog, move the caret).
#include <windows.h>
#include <commctrl.h>
#include <commdlg.h>

#include <string>

#include "form_layout.h"

namespace {

HINSTANCE instance;
HWND mainWindow, tab, logPanel, statusBar;
HWND pages[2];
HWND dialog, dialogList;
bool dialogShowing = false;
std::wstring dialogResult;

HWND Item(int id) {
  const TControlSpec* spec = FindControlSpec(id);
  return GetDlgItem(pages[spec->page == TPage::Tests ? 0 : 1], id);
}

void SetLog(const std::wstring& text) { SetWindowTextW(logPanel, text.c_str()); }

std::wstring Text(HWND window) {
  wchar_t text[512] = {};
  GetWindowTextW(window, text, 512);
  return text;
}

bool Checked(int id) { return SendMessageW(Item(id), BM_GETCHECK, 0, 0) == BST_CHECKED; }

void ShowPage(int index) {
  ShowWindow(pages[index], SW_SHOW);
  ShowWindow(pages[1 - index], SW_HIDE);
}

// The working-directory dialog's stand-in: two entries, choose or close.
std::wstring ChooseDirectory() {
  EnableWindow(mainWindow, FALSE);
  dialogShowing = true;
  ShowWindow(dialog, SW_SHOW);
  MSG message;
  while (dialogShowing && GetMessageW(&message, nullptr, 0, 0) > 0) {
    if (IsDialogMessageW(dialog, &message)) continue;
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  EnableWindow(mainWindow, TRUE);
  return dialogResult;
}

void CloseDialog() {
  dialogShowing = false;
  ShowWindow(dialog, SW_HIDE);
}

void TakeSelectedEntry() {
  const LRESULT selected = SendMessageW(dialogList, LB_GETCURSEL, 0, 0);
  if (selected == LB_ERR) return;
  wchar_t entry[MAX_PATH] = {};
  SendMessageW(dialogList, LB_GETTEXT, selected, reinterpret_cast<LPARAM>(entry));
  dialogResult = entry;
  CloseDialog();
}

LRESULT CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_CLOSE) {
    CloseDialog();
    return 0;
  }
  if (message != WM_COMMAND) return DefWindowProcW(window, message, wParam, lParam);
  const int id = LOWORD(wParam);
  if (id == 2002) TakeSelectedEntry();
  if (id == 2004) CloseDialog();
  if (id == 2001 && HIWORD(wParam) == LBN_DBLCLK) TakeSelectedEntry();
  if (id == 2001 && HIWORD(wParam) == LBN_SELCHANGE) {
    wchar_t entry[MAX_PATH] = {};
    SendMessageW(dialogList, LB_GETTEXT, SendMessageW(dialogList, LB_GETCURSEL, 0, 0), reinterpret_cast<LPARAM>(entry));
    SendMessageW(GetDlgItem(window, 2005), SB_SETTEXTW, 0, reinterpret_cast<LPARAM>(entry));
  }
  return 0;
}

std::wstring OpenFile() {
  wchar_t file[MAX_PATH] = L"corvo_nt.dll";
  OPENFILENAMEW open = {};
  open.lStructSize = sizeof open;
  open.hwndOwner = mainWindow;
  open.lpstrFilter = L"corvo_nt.dll\0corvo_nt.dll\0";
  open.lpstrFile = file;
  open.nMaxFile = MAX_PATH;
  open.Flags = OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY;
  return GetOpenFileNameW(&open) ? file : L"";
}

void Clicked(int id) {
  const std::string objectName = FindControlSpec(id)->name;
  const std::wstring name = L"clicked " + std::wstring(objectName.begin(), objectName.end());
  switch (id) {
    case ID_BTN10:  // as slow as a reachability test
      Sleep(1500);
      SetLog(name + L" after a pause");
      return;
    case ID_BTN13: {
      const std::wstring chosen = ChooseDirectory();
      const std::wstring status = L"Рабочий каталог TAVO: " + chosen;
      SendMessageW(statusBar, SB_SETTEXTW, 0, reinterpret_cast<LPARAM>(status.c_str()));
      SetLog(L"chosen " + chosen);
      return;
    }
    case ID_BTN14:
      SetLog(MessageBoxW(mainWindow, L"Продолжить?\nДа или нет", L"TAVO Test", MB_YESNO) == IDYES ? L"answer yes"
                                                                                                   : L"answer no");
      return;
    case ID_BTN15: {
      const std::wstring file = OpenFile();
      SetLog(file.empty() ? L"open cancelled" : L"opened " + file);
      return;
    }
    case ID_BTN19:
      SetLog(Checked(ID_CHK1) ? L"chk1 checked" : L"chk1 clear");
      return;
    case ID_BTN8:
      SetLog(Checked(ID_RB1) ? L"rb1 chosen" : L"rb2 chosen");
      return;
    case ID_BTN4:
      SetLog(L"probing " + Text(Item(ID_CBB1)));
      return;
    case ID_BTN1:  // a transaction: several lines, then the caret to the start
      SetLog(name + L"\r\nsecond line\r\n");
      SendMessageW(logPanel, EM_SETSEL, 0, 0);
      return;
    default:
      SetLog(name);
  }
}

LRESULT CALLBACK PageProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_COMMAND || message == WM_NOTIFY) return SendMessageW(mainWindow, message, wParam, lParam);
  return DefWindowProcW(window, message, wParam, lParam);
}

LRESULT CALLBACK MainProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_COMMAND: {
      const TControlSpec* spec = FindControlSpec(LOWORD(wParam));
      if (spec && HIWORD(wParam) == BN_CLICKED && spec->kind != TControlKind::CheckBox &&
          spec->kind != TControlKind::RadioButton) {
        Clicked(spec->id);
      }
      return 0;
    }
    case WM_NOTIFY:
      if (reinterpret_cast<NMHDR*>(lParam)->code == TCN_SELCHANGE) {
        const int index = static_cast<int>(SendMessageW(tab, TCM_GETCURSEL, 0, 0));
        ShowPage(index);
        SetLog(index == 0 ? L"page Тесты/Настройки" : L"page Транзакции");
      }
      return 0;
    case DM_GETDEFID:
      return IsWindowVisible(pages[1]) ? MAKELRESULT(ID_BTN7, DC_HASDEFID) : 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    default:
      return DefWindowProcW(window, message, wParam, lParam);
  }
}

HWND Child(const wchar_t* className, const wchar_t* text, DWORD style, int x, int y, int width, int height,
           HWND parent, int id) {
  return CreateWindowExW(0, className, text, WS_CHILD | WS_VISIBLE | style, x, y, width, height, parent,
                         reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance, nullptr);
}

void Register(const wchar_t* name, WNDPROC procedure) {
  WNDCLASSW windowClass = {};
  windowClass.lpfnWndProc = procedure;
  windowClass.hInstance = instance;
  windowClass.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
  windowClass.lpszClassName = name;
  RegisterClassW(&windowClass);
}

void CreateMainWindow() {
  mainWindow = CreateWindowW(L"TMainForm", kMainCaption, WS_OVERLAPPEDWINDOW, 40, 40, kMainWidth, kMainHeight,
                             nullptr, nullptr, instance, nullptr);
  tab = Child(WC_TABCONTROLW, L"", 0, 0, 0, kTabWidth, 330, mainWindow, ID_PGC1);
  const wchar_t* captions[] = {kTestsPageCaption, kTransactionsPageCaption};
  for (int i = 0; i < 2; ++i) {
    TCITEMW item = {};
    item.mask = TCIF_TEXT;
    item.pszText = const_cast<wchar_t*>(captions[i]);
    SendMessageW(tab, TCM_INSERTITEMW, i, reinterpret_cast<LPARAM>(&item));
    pages[i] = CreateWindowW(L"TTabSheet", L"", WS_CHILD, 4, 24, kTabWidth - 8, 300, mainWindow, nullptr, instance,
                             nullptr);
  }
  for (size_t i = 0; i < kMainFormControlCount; ++i) {
    const TControlSpec& spec = kMainFormControls[i];
    const TControlSpec* group = spec.group ? FindControlSpec(spec.group) : nullptr;
    const int x = spec.x + (group ? group->x : 0);
    const int y = spec.y + (group ? group->y : 0);
    HWND page = pages[spec.page == TPage::Tests ? 0 : 1];
    const wchar_t* className = spec.kind == TControlKind::DropDownList ? L"COMBOBOX"
                               : spec.kind == TControlKind::Label      ? L"STATIC"
                                                                       : L"BUTTON";
    DWORD style = 0;
    if (spec.kind == TControlKind::GroupBox) style = BS_GROUPBOX;
    if (spec.kind == TControlKind::DefaultButton) style = BS_DEFPUSHBUTTON;
    if (spec.kind == TControlKind::CheckBox) style = BS_AUTOCHECKBOX;
    if (spec.kind == TControlKind::RadioButton) style = BS_AUTORADIOBUTTON | (spec.id == ID_RB1 ? WS_GROUP : 0);
    if (spec.kind == TControlKind::DropDownList) style = CBS_DROPDOWNLIST;
    Child(className, spec.caption, style, x, y, spec.width, spec.kind == TControlKind::DropDownList ? 100 : spec.height,
          page, spec.id);
  }
  CheckRadioButton(pages[1], ID_RB1, ID_RB2, ID_RB1);
  for (const wchar_t* port : {L"COM1", L"COM3"}) {
    SendMessageW(Item(ID_CBB1), CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(port));
  }
  SendMessageW(Item(ID_CBB1), CB_SETCURSEL, 0, 0);
  logPanel = Child(L"EDIT", L"", WS_BORDER | WS_VSCROLL | ES_MULTILINE | ES_READONLY, kTabWidth, 0, 380, 330,
                   mainWindow, ID_MMO1);
  statusBar = Child(STATUSCLASSNAMEW, L"", 0, 0, 0, 0, 0, mainWindow, ID_STAT1);
  SendMessageW(statusBar, SB_SETTEXTW, 0, reinterpret_cast<LPARAM>(kStatusInitialText));
  SetLog(L"Список портов в системе:\r\nCOM1\r\nCOM3\r\n");
  ShowPage(0);
}

void CreateDirectoryDialog() {
  dialog = CreateWindowW(L"TSelectTavoDirDlg", L"Выбор рабочего каталога TAVO", WS_CAPTION | WS_SYSMENU, 120, 120,
                         455, 300, mainWindow, nullptr, instance, nullptr);
  dialogList = Child(L"LISTBOX", L"", LBS_NOTIFY | WS_BORDER, 0, 0, 313, 240, dialog, 2001);
  for (const wchar_t* entry : {L"C:\\first\\", L"C:\\second\\"}) {
    SendMessageW(dialogList, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(entry));
  }
  Child(L"BUTTON", L"Выбрать каталог", 0, 328, 16, 97, 25, dialog, 2002);
  Child(L"BUTTON", L"Найти каталоги", WS_DISABLED, 328, 56, 97, 25, dialog, 2003);
  Child(L"BUTTON", L"Закрыть", 0, 328, 128, 97, 25, dialog, 2004);
  Child(STATUSCLASSNAMEW, L"", 0, 0, 0, 0, 0, dialog, 2005);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE self, HINSTANCE, PWSTR, int) {
  instance = self;
  INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_TAB_CLASSES | ICC_BAR_CLASSES | ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&controls);
  Register(L"TMainForm", MainProc);
  Register(L"TTabSheet", PageProc);
  Register(L"TSelectTavoDirDlg", DialogProc);
  CreateMainWindow();
  CreateDirectoryDialog();
  ShowWindow(mainWindow, SW_SHOW);
  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    if (IsDialogMessageW(mainWindow, &message)) continue;
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  return 0;
}
