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
  if (close_ran_) return true;
  close_ran_ = true;
  // A creation that ended the process started nothing that needs stopping.
  if (!created_) return true;

  TraceLine(std::string("bWMQUERYEND(Shutdown OS) : ") + (os_shutdown_ ? "1" : "0"));
  if (japanese()) {
    view_.ShowWaitWindow(std::string(kWaitCaptionJapanese), std::string(kWaitTextJapanese));
  } else {
    view_.ShowWaitWindow(std::string(kWaitCaption), std::string(kWaitText));
  }
  if (os_shutdown_) view_.HideWaitWindow();

  closing_ = true;
  services_.SetProcessClosing();
  if (view_.IsTimerEnabled(MainTimer::Timer_DelPrintDialog))
    view_.SetTimerEnabled(MainTimer::Timer_DelPrintDialog, false);
  view_.ClearTreeSelection();

  services_.DisconnectAllHeldDevices();
  // The sockets go first: the listener's wait then returns and it sees the
  // closing flag.
  services_.CloseSocketsAndStopSocketLibrary();
  services_.StopDiscoveryListener();
  view_.RepaintWaitWindow();
  services_.StopEventReader();
  view_.RepaintWaitWindow();
  services_.StopPrinterWatchers();
  view_.RepaintWaitWindow();
  services_.StopFaxWatchers();
  view_.RepaintWaitWindow();

  services_.FreeAutoConnectEntries();
  services_.CloseLocks();
  services_.DeleteAllTcpBus();
  services_.ClearServerTree();
  if (master_bus_open_) {
    if (!services_.CloseMasterBus()) settings_.Write(kFormCloseFailedValue, kCloseFailedText);
    master_bus_open_ = false;
  }

  view_.TrayDelete();
  view_.CloseWaitWindow();
  SavePlacement();
  return true;
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
