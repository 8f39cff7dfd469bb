// The tool bar: flat buttons of a given height with the glyph above the
// caption, each showing an action (caption, enabled, visible, checked) and
// executing it when clicked (through the parent's WM_COMMAND routing, so the
// handler of a disabled action never runs). The program places and sizes
// the bar itself. Like every control wrapper a light view of the HWND.
#pragma once
#if !defined(_WIN32)
#error "src/winui is Windows-only"
#endif

#include <windows.h>
// After windows.h:
#include <commctrl.h>

#include <string>

#include "winui/action.h"
#include "winui/controls.h"

namespace vx::winui {

class ToolBar : public Control {
 public:
  using Control::Control;
  static ToolBar Create(HWND parent, int id, const Rect& bounds, int button_height);

  void SetImageList(HIMAGELIST images) const;  // borrowed
  // Adds a button for `action` (which must outlive the bar); `width` 0
  // keeps the bar's button width; `toggle` makes a button that stays down.
  bool AddButton(Action& action, int image = I_IMAGENONE, int width = 0, bool toggle = false) const;
  int ButtonCount() const;

  // The button of `action`: width and bounds in the bar's client
  // coordinates (0 and empty while hidden; a hidden button gets its width
  // back when shown), states, caption.
  void SetButtonWidth(const Action& action, int width) const;
  int ButtonWidth(const Action& action) const;
  Rect ButtonBounds(const Action& action) const;
  bool ButtonVisible(const Action& action) const;
  bool ButtonEnabled(const Action& action) const;
  bool ButtonChecked(const Action& action) const;
  void SetButtonChecked(const Action& action, bool checked) const;
  std::string ButtonText(const Action& action) const;

  // The sum of the widths of the visible buttons.
  int VisibleButtonsWidth() const;

 private:
  static void Sync(HWND toolbar, const Action& action);
  BYTE State(const Action& action) const;
};

}  // namespace vx::winui
