#include "app/main_network_status.h"

namespace vx::app {

void MainNetworkStatus::ShowMsgMemo() {
  view_.SetControlEnabled(MainControl::MainPanel, false);
  view_.SetControlVisible(MainControl::MsgMemo, true);
}

void MainNetworkStatus::HideMsgMemo() {
  view_.SetControlVisible(MainControl::MsgMemo, false);
  view_.SetControlEnabled(MainControl::MainPanel, true);
}

void MainNetworkStatus::SetIcon(const std::string& resource_name) {
  if (presenter_)
    presenter_->SetNetworkIcon(resource_name == discovery::kNoNetworkIcon ? AppIcon::kNoNetwork
                                                                          : AppIcon::kMain);
}

void MainNetworkStatus::SetTrayTip(const std::string& tip) {
  if (presenter_) presenter_->SetTrayTip(tip);
}

void MainNetworkStatus::UpdateTrayIcon() {
  if (presenter_) presenter_->UpdateTrayIcon();
}

}  // namespace vx::app
