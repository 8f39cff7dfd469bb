// The rules of the main window's layout settings that need no window: the
// tool bar order, its inverse from the bars' positions, the driver version
// check, and the centring in the work area.
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

// Version texts compared as text. The driver's versions are digits and dots
// ("1.0.35"); for such strings a locale-aware comparison and an ordinal one
// agree ('.' sorts before every digit in both, a prefix before a longer
// text), so an ordinal byte comparison is used: no locale is involved and
// the result is the same on every system. Returns <0, 0 or >0.
int CompareVersionText(std::string_view a, std::string_view b);

// The lowest driver version the program works with.
inline constexpr std::string_view kMinimumDriverVersion = "1.0.35";
bool DriverVersionTooOld(std::string_view full_version);

// Centred offset of a window of `size` in a work area of `extent`: integer
// division rounding toward zero; negative results become 0.
int CentredOffset(int extent, int size);

}  // namespace vx::app
