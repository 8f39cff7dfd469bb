#include "app/win32/single_instance_win32.h"

#include "platform/text_codec.h"
#include "winui/kit.h"

namespace vx::app::win32 {

namespace {
HWND H(WindowHandle w) { return reinterpret_cast<HWND>(w); }
WindowHandle W(HWND h) { return reinterpret_cast<WindowHandle>(h); }
}  // namespace

bool ApplicationWindow::Create() {
  // Zero-sized and without a frame: it owns the main window and carries
  // the title; it is never seen.
  return winui::Window::Create(winui::WindowArgs{
      .class_name = "TApplication", .caption = "", .style = WS_POPUP, .bounds = {0, 0, 0, 0}});
}

WindowHandle Win32InstanceWindows::FindApplicationWindow(const std::string& title) {
  return W(FindWindowW(L"TApplication", Widen(title).c_str()));
}
bool Win32InstanceWindows::IsMinimised(WindowHandle window) { return IsIconic(H(window)) != FALSE; }
bool Win32InstanceWindows::IsVisible(WindowHandle window) { return IsWindowVisible(H(window)) != FALSE; }
void Win32InstanceWindows::Restore(WindowHandle window) { ShowWindow(H(window), SW_RESTORE); }
void Win32InstanceWindows::BringToTop(WindowHandle window) { BringWindowToTop(H(window)); }
WindowHandle Win32InstanceWindows::LastActivePopup(WindowHandle window) {
  return W(GetLastActivePopup(H(window)));
}

std::string Win32InstanceWindows::ClassName(WindowHandle window) {
  wchar_t name[256];
  int n = GetClassNameW(H(window), name, 256);
  return n > 0 ? Narrow(std::wstring_view(name, static_cast<size_t>(n))) : std::string();
}

std::string Win32InstanceWindows::Caption(WindowHandle window) { return winui::WindowText(H(window)); }
WindowHandle Win32InstanceWindows::WindowAbove(WindowHandle window) {
  return W(GetWindow(H(window), GW_HWNDPREV));
}

void Win32InstanceWindows::PostActivate(WindowHandle window) {
  PostMessageW(H(window), kAppMessage, static_cast<WPARAM>(kActivateParam),
               static_cast<LPARAM>(kActivateParam));
}

void Win32InstanceWindows::SetForeground(WindowHandle window) { SetForegroundWindow(H(window)); }

Win32SingleInstance::~Win32SingleInstance() { Release(); }

bool Win32SingleInstance::MutexExists(const std::string& name) {
  HANDLE m = OpenMutexW(SYNCHRONIZE, FALSE, Widen(name).c_str());
  if (!m) return false;
  CloseHandle(m);
  return true;
}

void Win32SingleInstance::ClearOwnApplicationCaption() { app_window_.SetCaption(""); }

void Win32SingleInstance::ActivateOtherInstance(const std::string& app_title) {
  Win32InstanceWindows windows;
  vx::app::ActivateOtherInstance(windows, app_title);
}

void Win32SingleInstance::CreateInstanceMutex(const std::string& name) {
  if (!mutex_) mutex_ = CreateMutexW(nullptr, FALSE, Widen(name).c_str());
}

void Win32SingleInstance::Release() {
  if (mutex_) CloseHandle(mutex_);
  mutex_ = nullptr;
}

}  // namespace vx::app::win32
