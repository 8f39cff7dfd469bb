#include "ui/popup_board.h"

#include <algorithm>
#include <mutex>

#include "platform/trace.h"

namespace vx::ui {
namespace {

bool Contains(const std::vector<PopupTexts>& list, const PopupTexts& texts) {
  return std::find(list.begin(), list.end(), texts) != list.end();
}

}  // namespace

PopupBoard::PopupBoard(PopupBoardArgs args) : args_(std::move(args)) {}

PopupBoard::~PopupBoard() {
  if (timer_running_) args_.host->SetSlideTimer(false);
}

int PopupBoard::ShowMsgBox(const std::string& message, const std::string& details, bool closable) {
  int slot = -1;
  try {
    args_.main_thread->RunSync([&] { slot = ShowOnMainThread(message, details, closable); });
  } catch (const MainThreadGone&) {
    return -1;  // the program is closing: nothing is shown
  }
  return slot;
}

void PopupBoard::CloseMsgBox(int slot) {
  try {
    args_.main_thread->RunSync([&] { CloseOnMainThread(slot); });
  } catch (const MainThreadGone&) {
    // The windows are gone with the main thread.
  }
}

int PopupBoard::ShowOnMainThread(const std::string& message, const std::string& details, bool closable) {
  // Views closed earlier are destroyed here, outside their own events.
  if (events_running_ == 0) retired_.clear();

  const PopupTexts texts{message, details};
  if (closable && Contains(closed_, texts)) {
    TraceLine("ShowMsgBox() : User closed the same MsgBox ! MsgStr1 : " + message);
    return -1;
  }
  if (!args_.lock->TryLock()) return -1;
  std::unique_lock<PopupLock> held(*args_.lock, std::adopt_lock);

  for (int k = 0; k < kPopupSlots; ++k) {
    if (slots_[k] && slots_[k]->texts == texts) {
      TraceLine("ShowMsgBox() : vFm : " + std::to_string(k) + " the same MsgBox exist !");
      return k;
    }
  }
  int slot = -1;
  for (int k = 0; k < kPopupSlots && slot < 0; ++k) {
    if (!slots_[k]) slot = k;
  }
  if (slot < 0) {
    TraceLine("ShowMsgBox() : vFm : " + std::to_string(slot) + " no more usable MsgBox !");
    return -1;
  }

  auto popup = std::make_unique<Popup>();
  popup->id = next_id_++;
  popup->view = args_.host->CreatePopup(popup->id, *this);
  if (!popup->view) {
    TraceLine("ShowMsgBox() : the popup window could not be made");
    return -1;
  }
  popup->texts = texts;
  popup->closable = closable;
  popup->place = PlaceInSlot(args_.host->WorkArea(), kPopupSize, slot);
  popup->top = popup->place.start_top;
  popup->sliding = popup->place.start_top > popup->place.final_top;
  popup->view->Show(PopupShow{.caption = args_.caption ? args_.caption() : std::string(),
                              .texts = texts,
                              .fonts = FontsFor(args_.japanese),
                              .position = {popup->place.left, popup->top}});
  popup->slide_start = args_.clock->Now();
  if (!popup->sliding) popup->view->SetCloseEnabled(true);
  const bool sliding = popup->sliding;
  slots_[slot] = std::move(popup);
  if (sliding && !timer_running_) {
    timer_running_ = true;
    args_.host->SetSlideTimer(true);
  }
  return slot;
}

void PopupBoard::Tick() {
  const Clock::TimePoint now = args_.clock->Now();
  for (auto& popup : slots_) {
    if (!popup || !popup->sliding || popup->closing) continue;
    const auto steps = (now - popup->slide_start) / std::chrono::milliseconds(kSlideStepMs);
    const int top = SlideTopAfter(popup->place.start_top, popup->place.final_top, steps);
    if (top != popup->top) {
      popup->top = top;
      popup->view->MoveTo({popup->place.left, top});
    }
    if (top == popup->place.final_top) {
      popup->sliding = false;
      popup->view->SetCloseEnabled(true);
    }
  }
  StopTimerWhenIdle();
}

void PopupBoard::CloseOnMainThread(int slot) {
  if (slot < 0 || slot >= kPopupSlots) return;
  args_.lock->LockPumping(*args_.main_thread, *args_.clock);
  std::unique_lock<PopupLock> held(*args_.lock, std::adopt_lock);
  if (slots_[slot]) Retire(slot);
}

void PopupBoard::Retire(int slot) {
  std::unique_ptr<Popup> popup = std::move(slots_[slot]);
  if (popup->hover.Reset() == CloseButtonHover::Change::kNormal) popup->view->SetCloseHighlighted(false);
  popup->view->Hide();
  retired_.push_back(std::move(popup->view));
  StopTimerWhenIdle();
}

void PopupBoard::StopTimerWhenIdle() {
  if (timer_running_ && !Sliding()) {
    timer_running_ = false;
    args_.host->SetSlideTimer(false);
  }
}

int PopupBoard::SlotOfId(int id) const {
  for (int k = 0; k < kPopupSlots; ++k) {
    if (slots_[k] && slots_[k]->id == id) return k;
  }
  return -1;
}

void PopupBoard::CloseButtonMouseMove(int id, Point in_button) {
  const int slot = SlotOfId(id);
  // A disabled button (the popup still slides) takes no pointer.
  if (slot < 0 || slots_[slot]->sliding || slots_[slot]->closing) return;
  Popup& popup = *slots_[slot];
  switch (popup.hover.Move(in_button, Size{kPopupParts.close.width, kPopupParts.close.height})) {
    case CloseButtonHover::Change::kHighlight:
      popup.view->SetCloseHighlighted(true);
      break;
    case CloseButtonHover::Change::kNormal:
      popup.view->SetCloseHighlighted(false);
      break;
    case CloseButtonHover::Change::kNone:
      break;
  }
}

void PopupBoard::CloseButtonCaptureLost(int id) {
  const int slot = SlotOfId(id);
  if (slot < 0) return;
  // The view lost its capture by itself: the normal picture again.
  if (slots_[slot]->hover.Reset() == CloseButtonHover::Change::kNormal)
    slots_[slot]->view->SetCloseHighlighted(false);
}

void PopupBoard::CloseButtonClick(int id) {
  const int slot = SlotOfId(id);
  if (slot < 0 || slots_[slot]->sliding || slots_[slot]->closing) return;
  ++events_running_;
  struct Leave {
    int& count;
    ~Leave() { --count; }
  } leave{events_running_};

  Popup& popup = *slots_[slot];
  if (popup.closable && !Contains(closed_, popup.texts)) closed_.push_back(popup.texts);
  TraceLine("CloseMsgBoxByUser()...............................");
  // The closing step: a second click while it waits for the lock is ignored.
  popup.closing = true;
  args_.lock->LockPumping(*args_.main_thread, *args_.clock);
  std::unique_lock<PopupLock> held(*args_.lock, std::adopt_lock);
  // The program may have closed it meanwhile.
  const int now_in = SlotOfId(id);
  if (now_in >= 0) Retire(now_in);
}

bool PopupBoard::SlotUsed(int slot) const { return slot >= 0 && slot < kPopupSlots && slots_[slot]; }

std::optional<PopupTexts> PopupBoard::SlotTexts(int slot) const {
  if (!SlotUsed(slot)) return std::nullopt;
  return slots_[slot]->texts;
}

std::optional<Point> PopupBoard::SlotPosition(int slot) const {
  if (!SlotUsed(slot)) return std::nullopt;
  return Point{slots_[slot]->place.left, slots_[slot]->top};
}

bool PopupBoard::Sliding() const {
  return std::any_of(slots_.begin(), slots_.end(), [](const auto& p) { return p && p->sliding; });
}

bool PopupBoard::Sliding(int slot) const { return SlotUsed(slot) && slots_[slot]->sliding; }

}  // namespace vx::ui
