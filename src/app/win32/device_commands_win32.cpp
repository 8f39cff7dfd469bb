#include "app/win32/device_commands_win32.h"

#include "winui/message_box.h"
#include "winui/message_loop.h"

namespace vx::app::win32 {

namespace {

MainAction ActionOf(devices::DeviceCommand command) {
  switch (command) {
    case devices::DeviceCommand::kConnect:
      return MainAction::Action_Connect;
    case devices::DeviceCommand::kDisconnect:
      return MainAction::Action_Disconnect;
    case devices::DeviceCommand::kRequest:
      break;
  }
  return MainAction::Action_Request;
}

}  // namespace

void MainFormDeviceView::SetCommandEnabled(devices::DeviceCommand command, bool enabled) {
  form_.SetActionEnabled(ActionOf(command), enabled);
}

void MainFormDeviceView::ShowMessage(const devices::DeviceMessage& message) {
  winui::MessageBoxArgs args{.text = message.text, .caption = message.caption};
  args.icon = message.icon == devices::DeviceMessageIcon::kError ? winui::MessageIcon::Error
                                                                 : winui::MessageIcon::None;
  args.topmost = message.topmost;
  // A hidden owner would hide the box with it.
  args.owner = IsWindowVisible(form_.hwnd()) ? form_.hwnd() : nullptr;
  winui::ShowMessageBox(args);
}

void Win32SettlePump::ProcessMessages() { winui::ProcessMessages(); }

void Win32SettlePump::Wait(Clock::Duration pause) {
  winui::PumpUntil([] { return false; }, pause, pause);
}

}  // namespace vx::app::win32
