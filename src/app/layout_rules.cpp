#include "app/layout_rules.h"

#include <cstdint>

namespace vx::app {

std::optional<std::string> ValidToolBarOrder(std::string_view text) {
  if (text.size() != 3) return std::nullopt;
  for (char c : {'1', '2', '3'})
    if (text.find(c) == std::string_view::npos) return std::nullopt;
  return std::string(text);
}

std::array<int, 3> ToolBarLefts(std::string_view order, const std::array<int, 3>& widths, int first_left) {
  std::array<int, 3> lefts{};
  int left = first_left;
  for (char c : order) {
    auto bar = static_cast<size_t>(c - '1');
    if (bar > 2) continue;  // callers pass a valid order
    lefts[bar] = left;
    left += widths[bar];
  }
  return lefts;
}

std::string ToolBarOrderFromLefts(int l1, int l2, int l3) {
  if (l1 < l2 && l2 < l3) return "123";
  if (l1 < l3 && l3 < l2) return "132";
  if (l2 < l1 && l1 < l3) return "213";
  if (l2 < l3 && l3 < l1) return "231";
  if (l3 < l1 && l1 < l2) return "312";
  return "321";
}

int CentredOffset(int extent, int size) {
  int64_t offset = (static_cast<int64_t>(extent) - size) / 2;  // C++ division rounds toward zero
  return offset < 0 ? 0 : static_cast<int>(offset);
}

}  // namespace vx::app
