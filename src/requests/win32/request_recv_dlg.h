// `TRequestRecvDlg`, the reply dialog of a sharing request, on the kit: who
// asks for which device, the red warning Label_Question, AcceptBtn and
// RejectBtn. It shows what the presenter tells it (ReplyDialogView) and
// reports the buttons and the close box; the presenter decides.
#pragma once

#if !defined(_WIN32)
#error "Windows only"
#endif

#include <functional>

#include "requests/request_presenter.h"
#include "requests/win32/request_dialog_base.h"

namespace vx::requests::win32 {

struct ReplyHandlers {
  std::function<void()> accept, reject;
  std::function<void()> close_box;  // the window's close box (and Esc)
};

class RequestRecvDlg final : public RequestDialogBase, public ReplyDialogView {
 public:
  RequestRecvDlg();

  void SetHandlers(ReplyHandlers handlers) { handlers_ = std::move(handlers); }

  // --- ReplyDialogView ---
  void SetRequestInfo(const RequestInfo& info) override;
  void ShowDialog() override;
  void HideDialog() override { Hide(); }
  bool IsShown() const override { return IsVisible(); }
  void ApplyLook(const ReplyDialogLook& look) override;

 protected:
  void OnOkCancel(int id) override;

 private:
  ReplyHandlers handlers_;
};

}  // namespace vx::requests::win32
