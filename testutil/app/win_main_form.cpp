#include "win_main_form.h"

#include <commctrl.h>

#include <exception>

#include "win_refresh_picture.h"
#include "win_unexpected_error.h"

namespace {

const wchar_t kMainClass[] = L"TMainForm";
const wchar_t kPageClass[] = L"TTabSheet";

HFONT MakeFont(int pixels, int weight, const wchar_t* face, DWORD charset = DEFAULT_CHARSET) {
  return CreateFontW(-pixels, 0, 0, 0, weight, FALSE, FALSE, FALSE, charset, OUT_DEFAULT_PRECIS,
                     CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, face);
}

size_t IndexOf(const TControlSpec* spec) { return static_cast<size_t>(spec - kMainFormControls); }

// The transaction handlers show the log from its first line when done.
bool MovesCaretToStart(TControlId id) {
  return id == ID_BTN1 || id == ID_BTN2 || id == ID_BTN7 || id == ID_BTN9 || id == ID_BTN11 || id == ID_BTN12;
}

}  // namespace

TMainForm::~TMainForm() {
  for (HGDIOBJ object : {static_cast<HGDIOBJ>(normalFont_), static_cast<HGDIOBJ>(boldFont_),
                         static_cast<HGDIOBJ>(labelFont_), static_cast<HGDIOBJ>(smallFont_),
                         static_cast<HGDIOBJ>(logFont_), static_cast<HGDIOBJ>(refreshPicture_)}) {
    if (object) DeleteObject(object);
  }
}

bool TMainForm::Create(HINSTANCE instance, int showCommand) {
  WNDCLASSEXW mainClass = {};
  mainClass.cbSize = sizeof mainClass;
  mainClass.lpfnWndProc = WindowProc;
  mainClass.hInstance = instance;
  mainClass.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));
  mainClass.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
  mainClass.lpszClassName = kMainClass;
  WNDCLASSEXW pageClass = mainClass;
  pageClass.lpfnWndProc = PageProc;
  pageClass.lpszClassName = kPageClass;
  if (!RegisterClassExW(&mainClass) || !RegisterClassExW(&pageClass)) return false;

  CreateFonts();
  const int x = (GetSystemMetrics(SM_CXSCREEN) - kMainWidth) / 2;
  const int y = (GetSystemMetrics(SM_CYSCREEN) - kMainHeight) / 2;
  window_ = CreateWindowExW(WS_EX_CONTROLPARENT, kMainClass, kMainCaption, WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, x, y,
                            kMainWidth, kMainHeight, nullptr, nullptr, instance, this);
  if (!window_) return false;
  CreateControls(instance);
  Layout();
  ShowPage(TPage::Tests);
  Guarded([this] { events_.FormCreate(); });
  ShowWindow(window_, showCommand);
  UpdateWindow(window_);
  return true;
}

void TMainForm::CreateFonts() {
  normalFont_ = MakeFont(11, FW_NORMAL, L"Tahoma");
  boldFont_ = MakeFont(11, FW_BOLD, L"Tahoma");
  labelFont_ = MakeFont(13, FW_BOLD, L"Tahoma");
  smallFont_ = MakeFont(9, FW_NORMAL, L"Tahoma");
  logFont_ = MakeFont(15, FW_NORMAL, L"Courier New", RUSSIAN_CHARSET);
}

void TMainForm::CreateControls(HINSTANCE instance) {
  tab_ = CreateWindowExW(0, WC_TABCONTROLW, L"", WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_TABSTOP, 0, 0, kTabWidth,
                         100, window_, reinterpret_cast<HMENU>(static_cast<INT_PTR>(ID_PGC1)), instance, nullptr);
  SendMessageW(tab_, WM_SETFONT, reinterpret_cast<WPARAM>(normalFont_), FALSE);
  const wchar_t* captions[] = {kTestsPageCaption, kTransactionsPageCaption};
  for (int page = 0; page < 2; ++page) {
    TCITEMW item = {};
    item.mask = TCIF_TEXT;
    item.pszText = const_cast<wchar_t*>(captions[page]);
    SendMessageW(tab_, TCM_INSERTITEMW, page, reinterpret_cast<LPARAM>(&item));
    pages_[page] = CreateWindowExW(WS_EX_CONTROLPARENT, kPageClass, captions[page], WS_CHILD | WS_CLIPSIBLINGS, 0, 0, 10,
                                   10, window_, nullptr, instance, this);
  }
  // The pages lie over the tab control's display area.
  SetWindowPos(tab_, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);

  controls_.resize(kMainFormControlCount);
  for (size_t i = 0; i < kMainFormControlCount; ++i) {
    const TControlSpec& spec = kMainFormControls[i];
    controls_[i] = CreateControl(spec, pages_[spec.page == TPage::Tests ? 0 : 1], instance);
  }
  CheckRadioButton(pages_[1], ID_RB1, ID_RB2, ID_RB1);

  HWND log = CreateWindowExW(WS_EX_CLIENTEDGE, L"EDIT", L"",
                             WS_CHILD | WS_VISIBLE | WS_VSCROLL | ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL | WS_TABSTOP,
                             kTabWidth, 0, 10, 10, window_, reinterpret_cast<HMENU>(static_cast<INT_PTR>(ID_MMO1)),
                             instance, nullptr);
  SendMessageW(log, WM_SETFONT, reinterpret_cast<WPARAM>(logFont_), FALSE);
  log_.Attach(log);

  status_ = CreateWindowExW(0, STATUSCLASSNAMEW, L"", WS_CHILD | WS_VISIBLE | SBARS_SIZEGRIP, 0, 0, 0, 0, window_,
                            reinterpret_cast<HMENU>(static_cast<INT_PTR>(ID_STAT1)), instance, nullptr);
  SendMessageW(status_, WM_SETFONT, reinterpret_cast<WPARAM>(normalFont_), FALSE);
  int parts[] = {-1};
  SendMessageW(status_, SB_SETPARTS, 1, reinterpret_cast<LPARAM>(parts));
  SetStatusText(kStatusInitialText);
}

