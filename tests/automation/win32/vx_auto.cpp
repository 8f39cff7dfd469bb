// vx-auto: the automation helper of the end-to-end tests. It runs in the same
// Wine prefix as the program under test, finds its windows and controls,
// reads their state and clicks them, and prints one JSON object per call.
// The command line and the exit codes are described in auto_query.h/UsageText.
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cstdio>
#include <functional>
#include <nlohmann/json.hpp>

#include "../auto_query.h"
#include "inspect.h"

namespace vx::automation {
namespace {

using nlohmann::json;

struct Outcome {
  int code = kExitOk;
  json body;
};

std::string HandleText(const void* handle) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "0x%llX",
                static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(handle)));
  return buffer;
}

json RectJson(const RECT& r) {
  return {{"left", r.left}, {"top", r.top}, {"right", r.right}, {"bottom", r.bottom}};
}

json WindowJson(const WindowInfo& w) {
  json j = {{"hwnd", HandleText(w.hwnd)}, {"class", w.class_name}, {"text", w.text},          {"pid", w.pid},
            {"visible", w.visible},       {"enabled", w.enabled},  {"rect", RectJson(w.rect)}};
  if (GetWindowLongPtrW(w.hwnd, GWL_STYLE) & WS_CHILD) j["id"] = w.id;
  return j;
}

Outcome Failure(int code, const std::string& error, const std::string& message) {
  return {code, {{"error", error}, {"message", message}}};
}

// Repeats `attempt` every interval until it gives an outcome or the time-out
// passes; `why` tells what was still missing at the last try.
Outcome Poll(const Options& o, const std::function<std::optional<Outcome>(std::string& why)>& attempt) {
  ULONGLONG deadline = GetTickCount64() + static_cast<ULONGLONG>(o.timeout_ms);
  for (;;) {
    std::string why;
    if (auto outcome = attempt(why)) return *outcome;
    if (GetTickCount64() >= deadline) {
      return Failure(kExitNotFound, "timeout", why + " (after " + std::to_string(o.timeout_ms) + " ms)");
    }
    Sleep(static_cast<DWORD>(o.interval_ms));
  }
}

bool WindowMatches(const Options& o, HWND hwnd) {
  if (o.hwnd && reinterpret_cast<uintptr_t>(hwnd) != *o.hwnd) return false;
  if (o.pid) {
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    if (pid != *o.pid) return false;
  }
  if (o.window_class && ClassName(hwnd) != *o.window_class) return false;
  if (o.title && !GlobMatch(*o.title, Caption(hwnd))) return false;
  return true;
}

// Matching top-level windows, visible ones first (Z order within each group).
std::vector<HWND> MatchingWindows(const Options& o) {
  std::vector<HWND> visible, hidden;
  for (HWND h : TopLevelWindows()) {
    if (!WindowMatches(o, h)) continue;
    (IsWindowVisible(h) ? visible : hidden).push_back(h);
  }
  visible.insert(visible.end(), hidden.begin(), hidden.end());
  return visible;
}

std::string WindowWanted(const Options& o) {
  std::string s = "no top-level window";
  if (o.window_class) s += " of class " + *o.window_class;
  if (o.title) s += " titled \"" + *o.title + "\"";
  if (o.pid) s += " of process " + std::to_string(*o.pid);
  return s;
}

bool HasControlFilter(const Options& o) { return o.id || o.control_class || o.text; }

std::vector<HWND> MatchingControls(const Options& o, HWND window, const char* default_class = nullptr) {
  std::vector<HWND> found;
  for (HWND h : Descendants(window)) {
    if (o.id && GetDlgCtrlID(h) != *o.id) continue;
    std::string class_name = ClassName(h);
    if (o.control_class && class_name != *o.control_class) continue;
    if (!HasControlFilter(o) && default_class && class_name != default_class) continue;
    if (o.text && !GlobMatch(*o.text, WindowText(h))) continue;
    found.push_back(h);
  }
  return found;
}

// The window, then the k-th matching control (of `default_class` when no
// control filter is given); nullptr with `why` set when either is missing.
HWND FindControl(const Options& o, std::string& why, HWND* window_out = nullptr,
                 const char* default_class = nullptr) {
  auto windows = MatchingWindows(o);
  if (windows.empty()) {
    why = WindowWanted(o);
    return nullptr;
  }
  if (window_out) *window_out = windows.front();
  auto controls = MatchingControls(o, windows.front(), default_class);
  if (controls.size() <= static_cast<size_t>(o.index)) {
    why = "no matching control in window " + HandleText(windows.front());
    return nullptr;
  }
  return controls[static_cast<size_t>(o.index)];
}

