// The settings store: string values under one registry key, read and written
// through the two primitives every subsystem uses. Numbers are stored as
// decimal text; a missing or unreadable value reads as empty text.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "platform/registry/registry.h"

namespace vx::app {

// The program's own key, in HKCU and (for a few values) HKLM.
inline constexpr std::string_view kSettingsKey = "Software\\Marvex\\VUV Eruruz Odozid";

// Value names of the application core.
inline constexpr std::string_view kLanguageValue = "Language";
inline constexpr std::string_view kAutoRunCheckValue = "AutoRun Check";
inline constexpr std::string_view kDisconnectTimingValue = "Disconnect Timing";
inline constexpr std::string_view kInstallDirectoryValue = "Install Directory";
inline constexpr std::string_view kProductVersionValue = "Product Version";
inline constexpr std::string_view kTitleValue = "VessixTitle";
inline constexpr std::string_view kToolBarOrderValue = "ToolBar Order";
inline constexpr std::string_view kWidthValue = "MainForm Width";
inline constexpr std::string_view kHeightValue = "MainForm Height";
inline constexpr std::string_view kTopValue = "MainForm Top";
inline constexpr std::string_view kLeftValue = "MainForm Left";
inline constexpr std::string_view kWindowStateValue = "MainForm WindowState";
inline constexpr std::string_view kTreeHeightValue = "UDSTreeView Height";
inline constexpr std::string_view kFormCloseFailedValue = "FormClose failed!";

// The bounded read of the fallback path: at most this many bytes of data.
inline constexpr size_t kFallbackReadBytes = 256;

// Reads a string value into `value`. First opens the key without creating it
// (full access) and reads; a failure while reading leaves `value` unchanged.
// When that open fails, opens the key for query only and reads at most 256
// bytes; when that open fails too, traces
// "OpenKey Fail in ReadString 2 : <key> - <name>" and leaves `value` unchanged.
void ReadRegString(Registry& registry, RegRoot root, std::string_view key, std::string_view name,
                   std::string& value);
// The same, starting from empty text.
std::string ReadRegString(Registry& registry, RegRoot root, std::string_view key, std::string_view name);

// Writes `text` as REG_SZ (REG_EXPAND_SZ when `expandable`). Opens the key
// with full access, creating it when `may_create`; errors while writing are
// swallowed. When that open fails, opens the key for writing only and sets
// the value; failures there are traced as
// "OpenKey Fail in WriteString 2 : <key> - <name>" or
// "RegSetValueEx Fail in WriteString : <key> - <name>".
void WriteRegString(Registry& registry, RegRoot root, std::string_view key, std::string_view name,
                    bool expandable, bool may_create, std::string_view text);

// The program's settings key on one registry, as every caller uses it
// (not expandable, may create).
class Settings {
 public:
  explicit Settings(Registry& registry) : registry_(registry) {}

  std::string Read(RegRoot root, std::string_view name) const;
  std::string Read(std::string_view name) const { return Read(RegRoot::kCurrentUser, name); }
  void Write(RegRoot root, std::string_view name, std::string_view text);
  void Write(std::string_view name, std::string_view text) { Write(RegRoot::kCurrentUser, name, text); }

  Registry& registry() const { return registry_; }

 private:
  Registry& registry_;
};

// Decimal text as the settings hold numbers: an optional "-", then 1 to 10
// digits, nothing else (no blanks, no "+", no hexadecimal), within the range
// of a 32-bit signed integer. Anything else is malformed: nullopt.
std::optional<int> ParseSettingInt(std::string_view text);

}  // namespace vx::app
