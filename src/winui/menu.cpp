#include "winui/menu.h"

#include "platform/text_codec.h"

namespace vx::winui {

Menu::Menu(Kind kind) : kind_(kind), menu_(kind == Kind::Bar ? CreateMenu() : CreatePopupMenu()) {}

Menu::~Menu() {
  for (auto& item : items_) {
    if (item.action) item.action->Unsubscribe(item.token);
  }
  if (attached_to_) {
    if (!IsWindow(attached_to_)) {
      // The window destroyed its menu (and our submenus with it) already.
      ReleaseHandles();
      return;
    }
    if (GetMenu(attached_to_) == menu_.get()) SetMenu(attached_to_, nullptr);
  }
  // Submenus destroy their own handles.
  DetachAll();
}

Menu& Menu::Add(Action& action) {
  Item item{Item::Type::Action};
  item.action = &action;
  item.token = action.Subscribe([this](const Action&) { Rebuild(); });
  items_.push_back(std::move(item));
  Rebuild();
  return *this;
}

Menu& Menu::AddSeparator() {
  items_.push_back(Item{Item::Type::Separator});
  Rebuild();
  return *this;
}

Menu& Menu::AddSubmenu(std::string caption) {
  Item item{Item::Type::Submenu};
  item.caption = std::move(caption);
  item.submenu = std::make_unique<Menu>(Kind::Popup);
  Menu& sub = *item.submenu;
  items_.push_back(std::move(item));
  Rebuild();
  return sub;
}

void Menu::SetItemVisible(const Action& action, bool visible) {
  for (auto& item : items_) {
    if (item.action == &action) item.item_visible = visible;
  }
  Rebuild();
}

bool Menu::AttachTo(HWND window) {
  if (kind_ != Kind::Bar || !window || !SetMenu(window, menu_.get())) return false;
  attached_to_ = window;
  return true;
}

void Menu::ReleaseHandles() {
  menu_.Release();
  for (auto& item : items_) {
    if (item.submenu) item.submenu->ReleaseHandles();
  }
}

void Menu::DetachAll() {
  // RemoveMenu keeps submenu handles alive; they belong to their Menu objects.
  HMENU menu = menu_.get();
  while (menu && GetMenuItemCount(menu) > 0) {
    if (!RemoveMenu(menu, 0, MF_BYPOSITION)) break;
  }
}

void Menu::Rebuild() {
  HMENU menu = menu_.get();
  if (!menu) return;
  DetachAll();
  bool pending_separator = false;
  bool any_shown = false;
  for (const auto& item : items_) {
    if (item.type == Item::Type::Separator) {
      pending_separator = any_shown;
      continue;
    }
    if (item.type == Item::Type::Action && !(item.item_visible && item.action->Visible())) continue;
    if (pending_separator) AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    pending_separator = false;
    any_shown = true;
    if (item.type == Item::Type::Submenu) {
      AppendMenuW(menu, MF_POPUP | MF_STRING, reinterpret_cast<UINT_PTR>(item.submenu->handle()),
                  Widen(item.caption).c_str());
      continue;
    }
    const Action& action = *item.action;
    UINT flags = MF_STRING | (action.Enabled() ? MF_ENABLED : MF_GRAYED) |
                 (action.Checked() ? MF_CHECKED : MF_UNCHECKED);
    AppendMenuW(menu, flags, action.CommandId(), Widen(action.Caption()).c_str());
  }
  if (attached_to_ && IsWindow(attached_to_)) DrawMenuBar(attached_to_);
}

Action* Menu::Popup(HWND owner, Point screen) {
  Rebuild();
  if (owner) SetForegroundWindow(owner);
  UINT command = static_cast<UINT>(
      TrackPopupMenuEx(menu_.get(), TPM_RETURNCMD | TPM_RIGHTBUTTON | TPM_LEFTALIGN | TPM_TOPALIGN, screen.x,
                       screen.y, owner, nullptr));
  // Lets the menu close properly when the user clicks elsewhere next time.
  if (owner) PostMessageW(owner, WM_NULL, 0, 0);
  if (command == 0) return nullptr;
  Action* action = Action::FromCommand(command);
  if (action) action->Execute();
  return action;
}

}  // namespace vx::winui
