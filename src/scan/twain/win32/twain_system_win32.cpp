// The Windows adapters of the TWAIN component: the manager library, global
// memory, and a message-only parent window with a loop that passes every
// message through the application's hook.
//
// This program is 64-bit. A 64-bit Windows may have no TWAIN_32.DLL (that
// name belongs to the 32-bit manager); the 64-bit manager is TWAINDSM.DLL,
// so it is loaded when TWAIN_32.DLL is missing, and sources are looked for in
// the 64-bit folder (twain_64) as well as in TWAIN_32.
#if !defined(_WIN32)
#error "Windows only"
#endif

#include <windows.h>

#include <algorithm>
#include <cwctype>
#include <string>

#include "scan/twain/twain_ports.h"

namespace vx::scan::twain {
namespace {

class Win32Manager final : public TwainManagerLibrary {
 public:
  bool Load() override {
    if (entry_) return true;
    module_ = LoadLibraryW(L"TWAIN_32.DLL");
    name_ = "TWAIN_32.DLL";
    if (!module_) {
      module_ = LoadLibraryW(L"TWAINDSM.DLL");
      name_ = "TWAINDSM.DLL";
    }
    if (!module_) return false;
    entry_ = reinterpret_cast<DsmEntryProc>(reinterpret_cast<void*>(GetProcAddress(module_, "DSM_Entry")));
    if (!entry_) Unload();
    return entry_ != nullptr;
  }
  void Unload() override {
    entry_ = nullptr;
    if (module_) FreeLibrary(module_);
    module_ = nullptr;
  }
  bool Loaded() const override { return entry_ != nullptr; }
  uint16_t Call(TW_IDENTITY* origin, TW_IDENTITY* destination, uint32_t dg, uint16_t dat, uint16_t msg,
                void* data) override {
    return entry_ ? entry_(origin, destination, dg, dat, msg, data) : TWRC_FAILURE;
  }
  bool AnySourceInstalled() const override {
    wchar_t windows[MAX_PATH] = {};
    UINT n = GetWindowsDirectoryW(windows, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return false;
    return HasSource(std::wstring(windows) + L"\\TWAIN_32", 0) ||
           HasSource(std::wstring(windows) + L"\\twain_64", 0);
  }
  std::string Name() const override { return name_; }

 private:
  static bool HasSource(const std::wstring& folder, int depth) {
    if (depth > 16) return false;  // a link loop ends here
    WIN32_FIND_DATAW found;
    HANDLE find = FindFirstFileW((folder + L"\\*").c_str(), &found);
    if (find == INVALID_HANDLE_VALUE) return false;
    bool any = false;
    do {
      std::wstring name = found.cFileName;
      if (name == L"." || name == L"..") continue;
      if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        any = HasSource(folder + L"\\" + name, depth + 1);
      } else if (name.size() > 3) {
        std::wstring ext = name.substr(name.size() - 3);
        std::transform(ext.begin(), ext.end(), ext.begin(), [](wchar_t c) { return std::towupper(c); });
        any = ext == L".DS";
      }
    } while (!any && FindNextFileW(find, &found));
    FindClose(find);
    return any;
  }

  HMODULE module_ = nullptr;
  DsmEntryProc entry_ = nullptr;
  std::string name_ = "TWAIN_32.DLL";
};

class Win32Memory final : public GlobalMemory {
 public:
  void* Alloc(size_t size) override { return GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, size); }
  void* Lock(void* handle) override { return handle ? GlobalLock(handle) : nullptr; }
  void Unlock(void* handle) override {
    if (handle) GlobalUnlock(handle);
  }
  void Free(void* handle) override {
    if (handle) GlobalFree(handle);
  }
  size_t Size(void* handle) override { return handle ? GlobalSize(handle) : 0; }
};

class Win32Loop final : public TwainMessageLoop {
 public:
  explicit Win32Loop(ApplicationMessages& messages) : messages_(messages) {
    WNDCLASSW wc{};
    wc.lpfnWndProc = DefWindowProcW;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"VessixTwainParent";
    RegisterClassW(&wc);  // fails harmlessly when registered before
    window_ = CreateWindowExW(0, wc.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance,
                              nullptr);
  }
  ~Win32Loop() override {
    if (window_) DestroyWindow(window_);
  }
  void* ParentWindow() override { return window_; }
  bool PumpUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) override {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
      if (done()) return true;
      MSG msg;
      while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (!messages_.Filter(&msg)) {
          TranslateMessage(&msg);
          DispatchMessageW(&msg);
        }
        if (done()) return true;
      }
      const auto now = std::chrono::steady_clock::now();
      if (now >= deadline) return done();
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - now).count();
      MsgWaitForMultipleObjectsEx(0, nullptr, static_cast<DWORD>(std::min<long long>(left, 50)), QS_ALLINPUT,
                                  MWMO_INPUTAVAILABLE);
    }
  }

 private:
  ApplicationMessages& messages_;
  HWND window_ = nullptr;
};

}  // namespace

TwainManagerLibrary& SystemTwainLibrary() {
  static Win32Manager library;
  return library;
}

GlobalMemory& SystemGlobalMemory() {
  static Win32Memory memory;
  return memory;
}

std::unique_ptr<TwainMessageLoop> MakeSystemMessageLoop(ApplicationMessages& messages) {
  return std::make_unique<Win32Loop>(messages);
}

}  // namespace vx::scan::twain
