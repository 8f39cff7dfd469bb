// The texts and looks of the two request dialogs, and the device text.
#include <string>

#include "devices/device_ops.h"
#include "requests/request_presenter.h"
#include "ui/texts.h"

namespace vx::requests {

namespace {

std::string T(bool japanese, ui::TextId id) {
  return std::string(ui::Text(japanese ? "Japanese" : "English", id));
}

}  // namespace

std::string DeviceText(const model::DeviceData& device) {
  if (devices::UpperAscii(device.Class) == "UNKNOWN") return device.Manufacturer + " - " + device.Product;
  return device.Class + " - " + device.Manufacturer + " - " + device.Product;
}

WaitDialogLook LookOfWaitDialog(ReplyState state, bool japanese) {
  using enum ui::TextId;
  WaitDialogLook look;
  look.state = state;
  look.japanese = japanese;
  look.cancel_text = T(japanese, RequestDlg_CancelBtn);
  look.close_text = T(japanese, RequestDlg_CloseBtn);
  look.remote_label = T(japanese, Request_RemotePCText);
  look.server_label = T(japanese, Request_ServerText);
  look.device_label = T(japanese, Request_DeviceText);
  switch (state) {
    case ReplyState::kWaiting:
      look.caption = T(japanese, RequestDlg_Wait);
      look.title = WaitTitle::kTitle;
      look.title_text = T(japanese, RequestDlg_Title);
      look.picture = WaitPicture::kAnimation;
      look.button = WaitButton::kCancel;
      break;
    case ReplyState::kConnected:
      look.caption = T(japanese, RequestDlg_Replied);
      look.title = WaitTitle::kTitleOK;
      look.title_text = T(japanese, RequestDlg_TitleOK);
      look.picture = WaitPicture::kOK;
      look.button = WaitButton::kClose;
      break;
    case ReplyState::kRefused:
      look.caption = T(japanese, RequestDlg_Replied);
      look.title = WaitTitle::kTitleReject;
      look.title_text = T(japanese, RequestDlg_TitleReject);
      look.picture = WaitPicture::kNo;
      look.button = WaitButton::kClose;
      break;
    case ReplyState::kFailed:
      // The holder did answer (it let the device go), but the device is not
      // ours: the red title says so instead of "connected".
      look.caption = T(japanese, RequestDlg_Replied);
      look.title = WaitTitle::kTitleReject;
      look.title_text = T(japanese, RequestDlg_TitleFailed);
      look.picture = WaitPicture::kNo;
      look.button = WaitButton::kClose;
      break;
  }
  return look;
}

ReplyDialogLook LookOfReplyDialog(bool japanese) {
  using enum ui::TextId;
  ReplyDialogLook look;
  look.japanese = japanese;
  look.caption = T(japanese, RequestRecvDlg_Caption);
  look.title = T(japanese, RequestRecvDlg_Title);
  look.question = T(japanese, RequestRecvDlg_Question);
  look.accept_text = T(japanese, RequestRecvDlg_AcceptBtn);
  look.reject_text = T(japanese, RequestRecvDlg_RejectBtn);
  look.remote_label = T(japanese, Request_RemotePCText);
  look.server_label = T(japanese, Request_ServerText);
  look.device_label = T(japanese, Request_DeviceText);
  return look;
}

}  // namespace vx::requests
