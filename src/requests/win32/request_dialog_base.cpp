#include "requests/win32/request_dialog_base.h"

#include <algorithm>

#include "winui/controls.h"
#include "winui/graphics.h"

namespace vx::requests::win32 {

void RequestDialogBase::ShowOnTopCentred() {
  if (!hwnd()) return;
  RECT self{}, around{};
  GetWindowRect(hwnd(), &self);
  HWND owner = GetWindow(hwnd(), GW_OWNER);
  if (!owner || !GetWindowRect(owner, &around) || around.right <= around.left) {
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &around, 0);
  }
  const int width = self.right - self.left, height = self.bottom - self.top;
  const int left = around.left + ((around.right - around.left) - width) / 2;
  const int top = around.top + ((around.bottom - around.top) - height) / 2;
  SetWindowPos(hwnd(), HWND_TOPMOST, left, top, 0, 0, SWP_NOSIZE | SWP_NOACTIVATE);
  Show(SW_SHOWNORMAL);
}

void RequestDialogBase::ApplyFonts(bool japanese, const std::vector<int>& controls,
                                   const std::vector<int>& bold, const std::vector<int>& tall) {
  if (!hwnd()) return;
  winui::FontArgs args;
  if (japanese) {
    args.points = 10;
    args.charset = SHIFTJIS_CHARSET;
  }
  winui::OwnedFont plain = winui::CreateFontFrom(args);
  // Bold Japanese text is not linked to a Japanese face everywhere: titles
  // stay regular in Japanese.
  args.bold = !japanese;
  winui::OwnedFont bold_font = winui::CreateFontFrom(args);
  for (int id : controls) {
    const bool is_bold = std::find(bold.begin(), bold.end(), id) != bold.end();
    // In English the plain controls keep the template's font.
    if (is_bold || japanese) winui::Control(Item(id)).SetFont(is_bold ? bold_font.get() : plain.get());
  }
  // The old fonts go once no control uses them any more.
  plain_ = std::move(plain);
  bold_ = std::move(bold_font);
  for (int id : tall) {
    winui::Control control(Item(id));
    if (!control) continue;
    Rect bounds = control.Bounds();
    template_heights_.try_emplace(id, bounds.height);
    bounds.height = japanese ? 25 : template_heights_[id];
    control.SetBounds(bounds);
  }
}

void RequestDialogBase::SetText(int id, const std::string& text) { winui::Control(Item(id)).SetText(text); }
std::string RequestDialogBase::TextOf(int id) const { return winui::Control(Item(id)).Text(); }
void RequestDialogBase::SetVisible(int id, bool visible) { winui::Control(Item(id)).SetVisible(visible); }

std::optional<LRESULT> RequestDialogBase::HandleMessage(UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_CTLCOLORSTATIC) {
    auto it = colours_.find(GetDlgCtrlID(reinterpret_cast<HWND>(lparam)));
    if (it != colours_.end()) {
      auto dc = reinterpret_cast<HDC>(wparam);
      SetTextColor(dc, it->second);
      SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
      return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
    }
  }
  return winui::Dialog::HandleMessage(message, wparam, lparam);
}

}  // namespace vx::requests::win32
