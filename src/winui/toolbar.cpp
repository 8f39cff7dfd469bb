#include "winui/toolbar.h"

#include <vector>

#include "platform/text_codec.h"

namespace vx::winui {
namespace {

bool HasButton(HWND toolbar, UINT command) {
  return SendMessageW(toolbar, TB_COMMANDTOINDEX, command, 0) >= 0;
}

// The bar recomputes its button size from glyphs and captions whenever a
// button is added; the height the program asked for is kept here and put
// back afterwards.
constexpr wchar_t kButtonHeight[] = L"VxButtonHeight";

void ApplyButtonHeight(HWND toolbar) {
  auto height = reinterpret_cast<INT_PTR>(GetPropW(toolbar, kButtonHeight));
  if (height <= 0) return;
  auto size = static_cast<DWORD>(SendMessageW(toolbar, TB_GETBUTTONSIZE, 0, 0));
  SendMessageW(toolbar, TB_SETBUTTONSIZE, 0, MAKELPARAM(LOWORD(size), height));
}

}  // namespace

ToolBar ToolBar::Create(const ToolBarArgs& a) {
  ToolBar bar(CreateChild(TOOLBARCLASSNAMEW, a.parent, a.id, a.bounds,
                          TBSTYLE_FLAT | CCS_NORESIZE | CCS_NOPARENTALIGN | CCS_NODIVIDER));
  if (!bar) return bar;
  bar.Send(TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON));
  bar.Send(TB_SETMAXTEXTROWS, 2);
  SetPropW(bar.hwnd(), kButtonHeight, reinterpret_cast<HANDLE>(static_cast<INT_PTR>(a.button_height)));
  ApplyButtonHeight(bar.hwnd());
  return bar;
}

void ToolBar::SetImageList(HIMAGELIST images) const {
  Send(TB_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(images));
}

bool ToolBar::AddButton(Action& action, const ToolButtonArgs& args) const {
  if (!hwnd_) return false;
  std::wstring caption = Widen(action.Caption());
  TBBUTTON button{};
  button.iBitmap = args.image;
  button.idCommand = static_cast<int>(action.CommandId());
  button.fsStyle = static_cast<BYTE>(args.toggle ? BTNS_CHECK : BTNS_BUTTON);
  button.iString = reinterpret_cast<INT_PTR>(caption.c_str());
  if (!Send(TB_ADDBUTTONSW, 1, reinterpret_cast<LPARAM>(&button))) return false;
  ApplyButtonHeight(hwnd_);
  if (args.width > 0) SetButtonWidth(action, args.width);
  Sync(hwnd_, action);
  HWND toolbar = hwnd_;
  UINT command = action.CommandId();
  action.Subscribe([toolbar, command](const Action& changed) {
    // The bar may have been destroyed (and its handle reused) since.
    if (IsWindow(toolbar) && HasButton(toolbar, command)) Sync(toolbar, changed);
  });
  return true;
}

int ToolBar::ButtonCount() const { return static_cast<int>(Send(TB_BUTTONCOUNT)); }

void ToolBar::Sync(HWND toolbar, const Action& action) {
  std::wstring caption = Widen(action.Caption());
  TBBUTTONINFOW info{};
  info.cbSize = sizeof(info);
  info.dwMask = TBIF_TEXT | TBIF_STATE;
  auto state = static_cast<BYTE>(SendMessageW(toolbar, TB_GETSTATE, action.CommandId(), 0));
  state = static_cast<BYTE>(state & ~(TBSTATE_ENABLED | TBSTATE_HIDDEN | TBSTATE_CHECKED));
  if (action.Enabled()) state |= TBSTATE_ENABLED;
  if (!action.Visible()) state |= TBSTATE_HIDDEN;
  if (action.Checked()) state |= TBSTATE_CHECKED;
  info.fsState = state;
  info.pszText = caption.data();
  SendMessageW(toolbar, TB_SETBUTTONINFOW, action.CommandId(), reinterpret_cast<LPARAM>(&info));
}

BYTE ToolBar::State(const Action& action) const {
  LRESULT state = Send(TB_GETSTATE, action.CommandId());
  return state < 0 ? 0 : static_cast<BYTE>(state);
}

void ToolBar::SetButtonWidth(const Action& action, int width) const {
  TBBUTTONINFOW info{};
  info.cbSize = sizeof(info);
  info.dwMask = TBIF_SIZE;
  info.cx = static_cast<WORD>(width);
  Send(TB_SETBUTTONINFOW, action.CommandId(), reinterpret_cast<LPARAM>(&info));
}

int ToolBar::ButtonWidth(const Action& action) const {
  TBBUTTONINFOW info{};
  info.cbSize = sizeof(info);
  info.dwMask = TBIF_SIZE;
  if (Send(TB_GETBUTTONINFOW, action.CommandId(), reinterpret_cast<LPARAM>(&info)) < 0) return 0;
  if (info.cx > 0) return info.cx;
  RECT r{};
  int index = static_cast<int>(Send(TB_COMMANDTOINDEX, action.CommandId()));
  return index >= 0 && Send(TB_GETITEMRECT, index, reinterpret_cast<LPARAM>(&r)) ? r.right - r.left : 0;
}

Rect ToolBar::ButtonBounds(const Action& action) const {
  RECT r{};
  if (!Send(TB_GETRECT, action.CommandId(), reinterpret_cast<LPARAM>(&r))) return {};
  return FromRECT(r);
}

bool ToolBar::ButtonVisible(const Action& action) const { return !(State(action) & TBSTATE_HIDDEN); }
bool ToolBar::ButtonEnabled(const Action& action) const { return State(action) & TBSTATE_ENABLED; }
bool ToolBar::ButtonChecked(const Action& action) const { return State(action) & TBSTATE_CHECKED; }

void ToolBar::SetButtonChecked(const Action& action, bool checked) const {
  Send(TB_CHECKBUTTON, action.CommandId(), MAKELPARAM(checked ? TRUE : FALSE, 0));
}

std::string ToolBar::ButtonText(const Action& action) const {
  std::vector<wchar_t> buffer(512, L'\0');
  TBBUTTONINFOW info{};
  info.cbSize = sizeof(info);
  info.dwMask = TBIF_TEXT;
  info.pszText = buffer.data();
  info.cchText = static_cast<int>(buffer.size());
  if (Send(TB_GETBUTTONINFOW, action.CommandId(), reinterpret_cast<LPARAM>(&info)) < 0) return {};
  buffer.back() = L'\0';
  return Narrow(buffer.data());
}

int ToolBar::VisibleButtonsWidth() const {
  int total = 0;
  int count = ButtonCount();
  for (int i = 0; i < count; ++i) {
    TBBUTTON button{};
    if (!Send(TB_GETBUTTON, i, reinterpret_cast<LPARAM>(&button)) || (button.fsState & TBSTATE_HIDDEN))
      continue;
    RECT r{};
    if (Send(TB_GETITEMRECT, i, reinterpret_cast<LPARAM>(&r))) total += r.right - r.left;
  }
  return total;
}

}  // namespace vx::winui
