#include <windows.h>

#include "devices/viewer_closer.h"

namespace vx::devices {
namespace {
class WindowOwnerCloser final : public ViewerCloser {
 public:
  void CloseViewer(const std::string& window_title) override {
    HWND window = FindWindowA(nullptr, window_title.c_str());
    if (!window) return;
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    if (!pid) return;
    HANDLE process = OpenProcess(PROCESS_TERMINATE, FALSE, pid);
    if (!process) return;
    TerminateProcess(process, 4);
    CloseHandle(process);
  }
};
}  // namespace

std::unique_ptr<ViewerCloser> MakeSystemViewerCloser() { return std::make_unique<WindowOwnerCloser>(); }

}  // namespace vx::devices
