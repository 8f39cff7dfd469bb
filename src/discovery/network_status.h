// The main window's no-network and network-ok states. The listener decides
// which applies and hands the step to the main thread; the presenter decides
// what the window shows, the view (the main window) only mirrors it.
#pragma once

#include <functional>
#include <string>

namespace vx::discovery {

// What the listener calls, on the main thread.
class NetworkStateSink {
 public:
  virtual ~NetworkStateSink() = default;
  virtual void NoNetworkStep() = 0;
  virtual void NetworkOkStep() = 0;
};

// The parts of the main window and the tray icon the two steps touch.
class NetworkStatusView {
 public:
  virtual ~NetworkStatusView() = default;
  virtual bool ServerTreeEmpty() const = 0;
  virtual bool MainWindowVisible() const = 0;
  virtual bool MsgMemoVisible() const = 0;
  virtual void ShowMsgMemo() = 0;
  virtual void HideMsgMemo() = 0;
  virtual void SetMsgMemoText(const std::string& text) = 0;
  // The application and tray icon, by resource name.
  virtual void SetIcon(const std::string& resource_name) = 0;
  virtual void SetTrayTip(const std::string& tip) = 0;
  // NIM_MODIFY.
  virtual void UpdateTrayIcon() = 0;
};

inline constexpr const char* kNormalIcon = "MAINICON";
inline constexpr const char* kNoNetworkIcon = "MAINICON_NG";
// "This computer is not connected to the network, or the network is not ready."
extern const char kNoNetworkText[];

class NetworkStatusPresenter final : public NetworkStateSink {
 public:
  NetworkStatusPresenter(NetworkStatusView& view, std::function<bool()> japanese,
                         std::function<std::string()> application_title);

  void NoNetworkStep() override;
  void NetworkOkStep() override;

 private:
  NetworkStatusView& view_;
  std::function<bool()> japanese_;
  std::function<std::string()> title_;
};

}  // namespace vx::discovery
