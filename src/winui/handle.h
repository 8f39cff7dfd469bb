// Owned Win32 handles. The type says whether a handle is owned: an Owned<...>
// closes its handle when it goes out of scope and can only be moved; a raw
// handle (HWND, HICON, HMENU, ...) in the kit's API is always borrowed.
#pragma once
#if !defined(_WIN32)
#error "src/winui is Windows-only"
#endif

#include <windows.h>
// After windows.h:
#include <commctrl.h>

#include <utility>

namespace vx::winui {

template <typename Traits>
class Owned {
 public:
  using Handle = typename Traits::Handle;

  Owned() = default;
  explicit Owned(Handle handle) : handle_(handle) {}
  ~Owned() { Reset(); }

  Owned(Owned&& other) noexcept : handle_(other.Release()) {}
  Owned& operator=(Owned&& other) noexcept {
    if (this != &other) Reset(other.Release());
    return *this;
  }
  Owned(const Owned&) = delete;
  Owned& operator=(const Owned&) = delete;

  Handle get() const { return handle_; }
  bool valid() const { return Traits::Valid(handle_); }
  explicit operator bool() const { return valid(); }

  // Gives the handle up without closing it.
  Handle Release() { return std::exchange(handle_, Traits::Invalid()); }
  // Closes the current handle (if any) and takes `handle`.
  void Reset(Handle handle = Traits::Invalid()) {
    Handle old = std::exchange(handle_, handle);
    if (Traits::Valid(old)) Traits::Close(old);
  }

 private:
  Handle handle_ = Traits::Invalid();
};

struct KernelHandleTraits {
  using Handle = HANDLE;
  static Handle Invalid() { return nullptr; }
  static bool Valid(Handle h) { return h != nullptr && h != INVALID_HANDLE_VALUE; }
  static void Close(Handle h) { CloseHandle(h); }
};

template <typename H>
struct GdiTraits {
  using Handle = H;
  static Handle Invalid() { return nullptr; }
  static bool Valid(Handle h) { return h != nullptr; }
  static void Close(Handle h) { DeleteObject(h); }
};

struct IconTraits {
  using Handle = HICON;
  static Handle Invalid() { return nullptr; }
  static bool Valid(Handle h) { return h != nullptr; }
  static void Close(Handle h) { DestroyIcon(h); }
};

struct MenuTraits {
  using Handle = HMENU;
  static Handle Invalid() { return nullptr; }
  static bool Valid(Handle h) { return h != nullptr; }
  static void Close(Handle h) { DestroyMenu(h); }
};

struct ImageListTraits {
  using Handle = HIMAGELIST;
  static Handle Invalid() { return nullptr; }
  static bool Valid(Handle h) { return h != nullptr; }
  static void Close(Handle h) { ImageList_Destroy(h); }
};

// Kernel objects: threads, events, mutexes, files.
using OwnedHandle = Owned<KernelHandleTraits>;
using OwnedFont = Owned<GdiTraits<HFONT>>;
using OwnedBitmap = Owned<GdiTraits<HBITMAP>>;
using OwnedBrush = Owned<GdiTraits<HBRUSH>>;
using OwnedIcon = Owned<IconTraits>;
using OwnedMenu = Owned<MenuTraits>;
using OwnedImageList = Owned<ImageListTraits>;

}  // namespace vx::winui
