// The Win32 side of the device commands: the main window's Connect,
// Disconnect and Request actions (tool buttons and pop-up menu items follow
// their action), message boxes through the kit, and the settle wait that
// keeps serving the window's messages.
#pragma once

#if !defined(_WIN32)
#error "Windows only"
#endif

#include <windows.h>

#include "app/win32/main_form.h"
#include "devices/device_commands.h"

namespace vx::app::win32 {

class MainFormDeviceView final : public devices::DeviceCommandView {
 public:
  explicit MainFormDeviceView(MainForm& form) : form_(form) {}
  void SetCommandEnabled(devices::DeviceCommand command, bool enabled) override;
  void ShowMessage(const devices::DeviceMessage& message) override;

 private:
  MainForm& form_;
};

// Processes the thread's messages; the pause waits for messages
// (MsgWaitForMultipleObjectsEx) and dispatches them until it has passed.
class Win32SettlePump final : public devices::SettlePump {
 public:
  void ProcessMessages() override;
  void Wait(Clock::Duration pause) override;
};

}  // namespace vx::app::win32
