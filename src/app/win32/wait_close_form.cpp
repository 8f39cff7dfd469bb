#include "app/win32/wait_close_form.h"

#include "vessix_ids.h"
#include "winui/controls.h"

namespace vx::app::win32 {

void WaitCloseForm::ShowTexts(const std::string& caption, const std::string& text) {
  if (!hwnd()) return;
  SetCaption(caption);
  Control<winui::Label>(IDC_WAITCLOSE_TEXT).SetText(text);
  Show();
  Repaint();
}

void WaitCloseForm::Repaint() {
  if (hwnd()) UpdateWindow(hwnd());
}

std::string WaitCloseForm::Text() const { return Control<winui::Label>(IDC_WAITCLOSE_TEXT).Text(); }

}  // namespace vx::app::win32
