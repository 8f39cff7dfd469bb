// Window classes and windows. Every window of the program (and every dialog,
// see dialog.h) goes through one message procedure, which finds the Window
// object, lets it handle the message and catches every exception at the
// boundary (reported as kit.h says; the message loop then continues).
//
// A Window is bound to its HWND for life: it can be neither copied nor
// moved. It must be created, used and destroyed on one thread (the thread
// that runs its messages).
#pragma once
#if !defined(_WIN32)
#error "src/winui is Windows-only"
#endif

#include <windows.h>

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>

#include "winui/geometry.h"

namespace vx::winui {

struct WindowClassArgs {
  std::string name{};
  UINT style = CS_DBLCLKS;
  HICON icon = nullptr;        // borrowed; must outlive the class
  HICON small_icon = nullptr;  // borrowed
  HCURSOR cursor = nullptr;    // nullptr: the arrow
  HBRUSH background = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  // A class for dialog templates that name it with CLASS: the dialog manager's
  // procedure and the extra bytes it needs.
  bool for_dialogs = false;
};

// A registered window class, unregistered when the object goes away.
class WindowClass {
 public:
  WindowClass() = default;
  ~WindowClass();
  WindowClass(WindowClass&& other) noexcept;
  WindowClass& operator=(WindowClass&& other) noexcept;
  WindowClass(const WindowClass&) = delete;
  WindowClass& operator=(const WindowClass&) = delete;

  // Registers the class with the kit's message procedure. On failure the
  // result is empty and `error` (if given) receives GetLastError().
  static WindowClass Register(const WindowClassArgs& args, DWORD* error = nullptr);

  bool valid() const { return atom_ != 0; }
  ATOM atom() const { return atom_; }

 private:
  ATOM atom_ = 0;
  std::wstring name_;
};

// Registers the class for the life of the process unless a class of that name
// exists already. True when the class is available afterwards.
bool EnsureWindowClass(const WindowClassArgs& args);

struct WindowArgs {
  std::string class_name{};  // registered on first use with default settings
  std::string caption{};
  DWORD style = WS_OVERLAPPEDWINDOW;
  DWORD ex_style = 0;
  Rect bounds{CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT};
  HWND parent = nullptr;      // owner of a top-level window, parent of a child
  bool message_only = false;  // a hidden window that only receives messages
};

class Window {
 public:
  Window() = default;
  // Destroys the window if it still exists. The object stops receiving
  // messages first, so no handler runs on a half-destroyed object.
  virtual ~Window();
  Window(const Window&) = delete;
  Window& operator=(const Window&) = delete;

  // Creates the window. False on failure; `LastError()` tells why.
  bool Create(const WindowArgs& args);
  // Destroys the window (WM_DESTROY and WM_NCDESTROY still reach the object).
  void Destroy();

  HWND hwnd() const { return hwnd_; }
  bool IsCreated() const { return hwnd_ != nullptr; }
  DWORD LastError() const { return last_error_; }

  std::string Caption() const;
  void SetCaption(std::string_view caption);
  void Show(int command = SW_SHOW);
  void Hide();
  bool IsVisible() const;
  void SetEnabled(bool enabled);
  bool IsEnabled() const;
  // Position and size: in screen coordinates for a top-level window, in the
  // parent's client coordinates for a child.
  Rect Bounds() const;
  void SetBounds(const Rect& bounds);
  Size ClientSize() const;

  // Typed routing of child notifications. A WM_COMMAND from the control `id`
  // calls `handler` with its notification code (BN_CLICKED, ...); commands of
  // menus and tool bars go to their actions (action.h) unless a handler for
  // the id is set here.
  void OnCommand(int id, std::function<void(int code)> handler);
  // A WM_NOTIFY from the control `id`; the handler's value (if any) is the
  // message result.
  void OnNotify(int id, std::function<std::optional<LRESULT>(NMHDR& header)> handler);

  // The Window object of a window created by the kit; nullptr otherwise.
  static Window* FromHandle(HWND hwnd);

 protected:
  // Handles one message; nullopt means default processing. Runs inside the
  // boundary: an exception is reported and the message gets default
  // processing. Overrides call the base for what they do not handle.
  virtual std::optional<LRESULT> HandleMessage(UINT message, WPARAM wparam, LPARAM lparam);
  // Called once the window is gone (after WM_NCDESTROY).
  virtual void OnDestroyed() {}

 private:
  friend LRESULT CALLBACK KitWindowProcedure(HWND, UINT, WPARAM, LPARAM);
  friend class Dialog;
  friend INT_PTR CALLBACK KitDialogProcedure(HWND, UINT, WPARAM, LPARAM);

  std::optional<LRESULT> RouteCommand(WPARAM wparam, LPARAM lparam);
  std::optional<LRESULT> RouteNotify(LPARAM lparam);

  HWND hwnd_ = nullptr;
  bool is_dialog_ = false;
  DWORD last_error_ = 0;
  std::map<int, std::function<void(int)>> command_handlers_;
  std::map<int, std::function<std::optional<LRESULT>(NMHDR&)>> notify_handlers_;
};

// The one window procedure and the one dialog procedure of the program.
LRESULT CALLBACK KitWindowProcedure(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);
INT_PTR CALLBACK KitDialogProcedure(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);

}  // namespace vx::winui
