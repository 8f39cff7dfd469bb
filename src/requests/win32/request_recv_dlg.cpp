#include "requests/win32/request_recv_dlg.h"

#include "vessix_ids.h"

namespace vx::requests::win32 {

namespace {

const std::vector<int> kControls = {
    IDC_RECV_TITLE,       IDC_RECV_REMOTE_TEXT, IDC_RECV_REMOTE,   IDC_RECV_SERVER_TEXT, IDC_RECV_SERVER,
    IDC_RECV_DEVICE_TEXT, IDC_RECV_DEVICE,      IDC_RECV_QUESTION, IDC_RECV_ACCEPT,      IDC_RECV_REJECT};
const std::vector<int> kTall = {IDC_RECV_TITLE,  IDC_RECV_REMOTE_TEXT, IDC_RECV_REMOTE, IDC_RECV_SERVER_TEXT,
                                IDC_RECV_SERVER, IDC_RECV_DEVICE_TEXT, IDC_RECV_DEVICE};

}  // namespace

RequestRecvDlg::RequestRecvDlg() : RequestDialogBase("TRequestRecvDlg") {
  SetLabelColour(IDC_RECV_TITLE, kGreen);
  SetLabelColour(IDC_RECV_QUESTION, kRed);
  OnCommand(IDC_RECV_ACCEPT, [this](int code) {
    if (code == BN_CLICKED && handlers_.accept) handlers_.accept();
  });
  OnCommand(IDC_RECV_REJECT, [this](int code) {
    if (code == BN_CLICKED && handlers_.reject) handlers_.reject();
  });
}

void RequestRecvDlg::OnOkCancel(int id) {
  // Enter answers nothing; Esc and the close box close the window.
  if (id != IDCANCEL) return;
  if (handlers_.close_box)
    handlers_.close_box();
  else
    Hide();
}

void RequestRecvDlg::SetRequestInfo(const RequestInfo& info) {
  SetText(IDC_RECV_REMOTE, info.remote_user);
  SetText(IDC_RECV_SERVER, info.server);
  SetText(IDC_RECV_DEVICE, info.device);
}

void RequestRecvDlg::ShowDialog() { ShowOnTopCentred(); }

void RequestRecvDlg::ApplyLook(const ReplyDialogLook& look) {
  SetCaption(look.caption);
  SetText(IDC_RECV_TITLE, look.title);
  SetText(IDC_RECV_QUESTION, look.question);
  SetText(IDC_RECV_ACCEPT, look.accept_text);
  SetText(IDC_RECV_REJECT, look.reject_text);
  SetText(IDC_RECV_REMOTE_TEXT, look.remote_label);
  SetText(IDC_RECV_SERVER_TEXT, look.server_label);
  SetText(IDC_RECV_DEVICE_TEXT, look.device_label);
  ApplyFonts(look.japanese, kControls, {IDC_RECV_TITLE}, kTall);
}

}  // namespace vx::requests::win32
