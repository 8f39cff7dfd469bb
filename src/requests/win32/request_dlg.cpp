#include "requests/win32/request_dlg.h"

#include <cstdint>

#include "vessix_ids.h"

namespace vx::requests::win32 {

namespace {

// The pictures are drawn on light grey (192, 192, 192); that background
// becomes the dialog's face colour here (LR_LOADMAP3DCOLORS only maps
// bitmaps with a colour table).
HBITMAP LoadPicture(const wchar_t* name) {
  auto bitmap = static_cast<HBITMAP>(
      LoadImageW(GetModuleHandleW(nullptr), name, IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
  DIBSECTION dib{};
  if (!bitmap || GetObjectW(bitmap, sizeof(dib), &dib) != sizeof(dib) || dib.dsBm.bmBitsPixel != 24 ||
      !dib.dsBm.bmBits)
    return bitmap;
  const COLORREF face = GetSysColor(COLOR_BTNFACE);
  auto* bits = static_cast<uint8_t*>(dib.dsBm.bmBits);
  for (int y = 0; y < dib.dsBm.bmHeight; ++y) {
    uint8_t* p = bits + size_t(y) * size_t(dib.dsBm.bmWidthBytes);
    for (int x = 0; x < dib.dsBm.bmWidth; ++x, p += 3) {
      if (p[0] == 192 && p[1] == 192 && p[2] == 192) {
        p[0] = GetBValue(face);
        p[1] = GetGValue(face);
        p[2] = GetRValue(face);
      }
    }
  }
  return bitmap;
}

const std::vector<int> kLabels = {IDC_REQ_TITLE,       IDC_REQ_TITLE_OK,    IDC_REQ_TITLE_REJECT,
                                  IDC_REQ_REMOTE_TEXT, IDC_REQ_REMOTE,      IDC_REQ_SERVER_TEXT,
                                  IDC_REQ_SERVER,      IDC_REQ_DEVICE_TEXT, IDC_REQ_DEVICE,
                                  IDC_REQ_CANCEL,      IDC_REQ_CLOSE};
const std::vector<int> kTitles = {IDC_REQ_TITLE, IDC_REQ_TITLE_OK, IDC_REQ_TITLE_REJECT};
const std::vector<int> kTall = {IDC_REQ_TITLE,       IDC_REQ_TITLE_OK,    IDC_REQ_TITLE_REJECT,
                                IDC_REQ_REMOTE_TEXT, IDC_REQ_REMOTE,      IDC_REQ_SERVER_TEXT,
                                IDC_REQ_SERVER,      IDC_REQ_DEVICE_TEXT, IDC_REQ_DEVICE};

}  // namespace

RequestDlg::RequestDlg()
    : RequestDialogBase("TRequestDlg"),
      animation_(winui::TimerArgs{.handler = [this] { NextFrame(); }, .interval_ms = kAnimationFrameMs}) {
  SetLabelColour(IDC_REQ_TITLE, kBlue);
  SetLabelColour(IDC_REQ_TITLE_OK, kGreen);
  SetLabelColour(IDC_REQ_TITLE_REJECT, kRed);
  OnCommand(IDC_REQ_CANCEL, [this](int code) {
    if (code == BN_CLICKED) Closed();
  });
  OnCommand(IDC_REQ_CLOSE, [this](int code) {
    if (code == BN_CLICKED) Closed();
  });
}

RequestDlg::~RequestDlg() { animation_.SetEnabled(false); }

bool RequestDlg::OnInitDialog() {
  frames_.Reset(LoadPicture(L"REQUESTTOUSEAVI"));
  ok_image_.Reset(LoadPicture(L"REQOKIMAGE"));
  no_image_.Reset(LoadPicture(L"REQNOIMAGE"));
  SendDlgItemMessageW(hwnd(), IDC_REQ_OK_IMAGE, STM_SETIMAGE, IMAGE_BITMAP,
                      reinterpret_cast<LPARAM>(ok_image_.get()));
  SendDlgItemMessageW(hwnd(), IDC_REQ_NO_IMAGE, STM_SETIMAGE, IMAGE_BITMAP,
                      reinterpret_cast<LPARAM>(no_image_.get()));
  ApplyFonts(false, kLabels, kTitles, kTall);
  return true;
}

void RequestDlg::OnOkCancel(int id) {
  // Enter does not close the dialog; Esc and the close box do.
  if (id == IDCANCEL) Closed();
}

void RequestDlg::Closed() {
  if (on_close_)
    on_close_();
  else
    HideDialog();
}

void RequestDlg::SetRequestInfo(const RequestInfo& info) {
  SetText(IDC_REQ_REMOTE, info.remote_user);
  SetText(IDC_REQ_SERVER, info.server);
  SetText(IDC_REQ_DEVICE, info.device);
}

void RequestDlg::ShowDialog() { ShowOnTopCentred(); }

void RequestDlg::HideDialog() {
  animation_.SetEnabled(false);
  Hide();
}

void RequestDlg::ShowLook(const WaitDialogLook& look) {
  SetCaption(look.caption);
  const int title = look.title == WaitTitle::kTitle     ? IDC_REQ_TITLE
                    : look.title == WaitTitle::kTitleOK ? IDC_REQ_TITLE_OK
                                                        : IDC_REQ_TITLE_REJECT;
  for (int id : kTitles) SetVisible(id, id == title);
  SetText(title, look.title_text);
  SetText(IDC_REQ_REMOTE_TEXT, look.remote_label);
  SetText(IDC_REQ_SERVER_TEXT, look.server_label);
  SetText(IDC_REQ_DEVICE_TEXT, look.device_label);
  SetText(IDC_REQ_CANCEL, look.cancel_text);
  SetText(IDC_REQ_CLOSE, look.close_text);
  SetVisible(IDC_REQ_CANCEL, look.button == WaitButton::kCancel);
  SetVisible(IDC_REQ_CLOSE, look.button == WaitButton::kClose);
  SetVisible(IDC_REQ_ANIMATE, look.picture == WaitPicture::kAnimation);
  SetVisible(IDC_REQ_OK_IMAGE, look.picture == WaitPicture::kOK);
  SetVisible(IDC_REQ_NO_IMAGE, look.picture == WaitPicture::kNo);
  // The animation runs only while it shows.
  if (look.picture == WaitPicture::kAnimation) {
    frame_ = 0;
    animation_.SetEnabled(true);
  } else {
    animation_.SetEnabled(false);
  }
  ApplyFonts(look.japanese, kLabels, kTitles, kTall);
}

void RequestDlg::NextFrame() {
  if (!IsVisible()) return;
  frame_ = (frame_ + 1) % kAnimationFrames;
  InvalidateRect(Item(IDC_REQ_ANIMATE), nullptr, FALSE);
}

void RequestDlg::DrawFrame(const DRAWITEMSTRUCT& item) {
  const RECT& r = item.rcItem;
  FillRect(item.hDC, &r, GetSysColorBrush(COLOR_BTNFACE));
  if (!frames_) return;
  HDC memory = CreateCompatibleDC(item.hDC);
  HGDIOBJ old = SelectObject(memory, frames_.get());
  const int left = r.left + ((r.right - r.left) - kAnimationFrameSize) / 2;
  const int top = r.top + ((r.bottom - r.top) - kAnimationFrameSize) / 2;
  BitBlt(item.hDC, left, top, kAnimationFrameSize, kAnimationFrameSize, memory, frame_ * kAnimationFrameSize,
         0, SRCCOPY);
  SelectObject(memory, old);
  DeleteDC(memory);
}

std::optional<LRESULT> RequestDlg::HandleMessage(UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_DRAWITEM && wparam == IDC_REQ_ANIMATE) {
    DrawFrame(*reinterpret_cast<const DRAWITEMSTRUCT*>(lparam));
    return TRUE;
  }
  return RequestDialogBase::HandleMessage(message, wparam, lparam);
}

}  // namespace vx::requests::win32
