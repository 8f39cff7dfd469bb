// A popup host for tests: windows that only record what the board tells
// them. Each window's record outlives the window, so a test can look at a
// popup after the board has destroyed it.
#pragma once

#include <memory>
#include <optional>
#include <thread>
#include <vector>

#include "ui/popup_board.h"

namespace vx::ui::testing {

struct FakePopupRecord {
  int id = 0;
  std::thread::id created_on;
  PopupEvents* events = nullptr;
  std::optional<PopupShow> shown;
  std::vector<Point> moves;  // every MoveTo, in order
  bool close_enabled = false;
  std::vector<bool> enable_calls;
  bool highlighted = false;
  int highlight_calls = 0;
  bool hidden = false;
  bool destroyed = false;

  Point position() const { return moves.empty() ? (shown ? shown->position : Point{}) : moves.back(); }
  // Events as the window would report them.
  void MouseMove(Point p) { events->CloseButtonMouseMove(id, p); }
  void Click() { events->CloseButtonClick(id); }
};

class FakePopupView final : public PopupView {
 public:
  explicit FakePopupView(std::shared_ptr<FakePopupRecord> record) : record_(std::move(record)) {}
  ~FakePopupView() override { record_->destroyed = true; }
  void Show(const PopupShow& show) override {
    record_->shown = show;
    record_->close_enabled = false;
    record_->hidden = false;
  }
  void MoveTo(Point p) override { record_->moves.push_back(p); }
  void SetCloseEnabled(bool enabled) override {
    record_->close_enabled = enabled;
    record_->enable_calls.push_back(enabled);
  }
  void SetCloseHighlighted(bool on) override {
    record_->highlighted = on;
    ++record_->highlight_calls;
  }
  void Hide() override { record_->hidden = true; }

 private:
  std::shared_ptr<FakePopupRecord> record_;
};

class FakePopupHost final : public PopupHost {
 public:
  Rect work_area{0, 0, 1280, 1000};
  bool fail_create = false;
  bool timer_running = false;
  int timer_starts = 0;
  std::vector<std::shared_ptr<FakePopupRecord>> popups;  // in the order they were made

  Rect WorkArea() override { return work_area; }
  std::unique_ptr<PopupView> CreatePopup(int id, PopupEvents& events) override {
    if (fail_create) return nullptr;
    auto record = std::make_shared<FakePopupRecord>();
    record->id = id;
    record->events = &events;
    record->created_on = std::this_thread::get_id();
    popups.push_back(record);
    return std::make_unique<FakePopupView>(record);
  }
  void SetSlideTimer(bool running) override {
    if (running && !timer_running) ++timer_starts;
    timer_running = running;
  }
  FakePopupRecord& Last() { return *popups.back(); }
};

}  // namespace vx::ui::testing
