#include "auto_query.h"

#include <map>

namespace vx::automation {
namespace {

// Length of the UTF-8 sequence starting with `lead` (1 for stray bytes, so
// that broken text still advances).
size_t SequenceLength(unsigned char lead) {
  if (lead >= 0xF0 && lead <= 0xF4) return 4;
  if (lead >= 0xE0) return lead <= 0xEF ? 3 : 1;
  if (lead >= 0xC2) return 2;
  return 1;
}

}  // namespace

bool GlobMatch(const std::string& pattern, const std::string& text) {
  // Iterative matching with one back-tracking point per `*`: linear in
  // practice, never exponential.
  size_t p = 0, t = 0;
  std::optional<size_t> star_p, star_t;
  while (t < text.size()) {
    if (p < pattern.size() && pattern[p] == '*') {
      star_p = ++p;
      star_t = t;
    } else if (p < pattern.size() && pattern[p] == '?') {
      ++p;
      t += std::min(SequenceLength(static_cast<unsigned char>(text[t])), text.size() - t);
    } else if (p < pattern.size() && pattern[p] == text[t]) {
      ++p;
      ++t;
    } else if (star_p) {
      p = *star_p;
      t = *star_t +=
          std::min(SequenceLength(static_cast<unsigned char>(text[*star_t])), text.size() - *star_t);
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == '*') ++p;
  return p == pattern.size();
}

std::string MenuLabel(const std::string& raw) {
  std::string label;
  for (size_t i = 0; i < raw.size(); ++i) {
    char c = raw[i];
    if (c == '\t') break;
    if (c == '&') {
      if (i + 1 < raw.size() && raw[i + 1] == '&') {
        label += '&';
        ++i;
      }
      continue;
    }
    label += c;
  }
  return label;
}

std::optional<uint64_t> ParseNumber(const std::string& text) {
  if (text.empty()) return std::nullopt;
  int base = 10;
  size_t start = 0;
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    base = 16;
    start = 2;
  }
  uint64_t value = 0;
  for (size_t i = start; i < text.size(); ++i) {
    char c = text[i];
    int digit;
    if (c >= '0' && c <= '9') {
      digit = c - '0';
    } else if (base == 16 && c >= 'a' && c <= 'f') {
      digit = c - 'a' + 10;
    } else if (base == 16 && c >= 'A' && c <= 'F') {
      digit = c - 'A' + 10;
    } else {
      return std::nullopt;
    }
    if (value > (UINT64_MAX - static_cast<uint64_t>(digit)) / static_cast<uint64_t>(base))
      return std::nullopt;
    value = value * static_cast<uint64_t>(base) + static_cast<uint64_t>(digit);
  }
  return value;
}

namespace {

const std::map<std::string, Command>& Commands() {
  static const std::map<std::string, Command> commands = {
      {"windows", Command::kWindows},
      {"window", Command::kWindow},
      {"controls", Command::kControls},
      {"control", Command::kControl},
      {"tree", Command::kTree},
      {"toolbar", Command::kToolbar},
      {"menu", Command::kMenu},
      {"click", Command::kClick},
      {"press", Command::kPress},
      {"menu-click", Command::kMenuClick},
      {"tree-select", Command::kTreeSelect},
      {"tree-click", Command::kTreeClick},
      {"tree-dblclick", Command::kTreeDblClick},
      {"tree-rclick", Command::kTreeRClick},
      {"wait", Command::kWait},
  };
  return commands;
}

int ToInt(const std::string& option, const std::string& value, int64_t low, int64_t high) {
  bool negative = !value.empty() && value[0] == '-';
  auto number = ParseNumber(negative ? value.substr(1) : value);
  if (!number || *number > static_cast<uint64_t>(INT32_MAX)) {
    throw UsageError(option + " needs a number, not \"" + value + "\"");
  }
  int64_t result = negative ? -static_cast<int64_t>(*number) : static_cast<int64_t>(*number);
  if (result < low || result > high) throw UsageError(option + " is out of range: " + value);
  return static_cast<int>(result);
}

bool IsWindowCommand(Command c) { return c != Command::kWindows; }

}  // namespace

Options ParseOptions(const std::vector<std::string>& args) {
  if (args.empty()) throw UsageError("no command given");
  auto command = Commands().find(args[0]);
  if (command == Commands().end()) throw UsageError("unknown command \"" + args[0] + "\"");
  Options o;
  o.command = command->second;
  for (size_t i = 1; i < args.size(); ++i) {
    const std::string& a = args[i];
    auto value = [&]() -> const std::string& {
      if (i + 1 >= args.size()) throw UsageError(a + " needs a value");
      return args[++i];
    };
    if (a == "--class") {
      o.window_class = value();
    } else if (a == "--title") {
      o.title = value();
    } else if (a == "--pid") {
      o.pid = static_cast<uint32_t>(ToInt(a, value(), 1, INT32_MAX));
    } else if (a == "--hwnd") {
      auto h = ParseNumber(value());
      if (!h || *h == 0) throw UsageError("--hwnd needs a window handle such as 0x1002a");
      o.hwnd = *h;
    } else if (a == "--id") {
      o.id = ToInt(a, value(), INT32_MIN, INT32_MAX);
    } else if (a == "--control-class") {
      o.control_class = value();
    } else if (a == "--text") {
      o.text = value();
    } else if (a == "--index") {
      o.index = ToInt(a, value(), 0, INT32_MAX);
    } else if (a == "--command") {
      o.command_id = ToInt(a, value(), 0, 0xFFFF);
    } else if (a == "--button") {
      o.button_text = value();
    } else if (a == "--node" || a == "--item") {
      o.path.push_back(value());
    } else if (a == "--timeout") {
      o.timeout_ms = ToInt(a, value(), 0, 3600000);
    } else if (a == "--interval") {
      o.interval_ms = ToInt(a, value(), 1, 60000);
    } else if (a == "--tree-count") {
      o.wait.tree_count_min = ToInt(a, value(), 0, INT32_MAX);
    } else if (a == "--tree-count-max") {
      o.wait.tree_count_max = ToInt(a, value(), 0, INT32_MAX);
    } else if (a == "--tree-text") {
      o.wait.tree_text = value();
    } else if (a == "--control-text") {
      o.wait.control_text = value();
    } else if (a == "--enabled") {
      o.wait.enabled = true;
    } else if (a == "--disabled") {
      o.wait.enabled = false;
    } else if (a == "--visible") {
      o.wait.visible = true;
    } else if (a == "--hidden") {
      o.wait.visible = false;
    } else if (a == "--gone") {
      o.wait.gone = true;
    } else if (a == "--pretty") {
      o.pretty = true;
    } else {
      throw UsageError("unknown option \"" + a + "\"");
    }
  }
  if (IsWindowCommand(o.command) && !o.window_class && !o.title && !o.pid && !o.hwnd) {
    throw UsageError(args[0] + " needs a window: --class, --title, --pid or --hwnd");
  }
  switch (o.command) {
    case Command::kClick:
      if (!o.id && !o.control_class && !o.text) {
        throw UsageError("click needs a control: --id, --control-class or --text");
      }
      break;
    case Command::kPress:
      if (!o.command_id && !o.button_text) throw UsageError("press needs --command or --button");
      break;
    case Command::kMenuClick:
    case Command::kTreeSelect:
    case Command::kTreeClick:
    case Command::kTreeDblClick:
    case Command::kTreeRClick:
      if (o.path.empty()) throw UsageError(args[0] + " needs a path: one --item/--node per level");
      break;
    case Command::kWait:
      if (o.wait.Empty()) throw UsageError("wait needs a condition (--tree-count, --tree-text, ...)");
      if (o.wait.gone && (o.wait.NeedsTree() || o.wait.NeedsControl())) {
        throw UsageError("--gone cannot be combined with other conditions");
      }
      if (o.wait.NeedsControl() && !o.id && !o.control_class && !o.text) {
        throw UsageError("a control condition needs a control: --id, --control-class or --text");
      }
      break;
    default:
      break;
  }
  return o;
}

std::vector<std::vector<std::string>> TreePaths(const std::vector<TreeEntry>& entries) {
  std::vector<std::vector<std::string>> paths;
  std::vector<std::string> stack;
  for (const TreeEntry& e : entries) {
    size_t depth = e.depth < 0 ? 0 : static_cast<size_t>(e.depth);
    if (depth > stack.size()) depth = stack.size();
    stack.resize(depth);
    stack.push_back(e.text);
    paths.push_back(stack);
  }
  return paths;
}

std::optional<size_t> FindPath(const std::vector<TreeEntry>& entries,
                               const std::vector<std::string>& patterns) {
  if (patterns.empty()) return std::nullopt;
  auto paths = TreePaths(entries);
  for (size_t i = 0; i < paths.size(); ++i) {
    const auto& p = paths[i];
    if (p.size() != patterns.size()) continue;
    bool all = true;
    for (size_t k = 0; k < p.size() && all; ++k) all = GlobMatch(patterns[k], p[k]);
    if (all) return i;
  }
  return std::nullopt;
}

std::string UsageText() {
  return R"(usage: vx-auto COMMAND [OPTIONS]
Reads and drives the windows of another program in the same Wine prefix.
Prints one JSON object on stdout. Exit codes: 0 done, 1 not found / time-out,
2 usage error, 3 operation failed (disabled target, unreadable control).

Commands:
  windows        list matching top-level windows (no waiting)
  window         wait for a matching top-level window
  controls       list the window's descendant controls
  control        wait for a matching control
  tree           list a tree view's items (depth, text, selected, expanded)
  toolbar        list tool bar buttons (command, text, enabled, checked, hidden)
  menu           list the items of the window's menu bar
  click          click a control (button)
  press          press a tool bar button (--command N or --button TEXT)
  menu-click     choose a menu item (--item per level)
  tree-select    select a tree item (--node per level)
  tree-click     left-click a tree item;  tree-dblclick, tree-rclick alike
  wait           wait until all given conditions hold

Window:   --class NAME  --title PATTERN  --pid N  --hwnd 0xHEX
Control:  --id N  --control-class NAME  --text PATTERN  --index K
Targets:  --command N  --button PATTERN  --node PATTERN...  --item PATTERN...
Wait:     --tree-count N  --tree-count-max N  --tree-text PATTERN
          --control-text PATTERN  --enabled|--disabled  --visible|--hidden  --gone
General:  --timeout MS (default 5000)  --interval MS (default 100)  --pretty
Patterns: * any text, ? one character, otherwise exact.
)";
}

}  // namespace vx::automation
