// The close sequence of the main window: everything the program started is
// stopped in an order that keeps each handle alive while a thread uses it,
// then the window's placement and tool bar order are saved.
#include <string>

#include "app/layout_rules.h"
#include "app/main_presenter.h"
#include "app/main_texts.h"
#include "platform/trace.h"

namespace vx::app {

bool MainPresenter::FormCloseQuery() {
  // The sequence pumps messages while it waits for threads; a close request
  // arriving then is refused until the sequence has finished.
  if (in_close_sequence_) return false;
  if (close_ran_) return true;
  close_ran_ = true;
  // A creation that ended the process started nothing that needs stopping.
  if (!created_) return true;
  in_close_sequence_ = true;
  RunCloseSequence();
  in_close_sequence_ = false;
  return true;
}

void MainPresenter::RunCloseSequence() {
  TraceLine(std::string("bWMQUERYEND(Shutdown OS) : ") + (os_shutdown_ ? "1" : "0"));
  view_.ShowWaitWindow(Text(ui::TextId::WaitCloseFm_Caption), Text(ui::TextId::WaitCloseFm_Text));
  if (os_shutdown_) view_.HideWaitWindow();

  closing_ = true;
  services_.system.SetProcessClosing();
  if (view_.IsTimerEnabled(MainTimer::Timer_DelPrintDialog))
    view_.SetTimerEnabled(MainTimer::Timer_DelPrintDialog, false);
  view_.ClearTreeSelection();

  services_.devices.DisconnectAllHeldDevices();
  // The sockets go first: the listener's wait then returns and it sees the
  // closing flag.
  services_.discovery.CloseSocketsAndStopSocketLibrary();
  services_.discovery.StopListener();
  view_.RepaintWaitWindow();
  services_.bus.StopEventReader();
  view_.RepaintWaitWindow();
  services_.auto_connect.StopPrinterWatchers();
  view_.RepaintWaitWindow();
  services_.auto_connect.StopFaxWatchers();
  view_.RepaintWaitWindow();

  services_.auto_connect.FreeAutoConnectEntries();
  services_.system.CloseLocks();
  services_.devices.DeleteAllTcpBus();
  services_.devices.ClearServerTree();
  if (master_bus_open_) {
    if (!services_.bus.CloseMasterBus()) settings_.Write(kFormCloseFailedValue, kCloseFailedText);
    master_bus_open_ = false;
  }

  view_.TrayDelete();
  view_.CloseWaitWindow();
  SavePlacement();
}

void MainPresenter::SavePlacement() {
  auto write = [this](std::string_view name, int v) { settings_.Write(name, std::to_string(v)); };
  write(kWidthValue, view_.Width());
  write(kHeightValue, view_.Height());
  int top = view_.Top();
  if (top >= 0 && top < kMiniTop) write(kTopValue, top);
  int left = view_.Left();
  if (left >= 0) write(kLeftValue, left);
  write(kTreeHeightValue, view_.TreeHeight());
  WindowState state = view_.GetWindowState();
  if (state != WindowState::kMinimised) write(kWindowStateValue, static_cast<int>(state));
  settings_.Write(kToolBarOrderValue, ToolBarOrderFromLefts(view_.ToolBarLeft(ToolBarId::ToolBar1),
                                                            view_.ToolBarLeft(ToolBarId::ToolBar2),
                                                            view_.ToolBarLeft(ToolBarId::ToolBar3)));
}

}  // namespace vx::app