std::vector<TreeEntry> Entries(const std::vector<TreeItem>& items) {
  std::vector<TreeEntry> entries;
  for (const auto& i : items) entries.push_back({i.depth, i.text});
  return entries;
}

json TreeJson(HWND tree, const std::vector<TreeItem>& items) {
  json list = json::array();
  auto paths = TreePaths(Entries(items));
  for (size_t k = 0; k < items.size(); ++k) {
    const TreeItem& i = items[k];
    list.push_back({{"depth", i.depth},
                    {"text", i.text},
                    {"selected", i.selected},
                    {"expanded", i.expanded},
                    {"children", i.has_children},
                    {"path", paths[k]}});
  }
  return {{"tree", WindowJson(Describe(tree))}, {"count", items.size()}, {"items", list}};
}

json ButtonJson(const ToolButton& b) {
  return {{"index", b.index},     {"command", b.command},     {"text", b.text},
          {"enabled", b.enabled}, {"checked", b.checked},     {"pressed", b.pressed},
          {"hidden", b.hidden},   {"separator", b.separator}, {"rect", RectJson(b.rect)}};
}

json MenuJson(const std::vector<MenuItem>& items) {
  std::vector<TreeEntry> entries;
  for (const auto& i : items) entries.push_back({i.depth, MenuLabel(i.text)});
  auto paths = TreePaths(entries);
  json list = json::array();
  for (size_t k = 0; k < items.size(); ++k) {
    const MenuItem& i = items[k];
    list.push_back({{"depth", i.depth},
                    {"id", i.id},
                    {"text", i.text},
                    {"label", entries[k].text},
                    {"enabled", i.enabled},
                    {"checked", i.checked},
                    {"separator", i.separator},
                    {"popup", i.popup},
                    {"path", paths[k]}});
  }
  return list;
}

void PostClick(HWND target, POINT at, UINT down, UINT up, WPARAM keys, bool twice) {
  LPARAM where = MAKELPARAM(at.x, at.y);
  PostMessageW(target, WM_MOUSEMOVE, 0, where);
  PostMessageW(target, down, keys, where);
  PostMessageW(target, up, 0, where);
  if (twice) {
    PostMessageW(target, WM_LBUTTONDBLCLK, keys, where);
    PostMessageW(target, up, 0, where);
  }
  Settle(target);
}

POINT Centre(const RECT& r) { return {(r.left + r.right) / 2, (r.top + r.bottom) / 2}; }

Outcome RunTree(const Options& o) {
  return Poll(o, [&](std::string& why) -> std::optional<Outcome> {
    HWND tree = FindControl(o, why, nullptr, WC_TREEVIEWA);
    if (!tree) return std::nullopt;
    auto items = ReadTree(tree);
    if (!items)
      return Failure(kExitFailed, "unreadable", "the tree view " + HandleText(tree) + " did not answer");
    return Outcome{kExitOk, TreeJson(tree, *items)};
  });
}

Outcome RunTreeAction(const Options& o) {
  return Poll(o, [&](std::string& why) -> std::optional<Outcome> {
    HWND tree = FindControl(o, why, nullptr, WC_TREEVIEWA);
    if (!tree) return std::nullopt;
    auto items = ReadTree(tree);
    if (!items)
      return Failure(kExitFailed, "unreadable", "the tree view " + HandleText(tree) + " did not answer");
    auto index = FindPath(Entries(*items), o.path);
    if (!index) {
      why = "no tree item at the given path";
      return std::nullopt;
    }
    const TreeItem& item = (*items)[*index];
    auto handle = reinterpret_cast<LPARAM>(item.handle);
    if (o.command == Command::kTreeSelect) {
      LRESULT ok = 0;
      if (!SendTimed(tree, TVM_SELECTITEM, TVGN_CARET, handle, &ok) || !ok) {
        return Failure(kExitFailed, "failed", "the tree view refused the selection");
      }
    } else {
      SendTimed(tree, TVM_ENSUREVISIBLE, 0, handle);
      auto rect = TreeItemRect(tree, item.handle);
      if (!rect)
        return Failure(kExitFailed, "failed", "the item has no rectangle (hidden under a collapsed node?)");
      POINT at = Centre(*rect);
      if (o.command == Command::kTreeRClick) {
        PostClick(tree, at, WM_RBUTTONDOWN, WM_RBUTTONUP, MK_RBUTTON, false);
      } else {
        PostClick(tree, at, WM_LBUTTONDOWN, WM_LBUTTONUP, MK_LBUTTON, o.command == Command::kTreeDblClick);
      }
    }
    json body = TreeJson(tree, {item});
    return Outcome{kExitOk, {{"tree", body["tree"]}, {"item", body["items"][0]}}};
  });
}

