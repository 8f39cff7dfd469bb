#include "ui/win32/msgbox_window.h"

#include <windowsx.h>

#include "platform/text_codec.h"
#include "winui/controls.h"
#include "winui/graphics.h"
#include "winui/kit.h"

namespace vx::ui::win32 {
namespace {

constexpr COLORREF kFrameFill = RGB(250, 252, 255);
constexpr COLORREF kSkyBlue = RGB(166, 202, 240);
constexpr COLORREF kCaptionText = RGB(255, 255, 255);
constexpr COLORREF kTransparent = RGB(255, 0, 255);  // the pictures' background

winui::OwnedImageList LoadStrip(const char* name, int size, HMODULE module) {
  winui::OwnedBitmap strip = winui::LoadBitmapResource(name, module);
  if (!strip) return {};
  BITMAP info{};
  GetObjectW(strip.get(), sizeof(info), &info);
  const int count = info.bmHeight == size && info.bmWidth >= size ? info.bmWidth / size : 0;
  if (count == 0) return {};
  winui::OwnedImageList list(ImageList_Create(size, size, ILC_COLOR24 | ILC_MASK, count, 0));
  if (list) ImageList_AddMasked(list.get(), strip.get(), kTransparent);
  return list;
}

// A memory bitmap to paint into, copied to the screen at once (no flicker
// while the popup slides).
class BufferedPaint {
 public:
  BufferedPaint(HDC target, int width, int height)
      : target_(target),
        width_(width),
        height_(height),
        dc_(CreateCompatibleDC(target)),
        bitmap_(CreateCompatibleBitmap(target, width, height)) {
    old_ = SelectObject(dc_, bitmap_);
  }
  ~BufferedPaint() {
    BitBlt(target_, 0, 0, width_, height_, dc_, 0, 0, SRCCOPY);
    SelectObject(dc_, old_);
    DeleteObject(bitmap_);
    DeleteDC(dc_);
  }
  BufferedPaint(const BufferedPaint&) = delete;
  BufferedPaint& operator=(const BufferedPaint&) = delete;
  HDC dc() const { return dc_; }

