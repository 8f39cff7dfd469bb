// The main window as the discovery listener's no-network and network-ok
// steps see it: the tree, MsgMemo and the window through MainView, the icon
// and the tray tip through the presenter, which keeps the tray icon's one
// state.
#pragma once

#include <string>

#include "app/main_presenter.h"
#include "app/main_view.h"
#include "discovery/network_status.h"

namespace vx::app {

class MainNetworkStatus final : public discovery::NetworkStatusView {
 public:
  // The presenter is bound after construction (the services it uses need
  // this object first); the listener starts only after that.
  explicit MainNetworkStatus(MainView& view) : view_(view) {}
  void BindPresenter(MainPresenter* presenter) { presenter_ = presenter; }

  bool ServerTreeEmpty() const override { return view_.IsTreeEmpty(); }
  bool MainWindowVisible() const override { return view_.IsMainWindowVisible(); }
  bool MsgMemoVisible() const override { return view_.IsControlVisible(MainControl::MsgMemo); }
  void ShowMsgMemo() override;
  void HideMsgMemo() override;
  void SetMsgMemoText(const std::string& text) override { view_.SetMemoText(text); }
  void SetIcon(const std::string& resource_name) override;
  void SetTrayTip(const std::string& tip) override;
  void UpdateTrayIcon() override;

 private:
  MainView& view_;
  MainPresenter* presenter_ = nullptr;
};

}  // namespace vx::app
