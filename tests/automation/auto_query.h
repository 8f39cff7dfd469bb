// The portable half of the automation helper `vx-auto`: its command line,
// text patterns, tree paths and menu texts. The Win32 half (win32/) reads and
// drives the windows of another process; everything it decides lives here.
#pragma once

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace vx::automation {

// Matches `text` against `pattern`: `*` stands for any run of characters,
// `?` for one character (UTF-8 aware), everything else for itself. A pattern
// without wildcards therefore matches only the exact text.
bool GlobMatch(const std::string& pattern, const std::string& text);

// A menu item's text as a user reads it: "&&" becomes "&", a single "&"
// (the mnemonic marker) is dropped, and the accelerator after a tab is cut.
std::string MenuLabel(const std::string& raw);

// A usage error: the command line cannot be run (exit code 2).
class UsageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Exit codes of vx-auto, for shell scripts.
enum ExitCode : int {
  kExitOk = 0,        // done; the condition holds
  kExitNotFound = 1,  // nothing matched before the time-out
  kExitUsage = 2,     // the command line is wrong
  kExitFailed = 3,    // found, but the operation failed (disabled target, remote memory)
};

enum class Command {
  kWindows,       // list matching top-level windows (never waits)
  kWindow,        // wait for one matching top-level window
  kControls,      // list the window's descendant controls (filtered)
  kControl,       // wait for one matching control
  kTree,          // list a tree view's items
  kToolbar,       // list tool bar buttons
  kMenu,          // list the items of the window's menu bar
  kClick,         // click a control (button)
  kPress,         // press a tool bar button (by command id or text)
  kMenuClick,     // choose a menu item (by label path)
  kTreeSelect,    // select a tree item (by path)
  kTreeClick,     // click a tree item with the left button
  kTreeDblClick,  // double-click a tree item
  kTreeRClick,    // click a tree item with the right button
  kWait,          // wait until a condition holds
};

// What `wait` waits for; every given condition must hold at once.
struct WaitCondition {
  std::optional<int> tree_count_min;        // the tree has at least this many items
  std::optional<int> tree_count_max;        // ... and at most this many
  std::optional<std::string> tree_text;     // an item's text matches this pattern
  std::optional<std::string> control_text;  // the selected control's text matches
  std::optional<bool> enabled;              // the selected control is (not) enabled
  std::optional<bool> visible;              // the selected control is (not) visible
  bool gone = false;                        // no matching top-level window is left
  bool Empty() const {
    return !tree_count_min && !tree_count_max && !tree_text && !control_text && !enabled && !visible && !gone;
  }
  bool NeedsTree() const { return tree_count_min || tree_count_max || tree_text; }
  bool NeedsControl() const { return control_text || enabled || visible; }
};

struct Options {
  Command command = Command::kWindows;
  // Top-level window selection.
  std::optional<std::string> window_class;  // exact class name
  std::optional<std::string> title;         // caption pattern
  std::optional<uint32_t> pid;              // owning process
  std::optional<uint64_t> hwnd;             // a known window handle
  // Control selection (descendants of the window).
  std::optional<int> id;                     // control id
  std::optional<std::string> control_class;  // exact class name
  std::optional<std::string> text;           // control text pattern
  int index = 0;                             // the k-th match
  // Targets.
  std::optional<int> command_id;           // tool bar button command id
  std::optional<std::string> button_text;  // tool bar button text pattern
  std::vector<std::string> path;           // tree item or menu item labels, one pattern per level
  WaitCondition wait;
  int timeout_ms = 5000;  // how long to wait for a match
  int interval_ms = 100;  // polling period
  bool pretty = false;    // indented JSON
};

// Parses `vx-auto COMMAND [OPTIONS]` (argv without the program name); throws
// UsageError with a readable message.
Options ParseOptions(const std::vector<std::string>& args);

// The usage text printed by `vx-auto --help` and on usage errors.
std::string UsageText();

// One tree item as the helper lists it: its depth below the root level (0)
// and its text. Items come in display order (depth-first, pre-order).
struct TreeEntry {
  int depth = 0;
  std::string text;
};

// The label path of each entry (its ancestors' texts and its own), in order.
// An entry deeper than its predecessor by more than one level is treated as a
// child of that predecessor.
std::vector<std::vector<std::string>> TreePaths(const std::vector<TreeEntry>& entries);

// The index of the first entry whose path matches `patterns` level by level
// (same length, each level by GlobMatch); nullopt when none does.
std::optional<size_t> FindPath(const std::vector<TreeEntry>& entries,
                               const std::vector<std::string>& patterns);

// Parses a decimal or 0x-hexadecimal number in full; nullopt otherwise.
std::optional<uint64_t> ParseNumber(const std::string& text);

}  // namespace vx::automation