HWND TMainForm::CreateControl(const TControlSpec& spec, HWND page, HINSTANCE instance) {
  int x = spec.x;
  int y = spec.y;
  if (spec.group != 0) {
    const TControlSpec* group = FindControlSpec(spec.group);
    x += group->x;
    y += group->y;
  }
  const wchar_t* className = L"BUTTON";
  DWORD style = WS_CHILD | WS_VISIBLE;
  int height = spec.height;
  switch (spec.kind) {
    case TControlKind::GroupBox:
      style |= BS_GROUPBOX;
      break;
    case TControlKind::Button:
      style |= BS_PUSHBUTTON | WS_TABSTOP;
      break;
    case TControlKind::DefaultButton:
      style |= BS_DEFPUSHBUTTON | WS_TABSTOP;
      break;
    case TControlKind::ImageButton:
      style |= BS_PUSHBUTTON | BS_BITMAP | BS_FLAT;
      break;
    case TControlKind::DropDownList:
      className = L"COMBOBOX";
      style |= CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP;
      height = 200;  // the list that drops down
      break;
    case TControlKind::CheckBox:
      style |= BS_AUTOCHECKBOX | WS_TABSTOP;
      break;
    case TControlKind::RadioButton:
      style |= BS_AUTORADIOBUTTON | WS_TABSTOP | (spec.id == ID_RB1 ? WS_GROUP : 0);
      break;
    case TControlKind::Label:
      className = L"STATIC";
      style |= SS_LEFT;
      break;
  }
  HWND control = CreateWindowExW(0, className, spec.caption, style, x, y, spec.width, height, page,
                                 reinterpret_cast<HMENU>(static_cast<INT_PTR>(spec.id)), instance, nullptr);
  HFONT font = normalFont_;
  if (spec.font == TControlFont::Bold) font = boldFont_;
  if (spec.font == TControlFont::LabelBold13) font = labelFont_;
  if (spec.font == TControlFont::Small9) font = smallFont_;
  SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  if (spec.kind == TControlKind::ImageButton) {
    refreshPicture_ = CreateRefreshPicture();
    SendMessageW(control, BM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(refreshPicture_));
  }
  return control;
}

void TMainForm::Layout() {
  RECT client;
  GetClientRect(window_, &client);
  SendMessageW(status_, WM_SIZE, 0, 0);
  RECT statusRect;
  GetWindowRect(status_, &statusRect);
  const int height = client.bottom - (statusRect.bottom - statusRect.top);
  MoveWindow(tab_, 0, 0, kTabWidth, height, TRUE);
  RECT display = {0, 0, kTabWidth, height};
  SendMessageW(tab_, TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&display));
  for (HWND page : pages_) {
    MoveWindow(page, display.left, display.top, display.right - display.left, display.bottom - display.top, TRUE);
  }
  MoveWindow(log_.Handle(), kTabWidth, 0, client.right - kTabWidth, height, TRUE);
}

void TMainForm::ShowPage(TPage page) {
  const int index = page == TPage::Tests ? 0 : 1;
  SendMessageW(tab_, TCM_SETCURSEL, index, 0);
  ShowWindow(pages_[index], SW_SHOW);
  ShowWindow(pages_[1 - index], SW_HIDE);
}

HWND TMainForm::Control(TControlId id) const {
  if (id == ID_MMO1) return log_.Handle();
  if (id == ID_STAT1) return status_;
  if (id == ID_PGC1) return tab_;
  const TControlSpec* spec = FindControlSpec(id);
  return spec ? controls_[IndexOf(spec)] : nullptr;
}

