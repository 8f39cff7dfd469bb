// What the server tree shows: node texts with their suffixes and owner
// labels, icons, the order of the top level, the colours and labels of the
// custom drawing and the hint texts. Pure functions over the records; the
// Win32 tree view only paints what they return.
//
// The texts come from the text tables (ui/texts.h). Most exist only in
// Japanese: in other languages the suffix of a server on another subnet, the
// owner label, the drawn labels and the hints are empty.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "model/server_data.h"

namespace vx::model {

// --- Node texts ---
// ServerName + " - " + IpAddress plus the suffix of its location.
std::string ServerDisplayName(const ServerData& s, bool japanese);
// Class + " - " + Manufacturer + " - " + Product (no class for "UNKNOWN"),
// plus the owner label in Japanese when the device is held.
std::string DeviceDisplayName(const DeviceData& d, bool japanese);
// The manufacturer text as the tree keeps it: empty or all blanks is " ".
std::string NormaliseManufacturer(const std::string& text);
// ASCII upper case (class names are compared upper-cased).
std::string UpperAscii(std::string text);

// Models whose address the server settings dialog can change.
bool IsReaddressableModel(const std::string& model);

// --- Icons (indexes into the tree's image list, 20 x 20) ---
inline constexpr int kServerImage = 0;
inline constexpr int kRemoteServerImage = 9;
int ServerImage(const ServerData& s);
int DeviceImage(const DeviceData& d);

// --- Order of the top level ---
// Usable servers (location 1 or 3) before the others; among usable servers
// remote (3) before local (1); otherwise by text, ignoring ASCII case.
// A strict weak order: the result never depends on the argument order.
bool ServerComesBefore(const ServerData& a, const ServerData& b);

// --- Custom drawing ---
// Colours as 0xRRGGBB.
inline constexpr uint32_t kNavy = 0x000080, kBlue = 0x0000FF, kRed = 0xFF0000, kMaroon = 0x800000;
inline constexpr uint32_t kWhite = 0xFFFFFF, kSelectedBack = 0xDCDCDC, kDeviceBack = 0xFEFFFF;
inline constexpr uint32_t kAutoConnectBack = 0xFF3333;

struct DrawLabel {
  std::string text;
  int dx = 0, dy = 0;  // from the text rectangle's top right corner
  uint32_t back = 0, text_colour = 0;
};
struct ItemDrawing {
  uint32_t back = kWhite;
  uint32_t text_colour = 0;
  bool fill_text_rect = false;  // fill the text rectangle before the text
  std::vector<DrawLabel> labels;
};
uint32_t ServerTextColour(const std::string& location);
ItemDrawing DrawServer(const ServerData& s, bool selected);
ItemDrawing DrawDevice(const DeviceData& d, bool selected, bool japanese);

// --- Hints ---
inline constexpr int kHintShowMs = 500;   // shown again after
inline constexpr int kHintHideMs = 3000;  // hidden after
std::string ServerHint(const ServerData& s, bool japanese);
std::string DeviceHint(const DeviceData& d, bool japanese);

}  // namespace vx::model
