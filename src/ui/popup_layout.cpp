#include "ui/popup_layout.h"

#include <algorithm>

namespace vx::ui {

SlotPlacement PlaceInSlot(const Rect& work_area, Size popup, int slot) {
  SlotPlacement p;
  // From the work area's right edge, so that a work area that does not start
  // at x = 0 (a task bar on the left, a second monitor) keeps the margin.
  p.left = work_area.right() - popup.width - kPopupRightMargin;
  p.start_top = work_area.bottom() - popup.height * slot;
  p.final_top = work_area.bottom() - popup.height * (slot + 1);
  return p;
}

int SlideTopAfter(int start_top, int final_top, long long steps) {
  if (start_top <= final_top || steps <= 0) return start_top;
  const long long distance = static_cast<long long>(start_top) - final_top;
  // The last step stops at the final place, also for an odd distance.
  const long long moved = std::min(distance, steps * kSlideStepPixels);
  return static_cast<int>(start_top - moved);
}

std::vector<int> SlideTops(int start_top, int final_top) {
  std::vector<int> tops;
  for (int top = start_top; top > final_top;) {
    top = std::max(final_top, top - kSlideStepPixels);
    tops.push_back(top);
  }
  return tops;
}

PopupFonts FontsFor(bool japanese) {
  if (japanese) return PopupFonts{.caption = {10, 128}, .labels = {10, 128}};
  return PopupFonts{.caption = {0, 1}, .labels = {8, 1}};
}

bool InCloseButtonHotArea(Point p, Size button) {
  return p.x >= 3 && p.x <= button.width - 2 && p.y >= 3 && p.y <= button.height - 2;
}

CloseButtonHover::Change CloseButtonHover::Move(Point in_button, Size button) {
  const bool inside = InCloseButtonHotArea(in_button, button);
  if (inside && !highlighted_) {
    highlighted_ = true;
    return Change::kHighlight;
  }
  if (!inside && highlighted_) {
    highlighted_ = false;
    return Change::kNormal;
  }
  return Change::kNone;
}

CloseButtonHover::Change CloseButtonHover::Reset() {
  if (!highlighted_) return Change::kNone;
  highlighted_ = false;
  return Change::kNormal;
}

}  // namespace vx::ui
