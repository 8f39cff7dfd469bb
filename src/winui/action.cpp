#include "winui/action.h"

#include <algorithm>
#include <map>
#include <stdexcept>

namespace vx::winui {
namespace {

// Command ids of actions lie above every control id of the dialog templates
// and below the system command range.
constexpr UINT kFirstCommand = 0xA000;
constexpr UINT kLastCommand = 0xEFFF;

std::map<UINT, Action*>& Registry() {
  static std::map<UINT, Action*> registry;
  return registry;
}

UINT AllocateCommand(Action* action) {
  auto& registry = Registry();
  static UINT next = kFirstCommand;
  for (UINT tries = 0; tries <= kLastCommand - kFirstCommand; ++tries) {
    UINT id = next;
    next = next == kLastCommand ? kFirstCommand : next + 1;
    if (registry.emplace(id, action).second) return id;
  }
  throw std::length_error("no free command id for another action");
}

}  // namespace

Action::Action(std::string caption, Handler handler)
    : caption_(std::move(caption)), handler_(std::move(handler)), command_id_(AllocateCommand(this)) {}

Action::~Action() { Registry().erase(command_id_); }

Action* Action::FromCommand(UINT command_id) {
  auto it = Registry().find(command_id);
  return it == Registry().end() ? nullptr : it->second;
}

void Action::SetCaption(std::string caption) {
  if (caption == caption_) return;
  caption_ = std::move(caption);
  Changed();
}

void Action::SetEnabled(bool enabled) {
  if (enabled == enabled_) return;
  enabled_ = enabled;
  Changed();
}

void Action::SetVisible(bool visible) {
  if (visible == visible_) return;
  visible_ = visible;
  Changed();
}

void Action::SetChecked(bool checked) {
  if (checked == checked_) return;
  checked_ = checked;
  Changed();
}

bool Action::Execute() {
  if (!enabled_ || !handler_) return false;
  // A copy, so that a handler may replace itself.
  Handler handler = handler_;
  handler();
  return true;
}

int Action::Subscribe(Observer observer) {
  int token = next_token_++;
  observers_.emplace_back(token, std::move(observer));
  return token;
}

void Action::Unsubscribe(int token) {
  std::erase_if(observers_, [token](const auto& entry) { return entry.first == token; });
}

void Action::Changed() {
  // An observer may unsubscribe itself or others while it runs: call by
  // token, and only those still subscribed.
  std::vector<int> tokens;
  for (const auto& entry : observers_) tokens.push_back(entry.first);
  for (int token : tokens) {
    auto it = std::find_if(observers_.begin(), observers_.end(),
                           [token](const auto& entry) { return entry.first == token; });
    if (it == observers_.end() || !it->second) continue;
    Observer observer = it->second;
    observer(*this);
  }
}

}  // namespace vx::winui
