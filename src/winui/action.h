// Actions: one command with a caption, an enabled, a visible and a checked
// state and a handler, shared by the tool buttons and menu items that show
// it. Changing the action updates every button and item bound to it;
// clicking any of them executes it, and the handler of a disabled action
// never runs.
//
// Each action has a command id of its own (the WM_COMMAND id of its buttons
// and items). Actions live on the main thread.
#pragma once
#if !defined(_WIN32)
#error "src/winui is Windows-only"
#endif

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace vx::winui {

class Action {
 public:
  using Handler = std::function<void()>;
  using Observer = std::function<void(const Action&)>;

  explicit Action(std::string caption = {}, Handler handler = {});
  ~Action();
  Action(const Action&) = delete;
  Action& operator=(const Action&) = delete;

  const std::string& Caption() const { return caption_; }
  void SetCaption(std::string caption);
  bool Enabled() const { return enabled_; }
  void SetEnabled(bool enabled);
  bool Visible() const { return visible_; }
  void SetVisible(bool visible);
  bool Checked() const { return checked_; }
  void SetChecked(bool checked);
  void SetHandler(Handler handler) { handler_ = std::move(handler); }

  // Runs the handler if the action is enabled. True when it ran. An
  // exception of the handler passes to the caller (the message boundary).
  bool Execute();

  // The WM_COMMAND id of this action's buttons and menu items.
  UINT CommandId() const { return command_id_; }
  // The action with that command id, or nullptr.
  static Action* FromCommand(UINT command_id);

  // Calls `observer` after every change of caption or state. The token
  // removes it again.
  int Subscribe(Observer observer);
  void Unsubscribe(int token);

 private:
  void Changed();

  std::string caption_;
  bool enabled_ = true;
  bool visible_ = true;
  bool checked_ = false;
  Handler handler_;
  UINT command_id_ = 0;
  int next_token_ = 1;
  std::vector<std::pair<int, Observer>> observers_;
};

}  // namespace vx::winui
