#include "win_log_panel.h"

void TLogPanel::Clear() {
  lines_.Clear();
  Show();
}

void TLogPanel::Add(const std::wstring& text) {
  lines_.Add(text);
  Show();
}

void TLogPanel::CaretToStart() {
  if (!edit_) return;
  SendMessageW(edit_, EM_SETSEL, 0, 0);
  SendMessageW(edit_, EM_SCROLLCARET, 0, 0);
}

void TLogPanel::Show() {
  if (!edit_) return;
  std::wstring text;
  const std::vector<std::wstring>& lines = lines_.Lines();
  for (size_t i = 0; i < lines.size(); ++i) {
    if (i) text += L"\r\n";
    text += lines[i];
  }
  SetWindowTextW(edit_, text.c_str());
  // The end stays in view, as it does when lines are appended to a memo.
  const LRESULT length = SendMessageW(edit_, WM_GETTEXTLENGTH, 0, 0);
  SendMessageW(edit_, EM_SETSEL, static_cast<WPARAM>(length), static_cast<LPARAM>(length));
  SendMessageW(edit_, EM_SCROLLCARET, 0, 0);
}
