// TMsgBox, the notification popup window, on the kit: a dialog from the
// "TMSGBOX" template (borderless, topmost, never activated) that the board
// of popup_board.h drives through PopupView. It paints its panel, title bar,
// icon, frame and close button itself and reports the close button's
// pointer and clicks to the board; it decides nothing.
#pragma once
#if !defined(_WIN32)
#error "Windows only"
#endif

#include <windows.h>

#include <string>

#include "ui/popup_board.h"
#include "winui/dialog.h"
#include "winui/handle.h"

namespace vx::ui::win32 {

// Child controls of a popup (made in code at their pixel places).
inline constexpr int kIdLabelCaption = 1301;  // Label_Caption
inline constexpr int kIdLabel1 = 1302;        // Label1, the message
inline constexpr int kIdLabel2 = 1303;        // Label2, the details
inline constexpr int kIdLabelTime = 1304;     // Label_Time

// The pictures every popup shows, loaded once from the program's resources.
struct PopupPictures {
  winui::OwnedBitmap bar;       // Image_Bar ("MSGBAR"), stretched
  winui::OwnedImageList icon;   // MsgImage ("MSGICON")
  winui::OwnedImageList close;  // CloseImageList ("MSGCLOSE"): 0 normal, 1 highlighted
  // Empty parts when a resource is missing (the popup then paints without it).
  static PopupPictures Load(HMODULE module = nullptr);
};

class TMsgBox final : public winui::Dialog, public PopupView {
 public:
  // `pictures` must outlive the popup.
  TMsgBox(int id, PopupEvents& events, const PopupPictures& pictures);
  ~TMsgBox() override;

  // Makes the hidden window and its labels. False on failure.
  bool Create(HMODULE module = nullptr);

  // PopupView.
  void Show(const PopupShow& show) override;
  void MoveTo(Point position) override;
  void SetCloseEnabled(bool enabled) override;
  void SetCloseHighlighted(bool highlighted) override;
  void Hide() override;

  // For tests and the automation.
  int Id() const { return id_; }
  bool CloseEnabled() const { return close_enabled_; }
  bool CloseHighlighted() const { return highlighted_; }
  std::string LabelText(int id) const;
  HFONT LabelFont(int id) const;

 protected:
  std::optional<LRESULT> HandleMessage(UINT message, WPARAM wparam, LPARAM lparam) override;
  bool OnInitDialog() override { return false; }  // no focus to give
  void OnOkCancel(int) override {}                // Esc and Enter do not close it

 private:
  void Paint(HDC dc) const;
  void RepaintClose();
  bool InCloseButton(Point client) const;
  void ApplyFonts(const PopupFonts& fonts);

  const int id_;
  PopupEvents& events_;
  const PopupPictures& pictures_;
  bool close_enabled_ = false;
  bool highlighted_ = false;
  bool pressed_ = false;
  winui::OwnedFont caption_font_;
  winui::OwnedFont label_font_;
  winui::OwnedBrush frame_brush_;
};

}  // namespace vx::ui::win32