Outcome RunToolbar(const Options& o, bool press) {
  return Poll(o, [&](std::string& why) -> std::optional<Outcome> {
    auto windows = MatchingWindows(o);
    if (windows.empty()) {
      why = WindowWanted(o);
      return std::nullopt;
    }
    json bars = json::array();
    for (HWND bar : MatchingControls(o, windows.front(), TOOLBARCLASSNAMEA)) {
      auto buttons = ReadToolbar(bar);
      if (!buttons)
        return Failure(kExitFailed, "unreadable", "the tool bar " + HandleText(bar) + " did not answer");
      json list = json::array();
      for (const ToolButton& b : *buttons) {
        list.push_back(ButtonJson(b));
        if (!press || b.separator) continue;
        bool wanted = o.command_id ? b.command == *o.command_id : GlobMatch(*o.button_text, b.text);
        if (!wanted) continue;
        if (b.hidden || !b.enabled) {
          return Failure(kExitFailed, b.hidden ? "hidden" : "disabled",
                         "tool bar button " + std::to_string(b.command) + " cannot be pressed");
        }
        PostClick(bar, Centre(b.rect), WM_LBUTTONDOWN, WM_LBUTTONUP, MK_LBUTTON, false);
        return Outcome{kExitOk, {{"toolbar", WindowJson(Describe(bar))}, {"button", ButtonJson(b)}}};
      }
      bars.push_back({{"toolbar", WindowJson(Describe(bar))}, {"buttons", list}});
    }
    if (press) {
      why = "no such tool bar button";
      return std::nullopt;
    }
    return Outcome{kExitOk, {{"window", WindowJson(Describe(windows.front()))}, {"toolbars", bars}}};
  });
}

Outcome RunMenu(const Options& o, bool choose) {
  return Poll(o, [&](std::string& why) -> std::optional<Outcome> {
    auto windows = MatchingWindows(o);
    if (windows.empty()) {
      why = WindowWanted(o);
      return std::nullopt;
    }
    HWND window = windows.front();
    auto items = ReadMenu(window);
    if (!items) return Failure(kExitFailed, "unreadable", "the window has no menu that can be read");
    if (!choose)
      return Outcome{kExitOk, {{"window", WindowJson(Describe(window))}, {"items", MenuJson(*items)}}};
    std::vector<TreeEntry> entries;
    for (const auto& i : *items) entries.push_back({i.depth, MenuLabel(i.text)});
    auto index = FindPath(entries, o.path);
    if (!index) {
      why = "no menu item at the given path";
      return std::nullopt;
    }
    const MenuItem& item = (*items)[*index];
    if (item.popup || item.separator) return Failure(kExitFailed, "failed", "the item opens a sub-menu");
    if (!item.enabled) return Failure(kExitFailed, "disabled", "the menu item is disabled");
    PostMessageW(window, WM_COMMAND, MAKEWPARAM(item.id, 0), 0);
    Settle(window);
    return Outcome{kExitOk, {{"window", WindowJson(Describe(window))}, {"item", MenuJson({item})[0]}}};
  });
}

Outcome RunWait(const Options& o) {
  const WaitCondition& c = o.wait;
  return Poll(o, [&](std::string& why) -> std::optional<Outcome> {
    auto windows = MatchingWindows(o);
    if (c.gone) {
      if (windows.empty()) return Outcome{kExitOk, {{"gone", true}}};
      why = "the window " + HandleText(windows.front()) + " is still there";
      return std::nullopt;
    }
    if (windows.empty()) {
      why = WindowWanted(o);
      return std::nullopt;
    }
    json body = {{"window", WindowJson(Describe(windows.front()))}};
    if (c.NeedsTree()) {
      Options tree_options = o;
      if (c.NeedsControl())
        tree_options.id.reset(), tree_options.control_class.reset(), tree_options.text.reset();
      HWND tree = FindControl(tree_options, why, nullptr, WC_TREEVIEWA);
      if (!tree) return std::nullopt;
      auto items = ReadTree(tree);
      if (!items)
        return Failure(kExitFailed, "unreadable", "the tree view " + HandleText(tree) + " did not answer");
      int count = static_cast<int>(items->size());
      if (c.tree_count_min && count < *c.tree_count_min) {
        why = "the tree has " + std::to_string(count) + " items";
        return std::nullopt;
      }
      if (c.tree_count_max && count > *c.tree_count_max) {
        why = "the tree has " + std::to_string(count) + " items";
        return std::nullopt;
      }
      if (c.tree_text) {
        bool any = false;
        for (const auto& i : *items) any = any || GlobMatch(*c.tree_text, i.text);
        if (!any) {
          why = "no tree item matches \"" + *c.tree_text + "\"";
          return std::nullopt;
        }
      }
      body.update(TreeJson(tree, *items));
    }
    if (c.NeedsControl()) {
      HWND control = FindControl(o, why);
      if (!control) return std::nullopt;
      WindowInfo info = Describe(control);
      if ((c.control_text && !GlobMatch(*c.control_text, info.text)) ||
          (c.enabled && info.enabled != *c.enabled) || (c.visible && info.visible != *c.visible)) {
        why = "the control is " + WindowJson(info).dump();
        return std::nullopt;
      }
      body["control"] = WindowJson(info);
    }
    return Outcome{kExitOk, body};
  });
}

