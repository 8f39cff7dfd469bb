// Menus and pop-up menus built from actions. The menu keeps its own list of
// items and rebuilds the Win32 menu whenever a bound action changes: an item
// is shown while its action (and the item itself) is visible, greyed while
// the action is disabled, checked while it is checked. Separators next to
// hidden items collapse, so a menu never starts, ends or doubles with one.
//
// A Menu owns its HMENU and its submenus; it is bound to its actions for
// life and so can be neither copied nor moved. Main thread only.
#pragma once
#if !defined(_WIN32)
#error "src/winui is Windows-only"
#endif

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "winui/action.h"
#include "winui/geometry.h"
#include "winui/handle.h"

namespace vx::winui {

class Menu {
 public:
  enum class Kind { Bar, Popup };

  explicit Menu(Kind kind = Kind::Popup);
  ~Menu();
  Menu(const Menu&) = delete;
  Menu& operator=(const Menu&) = delete;

  // An item that shows `action`; the action must outlive the menu.
  Menu& Add(Action& action);
  Menu& AddSeparator();
  // A submenu item with its own caption; the submenu belongs to this menu.
  Menu& AddSubmenu(std::string caption);

  // Hides or shows the items of `action` in this menu on top of the
  // action's own visible state (an item that one menu hides while another
  // shows it).
  void SetItemVisible(const Action& action, bool visible);

  HMENU handle() const { return menu_.get(); }

  // Makes this menu bar the menu of `window` (bars only). The window may be
  // destroyed before the menu; the menu then does not destroy the handle twice.
  bool AttachTo(HWND window);

  // Opens the pop-up at a screen point for `owner`, which is first brought to
  // the foreground (as a tray menu needs). Executes the chosen item's action
  // (which runs only when enabled) and returns it; nullptr when the menu was
  // dismissed.
  Action* Popup(HWND owner, Point screen);

 private:
  struct Item {
    enum class Type { Action, Separator, Submenu } type;
    Action* action = nullptr;
    int token = 0;
    bool item_visible = true;
    std::string caption{};            // submenus
    std::unique_ptr<Menu> submenu{};  // submenus
  };

  void Rebuild();
  void DetachAll();
  void ReleaseHandles();

  Kind kind_;
  OwnedMenu menu_;
  HWND attached_to_ = nullptr;
  std::vector<Item> items_;
};

}  // namespace vx::winui
