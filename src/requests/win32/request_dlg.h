// `TRequestDlg`, the wait dialog of a sharing request, on the kit. It shows
// what the presenter tells it (WaitDialogView): the three name lines, and per
// reply state one title (blue, green or red), one button (CancelBtn or
// CloseBtn) and one picture (the animation ReqAnimate, ReqOKImage or
// ReqNoImage). Both buttons and the close box report a close; the presenter
// decides what it means.
#pragma once

#if !defined(_WIN32)
#error "Windows only"
#endif

#include <functional>
#include <memory>

#include "requests/request_presenter.h"
#include "requests/win32/request_dialog_base.h"
#include "winui/timer.h"

namespace vx::requests::win32 {

// The animation "RequestToUseAVI": frames of 48 x 48 pixels side by side.
inline constexpr int kAnimationFrames = 9;
inline constexpr int kAnimationFrameSize = 48;
inline constexpr unsigned kAnimationFrameMs = 120;

class RequestDlg final : public RequestDialogBase, public WaitDialogView {
 public:
  RequestDlg();
  ~RequestDlg() override;

  // CancelBtn, CloseBtn and the close box.
  void OnClose(std::function<void()> handler) { on_close_ = std::move(handler); }

  // --- WaitDialogView ---
  void SetRequestInfo(const RequestInfo& info) override;
  void ShowDialog() override;
  void HideDialog() override;
  bool IsShown() const override { return IsVisible(); }
  void ShowLook(const WaitDialogLook& look) override;

  // For tests: the animation's state.
  bool AnimationRunning() const { return animation_.Enabled(); }
  int AnimationFrame() const { return frame_; }

 protected:
  bool OnInitDialog() override;
  void OnOkCancel(int id) override;
  std::optional<LRESULT> HandleMessage(UINT message, WPARAM wparam, LPARAM lparam) override;

 private:
  void Closed();
  void NextFrame();
  void DrawFrame(const DRAWITEMSTRUCT& item);

  std::function<void()> on_close_;
  winui::Timer animation_;
  int frame_ = 0;
  winui::OwnedBitmap frames_, ok_image_, no_image_;
};

}  // namespace vx::requests::win32
