// The server tree as the Windows program composes it: the Win32 tree view,
// the model with its refresh, the tree presenter, the driver event handler
// and the first-refresh timer, wired to discovery and the bus driver. The
// main window hands in its controls and a few callbacks; the start-up and
// close sequences reach the tree through this facet.
#pragma once

#if !defined(_WIN32)
#error "Windows only"
#endif

#include <functional>
#include <memory>
#include <string>

#include "busdriver/operations.h"
#include "discovery/discovery_service.h"
#include "model/discovery_link.h"
#include "model/driver_events.h"
#include "model/server_list.h"
#include "model/tree_presenter.h"
#include "model/win32/server_tree_win32.h"

namespace vx::model::win32 {

struct TreeFacetArgs {
  winui::TreeView tree;        // UDSTreeView
  winui::Window* tree_parent;  // the kit window that receives its notifications
  int tree_id = 0;
  HWND main_panel = nullptr;   // MainPanel
  HWND blank_panel = nullptr;  // Panel1
  MainThread* main_thread = nullptr;
  discovery::DiscoveryService* discovery = nullptr;
  bus::DriverChannel* channel = nullptr;
  std::shared_ptr<bus::DriverHandle> master;
  bus::DriverVersionInfo* version_info = nullptr;
  bool japanese = false;
  std::string title;              // the application title the caption returns to
  std::function<bool()> closing;  // the main window is closing
  // --- The window around the tree ---
  std::function<void()> focus_main_panel;
  std::function<int()> double_click_time;
  std::function<void(int interval_ms)> start_click_timer;  // Timer_Click
  std::function<void()> stop_click_timer;
  std::function<bool()> click_timer_running;
  std::function<void(const std::string&)> set_caption;
  std::function<void()> stop_mbus_update_timer;  // Timer_MBusUpdate
  std::function<void(bool)> set_find_server_enabled;
  std::function<void(TreePopup)> open_popup;  // at the cursor
  SelectionCommands* commands = nullptr;      // nullptr: every command disabled
  AutoConnectLookup* autoconnect = nullptr;   // the auto-connect lists; nullptr: no entries
};

class TreeFacet final : private TreeHost, private MBusUpdateHost {
 public:
  explicit TreeFacet(TreeFacetArgs args);
  ~TreeFacet() override;
  TreeFacet(const TreeFacet&) = delete;
  TreeFacet& operator=(const TreeFacet&) = delete;

  // The event reader's hand-over (GetReadInfo).
  bus::ReadInfoHandler& ReadInfo() { return *events_; }
  void Timer_MBusUpdateTimer() { mbus_->Timer_MBusUpdateTimer(); }
  void Timer_ClickTimer() { presenter_->Timer_ClickTimer(); }
  bool AnyDeviceHeldBy(const std::string& computer_name) const {
    return tree_.AnyDeviceHeldBy(computer_name);
  }
  void DeleteAllTcpBus() { list_->DeleteAllTcpBus(); }
  void ClearTree() { list_->ClearTree(); }
  // Set while BuildTcpBus waits: the close sequence then does not wait for the reader.
  bool BusBuilding() const { return flags_.bus_building; }
  EventFlags& Flags() { return flags_; }
  // Where the driver's request events go (nullptr: nowhere).
  void SetRequests(DeviceRequests* requests) { requests_.target = requests; }

  ServerTree& Tree() { return tree_; }
  ServerList& List() { return *list_; }
  TreePresenter& Presenter() { return *presenter_; }
  ServerTreeWin32& View() { return view_; }

 private:
  // TreeHost
  void FocusMainPanel() override;
  int DoubleClickTimeMs() const override;
  void StartClickTimer(int interval_ms) override;
  void StopClickTimer() override;
  bool ClickTimerRunning() const override;
  // MBusUpdateHost
  void SetCaption(const std::string& text) override;
  void StopMBusUpdateTimer() override;
  void SetFindServerEnabled(bool enabled) override;
  void StartAutoConnectWatchers() override;

  TreeFacetArgs args_;
  ServerTreeWin32 view_;
  ServerTree tree_;
  EventFlags flags_;
  BusListQuiet quiet_;
  NoAutoConnectEntries autoconnect_;
  CommandsNotBuilt no_commands_;
  // Hands request events to the sharing requests, once they exist.
  struct RequestsRelay final : DeviceRequests {
    DeviceRequests* target = nullptr;
    void OnRequestToUse(std::span<const uint8_t> record, int length) override {
      if (target) target->OnRequestToUse(record, length);
    }
  } requests_;
  DiscoveryLink discovery_;
  std::unique_ptr<ServerList> list_;
  std::unique_ptr<TreePresenter> presenter_;
  std::unique_ptr<DriverEvents> events_;
  std::unique_ptr<MBusUpdate> mbus_;
};

}  // namespace vx::model::win32
