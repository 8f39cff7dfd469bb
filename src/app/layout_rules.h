// The rules of the main window's layout settings that need no window: the
// tool bar order, its inverse from the bars' positions, and the centring in
// the work area.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace vx::app {

inline constexpr std::string_view kDefaultToolBarOrder = "123";

// The order text when it is valid: exactly three characters holding "1",
// "2" and "3". nullopt for anything else ("12", "113", "", "1234", ...).
std::optional<std::string> ValidToolBarOrder(std::string_view text);

// Lefts of ToolBar1..3 for an order: the first named bar at `first_left`,
// each next one right of the one before.
std::array<int, 3> ToolBarLefts(std::string_view order, const std::array<int, 3>& widths, int first_left);

// The order text for the bars' lefts L1, L2, L3; ties and every case not
// strictly ordered give "321".
std::string ToolBarOrderFromLefts(int l1, int l2, int l3);

// Centred offset of a window of `size` in a work area of `extent`: integer
// division rounding toward zero; negative results become 0.
int CentredOffset(int extent, int size);

}  // namespace vx::app
