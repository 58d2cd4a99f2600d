#pragma once
#include <windows.h>

#include <functional>
#include <optional>
#include <string>

#include "host_check.h"
#include "pinpad_page.h"
#include "win_select_dir_dialog.h"
#include "window_services.h"

// What the logic asks of the window and the system, supplied by Win32.

class TStatusPanel final : public IStatusPanel {
 public:
  explicit TStatusPanel(std::function<void(const std::wstring&)> show) : show_(std::move(show)) {}
  void SetText(const std::wstring& text) override { show_(text); }

 private:
  std::function<void(const std::wstring&)> show_;
};

class TWorkDirChooser final : public IWorkDirChooser {
 public:
  TWorkDirChooser(TSelectTavoDirDlg& dialog, std::function<HWND()> owner)
      : dialog_(dialog), owner_(std::move(owner)) {}
  std::wstring Choose() override { return dialog_.ShowModal(owner_()); }

 private:
  TSelectTavoDirDlg& dialog_;
  std::function<HWND()> owner_;
};

class TRegionalTexts final : public IRegionalTexts {
 public:
  TMomentTexts Now() override;
  std::wstring DecimalSeparator() override;
};

class TPinpadPort final : public IPinpadExchange {
 public:
  std::optional<std::string> Exchange(const std::wstring& port, const std::string& command) override;
};

class THostProbe final : public IHostProbe {
 public:
  bool IsHostReachable(const std::wstring& address, uint16_t port) override;
};
