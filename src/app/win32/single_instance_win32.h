// The single-instance rule on Windows: the named mutex, the application
// window (hidden top-level window of class "TApplication" whose caption is
// the application title, the one a second instance looks for) and the window
// queries that activate the first instance.
#pragma once

#include <windows.h>

#include <string>

#include "app/process_entry.h"
#include "winui/window.h"

namespace vx::app::win32 {

// The application window. A real top-level window (not message-only), so
// that FindWindow behaves the same on Windows and under Wine.
class ApplicationWindow : public winui::Window {
 public:
  bool Create();
};

class Win32InstanceWindows final : public InstanceWindows {
 public:
  WindowHandle FindApplicationWindow(const std::string& title) override;
  bool IsMinimised(WindowHandle window) override;
  bool IsVisible(WindowHandle window) override;
  void Restore(WindowHandle window) override;
  void BringToTop(WindowHandle window) override;
  WindowHandle LastActivePopup(WindowHandle window) override;
  std::string ClassName(WindowHandle window) override;
  std::string Caption(WindowHandle window) override;
  WindowHandle WindowAbove(WindowHandle window) override;
  void PostActivate(WindowHandle window) override;
  void SetForeground(WindowHandle window) override;
};

class Win32SingleInstance final : public SingleInstance {
 public:
  explicit Win32SingleInstance(ApplicationWindow& app_window) : app_window_(app_window) {}
  ~Win32SingleInstance() override;  // releases the mutex
  bool MutexExists(const std::string& name) override;
  void ClearOwnApplicationCaption() override;
  void ActivateOtherInstance(const std::string& app_title) override;
  void CreateInstanceMutex(const std::string& name) override;
  void Release();

 private:
  ApplicationWindow& app_window_;
  HANDLE mutex_ = nullptr;
};

}  // namespace vx::app::win32
