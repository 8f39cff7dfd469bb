// The icon in the notification area. Its owner window receives the callback
// message with the mouse message in lParam. The icon is removed when the
// object goes away. Move-only.
#pragma once
#if !defined(_WIN32)
#error "src/winui is Windows-only"
#endif

#include <windows.h>

#include <string>

namespace vx::winui {

struct TrayIconArgs {
  HWND owner = nullptr;
  UINT id = 1;
  UINT callback_message = WM_USER + 101;
  HICON icon = nullptr;  // borrowed; must outlive the tray icon
  std::string tip{};     // cut to the 127 characters the shell keeps
};

class TrayIcon {
 public:
  TrayIcon() = default;
  explicit TrayIcon(TrayIconArgs args) : args_(std::move(args)) {}
  ~TrayIcon();
  TrayIcon(TrayIcon&& other) noexcept;
  TrayIcon& operator=(TrayIcon&& other) noexcept;
  TrayIcon(const TrayIcon&) = delete;
  TrayIcon& operator=(const TrayIcon&) = delete;

  // Shows the icon (NIM_ADD). When it is shown already, updates it instead.
  bool Add();
  // Updates the shown icon with the current icon and tip (NIM_MODIFY).
  bool Modify();
  // Removes the icon (NIM_DELETE).
  bool Remove();
  bool IsAdded() const { return added_; }

  void SetIcon(HICON icon) { args_.icon = icon; }
  void SetTip(std::string tip) { args_.tip = std::move(tip); }
  const TrayIconArgs& Args() const { return args_; }

 private:
  bool Notify(DWORD message);

  TrayIconArgs args_;
  bool added_ = false;
};

}  // namespace vx::winui