Outcome Run(const Options& o) {
  switch (o.command) {
    case Command::kWindows: {
      json list = json::array();
      for (HWND h : MatchingWindows(o)) list.push_back(WindowJson(Describe(h)));
      return {kExitOk, {{"windows", list}}};
    }
    case Command::kWindow:
      return Poll(o, [&](std::string& why) -> std::optional<Outcome> {
        auto windows = MatchingWindows(o);
        if (windows.empty()) {
          why = WindowWanted(o);
          return std::nullopt;
        }
        return Outcome{kExitOk, WindowJson(Describe(windows.front()))};
      });
    case Command::kControls:
      return Poll(o, [&](std::string& why) -> std::optional<Outcome> {
        auto windows = MatchingWindows(o);
        if (windows.empty()) {
          why = WindowWanted(o);
          return std::nullopt;
        }
        json list = json::array();
        for (HWND h : MatchingControls(o, windows.front())) list.push_back(WindowJson(Describe(h)));
        return Outcome{kExitOk, {{"window", WindowJson(Describe(windows.front()))}, {"controls", list}}};
      });
    case Command::kControl:
    case Command::kClick:
      return Poll(o, [&](std::string& why) -> std::optional<Outcome> {
        HWND control = FindControl(o, why);
        if (!control) return std::nullopt;
        WindowInfo info = Describe(control);
        if (o.command == Command::kClick) {
          if (!info.enabled || !info.visible) {
            return Failure(kExitFailed, info.enabled ? "hidden" : "disabled",
                           "the control cannot be clicked");
          }
          PostMessageW(control, BM_CLICK, 0, 0);
          Settle(control);
        }
        return Outcome{kExitOk, WindowJson(info)};
      });
    case Command::kTree:
      return RunTree(o);
    case Command::kToolbar:
      return RunToolbar(o, false);
    case Command::kPress:
      return RunToolbar(o, true);
    case Command::kMenu:
      return RunMenu(o, false);
    case Command::kMenuClick:
      return RunMenu(o, true);
    case Command::kTreeSelect:
    case Command::kTreeClick:
    case Command::kTreeDblClick:
    case Command::kTreeRClick:
      return RunTreeAction(o);
    case Command::kWait:
      return RunWait(o);
  }
  return Failure(kExitUsage, "usage", "unknown command");
}

void Print(const json& body, bool pretty) {
  std::string text = body.dump(pretty ? 2 : -1, ' ', false, json::error_handler_t::replace) + "\n";
  std::fwrite(text.data(), 1, text.size(), stdout);
  std::fflush(stdout);
}

}  // namespace
}  // namespace vx::automation

int wmain(int argc, wchar_t** argv) {
  using namespace vx::automation;
  _setmode(_fileno(stdout), _O_BINARY);
  std::vector<std::string> args;
  for (int i = 1; i < argc; ++i) args.push_back(Narrow(argv[i]));
  if (args.empty() || args[0] == "--help" || args[0] == "-h") {
    std::fputs(UsageText().c_str(), args.empty() ? stderr : stdout);
    return args.empty() ? kExitUsage : kExitOk;
  }
  try {
    Options options = ParseOptions(args);
    Outcome outcome = Run(options);
    Print(outcome.body, options.pretty);
    if (outcome.code != kExitOk && outcome.body.contains("message")) {
      std::fprintf(stderr, "vx-auto: %s\n", outcome.body["message"].get<std::string>().c_str());
    }
    return outcome.code;
  } catch (const UsageError& e) {
    std::fprintf(stderr, "vx-auto: %s\n%s", e.what(), UsageText().c_str());
    return kExitUsage;
  } catch (const std::exception& e) {
    Print({{"error", "failed"}, {"message", e.what()}}, false);
    std::fprintf(stderr, "vx-auto: %s\n", e.what());
    return kExitFailed;
  }
}