 private:
  HDC target_;
  int width_, height_;
  HDC dc_;
  HBITMAP bitmap_;
  HGDIOBJ old_;
};

}  // namespace

PopupPictures PopupPictures::Load(HMODULE module) {
  PopupPictures p;
  p.bar = winui::LoadBitmapResource("MSGBAR", module);
  p.icon = LoadStrip("MSGICON", kPopupParts.icon.width, module);
  p.close = LoadStrip("MSGCLOSE", kPopupParts.close.width, module);
  return p;
}

TMsgBox::TMsgBox(int id, PopupEvents& events, const PopupPictures& pictures)
    : Dialog("TMsgBox"),
      id_(id),
      events_(events),
      pictures_(pictures),
      frame_brush_(CreateSolidBrush(kFrameFill)) {}

TMsgBox::~TMsgBox() {
  if (hwnd() && GetCapture() == hwnd()) ReleaseCapture();
}

bool TMsgBox::Create(HMODULE module) {
  // Top-level without an owner: a hidden or minimised main window must not
  // take the popups with it.
  if (!Dialog::Create(nullptr, module)) return false;
  // The labels are children; the panel is painted around them.
  SetWindowLongPtrW(hwnd(), GWL_STYLE, GetWindowLongPtrW(hwnd(), GWL_STYLE) | WS_CLIPCHILDREN);
  SetWindowPos(hwnd(), nullptr, 0, 0, kPopupSize.width, kPopupSize.height,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
  const PopupParts& parts = kPopupParts;
  // Label_Caption keeps the caption and its font; the popup draws it over
  // the title-bar picture itself.
  winui::Label caption =
      winui::Label::Create({.parent = hwnd(), .id = kIdLabelCaption, .bounds = parts.caption, .text = ""});
  caption.SetVisible(false);
  winui::Label::Create({.parent = hwnd(), .id = kIdLabel1, .bounds = parts.message, .text = ""});
  winui::Label::Create({.parent = hwnd(), .id = kIdLabel2, .bounds = parts.details, .text = ""});
  winui::Label time =
      winui::Label::Create({.parent = hwnd(), .id = kIdLabelTime, .bounds = parts.time, .text = ""});
  if (time) {
    const LONG_PTR style = GetWindowLongPtrW(time.hwnd(), GWL_STYLE);
    SetWindowLongPtrW(time.hwnd(), GWL_STYLE, (style & ~static_cast<LONG_PTR>(SS_TYPEMASK)) | SS_RIGHT);
  }
  return caption && time;
}

void TMsgBox::ApplyFonts(const PopupFonts& fonts) {
  auto make = [](const PopupFont& f) {
    return winui::CreateFontFrom(
        {.face = kPopupFontFace, .points = f.points, .charset = static_cast<BYTE>(f.charset)});
  };
  HFONT window_font = reinterpret_cast<HFONT>(SendMessageW(hwnd(), WM_GETFONT, 0, 0));
  caption_font_ = fonts.caption.points > 0 ? make(fonts.caption) : winui::OwnedFont();
  label_font_ = fonts.labels.points > 0 ? make(fonts.labels) : winui::OwnedFont();
  winui::Control(Item(kIdLabelCaption)).SetFont(caption_font_ ? caption_font_.get() : window_font);
  winui::Control(Item(kIdLabel1)).SetFont(label_font_ ? label_font_.get() : window_font);
  winui::Control(Item(kIdLabel2)).SetFont(label_font_ ? label_font_.get() : window_font);
}

void TMsgBox::Show(const PopupShow& show) {
  if (!hwnd()) return;
  SetCaption(show.caption);
  winui::Control(Item(kIdLabelCaption)).SetText(show.caption);
  winui::Control(Item(kIdLabel1)).SetText(show.texts.message);
  winui::Control(Item(kIdLabel2)).SetText(show.texts.details);
  winui::Control(Item(kIdLabelTime)).SetText("");
  ApplyFonts(show.fonts);
  close_enabled_ = false;
  highlighted_ = false;
  pressed_ = false;
  // On top of every window, shown without taking the focus from the user.
  SetWindowPos(hwnd(), HWND_TOPMOST, show.position.x, show.position.y, kPopupSize.width, kPopupSize.height,
               SWP_NOACTIVATE | SWP_SHOWWINDOW);
  RedrawWindow(hwnd(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
}

void TMsgBox::MoveTo(Point position) {
  if (!hwnd()) return;
  SetWindowPos(hwnd(), nullptr, position.x, position.y, 0, 0,
               SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOOWNERZORDER);
  UpdateWindow(hwnd());
}

void TMsgBox::SetCloseEnabled(bool enabled) { close_enabled_ = enabled; }

void TMsgBox::SetCloseHighlighted(bool highlighted) {
  if (!hwnd()) return;
  highlighted_ = highlighted;
  RepaintClose();
  if (highlighted) {
    SetCapture(hwnd());
  } else if (GetCapture() == hwnd()) {
    ReleaseCapture();
  }
}

void TMsgBox::Hide() {
  if (!hwnd()) return;
  if (GetCapture() == hwnd()) ReleaseCapture();
  Dialog::Hide();
}

std::string TMsgBox::LabelText(int id) const { return winui::Control(Item(id)).Text(); }

HFONT TMsgBox::LabelFont(int id) const {
  return reinterpret_cast<HFONT>(SendMessageW(Item(id), WM_GETFONT, 0, 0));
}

void TMsgBox::RepaintClose() {
  RECT r = winui::ToRECT(kPopupParts.close);
  InvalidateRect(hwnd(), &r, FALSE);
  UpdateWindow(hwnd());
}

bool TMsgBox::InCloseButton(Point p) const {
  const Rect& c = kPopupParts.close;
  return p.x >= c.left && p.x < c.right() && p.y >= c.top && p.y < c.bottom();
}

void TMsgBox::Paint(HDC target) const {
  RECT client{};
  GetClientRect(hwnd(), &client);
  BufferedPaint buffer(target, client.right, client.bottom);
  HDC dc = buffer.dc();
  const PopupParts& parts = kPopupParts;

  // The raised panel (bevel 2) that fills the window.
  FillRect(dc, &client, GetSysColorBrush(COLOR_BTNFACE));
  DrawEdge(dc, &client, EDGE_RAISED, BF_RECT);

  // Title bar picture, stretched; icon; caption; close button.
  if (pictures_.bar) {
    BITMAP info{};
    GetObjectW(pictures_.bar.get(), sizeof(info), &info);
    HDC source = CreateCompatibleDC(dc);
    HGDIOBJ old = SelectObject(source, pictures_.bar.get());
    SetStretchBltMode(dc, COLORONCOLOR);
    StretchBlt(dc, parts.bar.left, parts.bar.top, parts.bar.width, parts.bar.height, source, 0, 0,
               info.bmWidth, info.bmHeight, SRCCOPY);
    SelectObject(source, old);
    DeleteDC(source);
  }
  if (pictures_.icon)
    ImageList_Draw(pictures_.icon.get(), 0, dc, parts.icon.left, parts.icon.top, ILD_TRANSPARENT);
  HWND caption = Item(kIdLabelCaption);
  const std::wstring caption_text = Widen(winui::WindowText(caption));
  HFONT caption_font = reinterpret_cast<HFONT>(SendMessageW(caption, WM_GETFONT, 0, 0));
  HGDIOBJ old_font = caption_font ? SelectObject(dc, caption_font) : nullptr;
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, kCaptionText);
  RECT caption_rect = winui::ToRECT(parts.caption);
  DrawTextW(dc, caption_text.c_str(), static_cast<int>(caption_text.size()), &caption_rect,
            DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX | DT_END_ELLIPSIS);
  if (old_font) SelectObject(dc, old_font);
  if (pictures_.close)
    ImageList_Draw(pictures_.close.get(), highlighted_ ? 1 : 0, dc, parts.close.left, parts.close.top,
                   ILD_TRANSPARENT);

  // The line below the title bar.
  RECT line{parts.bar.left, parts.separator_y, parts.bar.right(), parts.separator_y + 2};
  DrawEdge(dc, &line, EDGE_ETCHED, BF_TOP);

  // The raised frame with its sky-blue outline around the labels.
  RECT frame = winui::ToRECT(parts.frame);
  DrawEdge(dc, &frame, EDGE_RAISED, BF_RECT | BF_ADJUST);
  FillRect(dc, &frame, frame_brush_.get());
  HBRUSH outline = CreateSolidBrush(kSkyBlue);
  FrameRect(dc, &frame, outline);
  DeleteObject(outline);
}

std::optional<LRESULT> TMsgBox::HandleMessage(UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_ERASEBKGND:
      return 1;  // WM_PAINT paints everything
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(hwnd(), &ps);
      Paint(dc);
      EndPaint(hwnd(), &ps);
      return 0;
    }
    case WM_CTLCOLORSTATIC: {
      HDC dc = reinterpret_cast<HDC>(wparam);
      SetBkColor(dc, kFrameFill);
      SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
      return reinterpret_cast<LRESULT>(frame_brush_.get());
    }
    case WM_MOUSEACTIVATE:
      return MA_NOACTIVATE;  // a click never takes the focus from the user's window
    case WM_MOUSEMOVE: {
      const Point p{GET_X_LPARAM(lparam), GET_Y_LPARAM(lparam)};
      // The button sees the pointer over it, and everywhere while it holds the capture.
      if (InCloseButton(p) || GetCapture() == hwnd())
        events_.CloseButtonMouseMove(id_, {p.x - kPopupParts.close.left, p.y - kPopupParts.close.top});
      return 0;
    }
    case WM_LBUTTONDOWN:
      pressed_ = InCloseButton({GET_X_LPARAM(lparam), GET_Y_LPARAM(lparam)});
      return 0;
    case WM_LBUTTONUP: {
      const bool click = pressed_ && InCloseButton({GET_X_LPARAM(lparam), GET_Y_LPARAM(lparam)});
      pressed_ = false;
      // The board may hide this popup; it stays alive until the next popup.
      if (click) events_.CloseButtonClick(id_);
      return 0;
    }
    case WM_CAPTURECHANGED:
      if (highlighted_ && reinterpret_cast<HWND>(lparam) != hwnd()) events_.CloseButtonCaptureLost(id_);
      return 0;
    default:
      return Dialog::HandleMessage(message, wparam, lparam);
  }
}

}  // namespace vx::ui::win32
