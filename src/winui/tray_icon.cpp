#include "winui/tray_icon.h"

#include <shellapi.h>

#include <cwchar>
#include <utility>

#include "winui/kit.h"

namespace vx::winui {

TrayIcon::~TrayIcon() {
  if (added_) Remove();
}

TrayIcon::TrayIcon(TrayIcon&& other) noexcept
    : args_(std::move(other.args_)), added_(std::exchange(other.added_, false)) {}

TrayIcon& TrayIcon::operator=(TrayIcon&& other) noexcept {
  if (this != &other) {
    if (added_) Remove();
    args_ = std::move(other.args_);
    added_ = std::exchange(other.added_, false);
  }
  return *this;
}

bool TrayIcon::Notify(DWORD message) {
  NOTIFYICONDATAW data{};
  data.cbSize = sizeof(data);
  data.hWnd = args_.owner;
  data.uID = args_.id;
  if (message != NIM_DELETE) {
    data.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    data.uCallbackMessage = args_.callback_message;
    data.hIcon = args_.icon;
    constexpr size_t kTipUnits = sizeof(data.szTip) / sizeof(data.szTip[0]);
    std::wstring tip = FitText(args_.tip, kTipUnits - 1);
    wmemcpy(data.szTip, tip.c_str(), tip.size() + 1);
  }
  return Shell_NotifyIconW(message, &data) != FALSE;
}

bool TrayIcon::Add() {
  if (added_) return Modify();
  added_ = Notify(NIM_ADD);
  return added_;
}

bool TrayIcon::Modify() { return Notify(NIM_MODIFY); }

bool TrayIcon::Remove() {
  bool removed = Notify(NIM_DELETE);
  added_ = false;
  return removed;
}

}  // namespace vx::winui
