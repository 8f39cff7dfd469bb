// Reading and driving the windows of another process: top-level windows,
// their controls, tree views, tool bars and menus. Controls of common-control
// classes answer only through memory in their own process, so tree and tool
// bar requests go through a buffer allocated there (RemoteBuffer).
#pragma once
#if !defined(_WIN32)
#error "vx-auto's win32 half is Windows-only"
#endif

#include <windows.h>
// (after windows.h)
#include <commctrl.h>

#include <optional>
#include <string>
#include <vector>

namespace vx::automation {

std::string Narrow(const std::wstring& wide);
std::wstring Widen(const std::string& text);

struct WindowInfo {
  HWND hwnd = nullptr;
  std::string class_name;
  std::string text;
  DWORD pid = 0;
  int id = 0;  // control id (0 for top-level windows)
  bool visible = false;
  bool enabled = false;
  RECT rect{};  // screen coordinates
};

WindowInfo Describe(HWND hwnd);

// Top-level windows of every process, in Z order.
std::vector<HWND> TopLevelWindows();
// Every descendant of `parent`, depth-first.
std::vector<HWND> Descendants(HWND parent);

// A top-level window's caption as the system keeps it (sends no message).
std::string Caption(HWND hwnd);
std::string ClassName(HWND hwnd);

// A control's text: WM_GETTEXT through SendMessageTimeout, so that a hung
// target makes the read fail instead of blocking.
std::string WindowText(HWND hwnd);

struct TreeItem {
  HTREEITEM handle = nullptr;
  int depth = 0;
  std::string text;
  bool selected = false;
  bool expanded = false;
  bool has_children = false;
};

struct ToolButton {
  int index = 0;
  int command = 0;
  std::string text;
  bool enabled = false;
  bool checked = false;
  bool pressed = false;
  bool hidden = false;
  bool separator = false;
  RECT rect{};  // client coordinates of the tool bar
};

struct MenuItem {
  int depth = 0;
  UINT id = 0;
  std::string text;  // raw text, with "&" and accelerators
  bool enabled = false;
  bool checked = false;
  bool separator = false;
  bool popup = false;
};

// Memory in another process, freed on destruction.
class RemoteBuffer {
 public:
  RemoteBuffer(HWND owner, size_t size);
  ~RemoteBuffer();
  RemoteBuffer(const RemoteBuffer&) = delete;
  RemoteBuffer& operator=(const RemoteBuffer&) = delete;

  bool ok() const { return address_ != nullptr; }
  HANDLE process() const { return process_; }
  char* address() const { return static_cast<char*>(address_); }
  bool Write(size_t offset, const void* data, size_t size);
  bool Read(size_t offset, void* data, size_t size) const;

 private:
  HANDLE process_ = nullptr;
  void* address_ = nullptr;
  size_t size_ = 0;
};

// The items of a tree view in display order; nullopt when the control does
// not answer (not a tree view, remote memory refused).
std::optional<std::vector<TreeItem>> ReadTree(HWND tree);
// The bounding rectangle of an item's text in the tree's client area.
std::optional<RECT> TreeItemRect(HWND tree, HTREEITEM item);

std::optional<std::vector<ToolButton>> ReadToolbar(HWND toolbar);

// The items of a window's menu bar, depth-first; nullopt when the menu cannot
// be read. Where this system refuses to read another process's menu (Wine),
// vx-auto-menu.dll (beside vx-auto.exe) is loaded into that process and
// reads it there.
std::optional<std::vector<MenuItem>> ReadMenu(HWND window);

// Sends a message and waits at most two seconds; false when the target did
// not answer.
bool SendTimed(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam, LRESULT* result = nullptr);

// Lets the target's thread handle what was posted before (a WM_NULL round trip).
void Settle(HWND hwnd);

}  // namespace vx::automation