void TMainForm::SetStatusText(const std::wstring& text) {
  SendMessageW(status_, SB_SETTEXTW, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

void TMainForm::SetRegistrationLabel(const std::wstring& text, bool warning) {
  registrationWarning_ = warning;
  SetWindowTextW(Control(ID_LBL1), text.c_str());
  InvalidateRect(Control(ID_LBL1), nullptr, TRUE);
}

bool TMainForm::IsChecked(TControlId id) const {
  return SendMessageW(Control(id), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

std::wstring TMainForm::SelectedPort() const {
  HWND list = Control(ID_CBB1);
  const LRESULT selected = SendMessageW(list, CB_GETCURSEL, 0, 0);
  if (selected == CB_ERR) return std::wstring();
  std::wstring text(static_cast<size_t>(SendMessageW(list, CB_GETLBTEXTLEN, selected, 0)) + 1, L'\0');
  SendMessageW(list, CB_GETLBTEXT, selected, reinterpret_cast<LPARAM>(&text[0]));
  text.resize(wcslen(text.c_str()));
  return text;
}

void TMainForm::SetPorts(const std::wstring* names, size_t count) {
  HWND list = Control(ID_CBB1);
  SendMessageW(list, CB_RESETCONTENT, 0, 0);
  for (size_t i = 0; i < count; ++i) SendMessageW(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(names[i].c_str()));
  if (count > 0) SendMessageW(list, CB_SETCURSEL, 0, 0);
}

bool TMainForm::TranslateDialogMessage(MSG& message) {
  if (message.message == WM_KEYDOWN && message.wParam == VK_RETURN && PressFocusedButton(message.hwnd)) return true;
  return IsDialogMessageW(window_, &message) != FALSE;
}

// Enter presses the push button that has the focus, as in a dialog, where
// the focused button takes over as the default one. The dialog navigation
// of a window that is no dialog leaves every button as it was created and
// presses the default button whatever has the focus.
bool TMainForm::PressFocusedButton(HWND focus) {
  if (!focus || !IsChild(window_, focus) || !IsWindowEnabled(focus)) return false;
  const LRESULT code = SendMessageW(focus, WM_GETDLGCODE, 0, 0);
  if (!(code & (DLGC_DEFPUSHBUTTON | DLGC_UNDEFPUSHBUTTON))) return false;
  SendMessageW(window_, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(focus), BN_CLICKED), reinterpret_cast<LPARAM>(focus));
  return true;
}

template <typename Event>
void TMainForm::Guarded(Event event) {
  try {
    event();
  } catch (const std::exception& error) {
    ShowUnexpectedError(window_, error);
  }
}

LRESULT CALLBACK TMainForm::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto* form = static_cast<TMainForm*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
    form->window_ = window;
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(form));
  }
  auto* form = reinterpret_cast<TMainForm*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  return form ? form->OnMessage(message, wParam, lParam) : DefWindowProcW(window, message, wParam, lParam);
}

// A page hands what its controls report to the main window.
LRESULT CALLBACK TMainForm::PageProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_COMMAND:
    case WM_NOTIFY:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
      return SendMessageW(GetParent(window), message, wParam, lParam);
    default:
      return DefWindowProcW(window, message, wParam, lParam);
  }
}

LRESULT TMainForm::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_SIZE:
      if (tab_) Layout();
      return 0;
    case WM_GETMINMAXINFO: {
      auto* limits = reinterpret_cast<MINMAXINFO*>(lParam);
      limits->ptMinTrackSize.x = kMainWidth;
      limits->ptMinTrackSize.y = kMainHeight;
      return 0;
    }
    case DM_GETDEFID:
      // Enter starts the default button only while its page is showing.
      if (IsWindowVisible(pages_[1])) return MAKELRESULT(ID_BTN7, DC_HASDEFID);
      return 0;
    case WM_COMMAND: {
      const int id = LOWORD(wParam);
      if (HIWORD(wParam) == BN_CLICKED && FindControlSpec(id) && FindControlSpec(id)->kind != TControlKind::CheckBox &&
          FindControlSpec(id)->kind != TControlKind::RadioButton) {
        Guarded([this, id] { events_.Click(static_cast<TControlId>(id)); });
        if (MovesCaretToStart(static_cast<TControlId>(id))) log_.CaretToStart();
      }
      return 0;
    }
    case WM_NOTIFY: {
      const auto* header = reinterpret_cast<const NMHDR*>(lParam);
      if (header->hwndFrom == tab_ && header->code == TCN_SELCHANGE) {
        const TPage page = SendMessageW(tab_, TCM_GETCURSEL, 0, 0) == 0 ? TPage::Tests : TPage::Transactions;
        ShowPage(page);
        Guarded([this, page] { events_.PageChanged(page); });
      }
      return 0;
    }
    case WM_CTLCOLORSTATIC: {
      HDC dc = reinterpret_cast<HDC>(wParam);
      // The read-only log keeps the white of an edit field.
      if (reinterpret_cast<HWND>(lParam) == log_.Handle()) {
        SetBkColor(dc, GetSysColor(COLOR_WINDOW));
        return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_WINDOW));
      }
      SetBkMode(dc, TRANSPARENT);
      if (reinterpret_cast<HWND>(lParam) == Control(ID_LBL1)) {
        SetTextColor(dc, registrationWarning_ ? RGB(255, 0, 0) : RGB(0, 0, 0));
      }
      return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
    }
    case WM_CLOSE:
      Guarded([this] { events_.FormClose(); });
      DestroyWindow(window_);
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    default:
      return DefWindowProcW(window_, message, wParam, lParam);
  }
}
