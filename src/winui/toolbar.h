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

struct ToolBarArgs {
  HWND parent = nullptr;
  int id = 0;
  Rect bounds;            // in the parent's client coordinates
  int button_height = 0;  // every button's height, two-line captions included
};

struct ToolButtonArgs {
  int image = I_IMAGENONE;  // index in the bar's image list
  int width = 0;            // 0: the bar's button width
  bool toggle = false;      // a button that stays down until released
};

class ToolBar : public Control {
 public:
  using Control::Control;
  static ToolBar Create(const ToolBarArgs& args);

  void SetImageList(HIMAGELIST images) const;  // borrowed
  // Adds a button for `action` (which must outlive the bar).
  bool AddButton(Action& action, const ToolButtonArgs& args = {}) const;
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
