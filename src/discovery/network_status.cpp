#include "discovery/network_status.h"

namespace vx::discovery {

const char kNoNetworkText[] =
    "お使いのパソコンがネットワークに接続されていないか、ネットワークが有効になっていません。";

NetworkStatusPresenter::NetworkStatusPresenter(NetworkStatusView& view, std::function<bool()> japanese,
                                               std::function<std::string()> application_title)
    : view_(view), japanese_(std::move(japanese)), title_(std::move(application_title)) {}

void NetworkStatusPresenter::NoNetworkStep() {
  const bool japanese = japanese_();
  if (view_.ServerTreeEmpty() && view_.MainWindowVisible() && !view_.MsgMemoVisible()) {
    view_.ShowMsgMemo();
    view_.SetMsgMemoText("");
    if (japanese) view_.SetMsgMemoText(kNoNetworkText);
  }
  view_.SetIcon(kNoNetworkIcon);
  if (japanese) view_.SetTrayTip(title_() + " - \n" + kNoNetworkText);
  view_.UpdateTrayIcon();
}

void NetworkStatusPresenter::NetworkOkStep() {
  if (view_.MainWindowVisible() && view_.MsgMemoVisible()) view_.HideMsgMemo();
  view_.SetIcon(kNormalIcon);
  view_.SetTrayTip(title_());
  view_.UpdateTrayIcon();
}

}  // namespace vx::discovery
