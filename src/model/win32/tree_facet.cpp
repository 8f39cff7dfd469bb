#include "model/win32/tree_facet.h"

#include "platform/clock.h"
#include "platform/text_codec.h"
#include "platform/trace.h"

namespace vx::model::win32 {

TreeFacet::TreeFacet(TreeFacetArgs args)
    : args_(std::move(args)),
      view_(args_.tree, *args_.tree_parent, args_.tree_id),
      tree_(view_),
      discovery_(*args_.discovery) {
  view_.SetPanels(args_.main_panel, args_.blank_panel);
  ServerListOptions options;
  options.japanese = args_.japanese;
  options.closing = args_.closing;
  options.version_info = args_.version_info;
  list_ = std::make_unique<ServerList>(
      ServerListPorts{tree_, *args_.channel, args_.master, SystemClock(), *args_.main_thread,
                      static_cast<TableLock&>(discovery_), discovery_,
                      args_.autoconnect ? *args_.autoconnect : autoconnect_, flags_,
                      args_.discovery->Core().Codec()},
      options);
  presenter_ = std::make_unique<TreePresenter>(*list_, args_.commands ? *args_.commands : no_commands_,
                                               static_cast<TreeHost&>(*this));
  events_ = std::make_unique<DriverEvents>(
      DriverEventPorts{*list_, *presenter_, discovery_, requests_, SystemClock(), quiet_, args_.closing});
  mbus_ = std::make_unique<MBusUpdate>(*list_, static_cast<MBusUpdateHost&>(*this), SystemClock(), quiet_);
  mbus_->SetTitle(args_.title);
  view_.Bind(presenter_.get());
  view_.OnPopup(args_.open_popup);
}

TreeFacet::~TreeFacet() { view_.Bind(nullptr); }

void TreeFacet::FocusMainPanel() {
  if (args_.focus_main_panel) args_.focus_main_panel();
}
int TreeFacet::DoubleClickTimeMs() const {
  return args_.double_click_time ? args_.double_click_time() : int(GetDoubleClickTime());
}
void TreeFacet::StartClickTimer(int interval_ms) {
  if (args_.start_click_timer) args_.start_click_timer(interval_ms);
}
void TreeFacet::StopClickTimer() {
  if (args_.stop_click_timer) args_.stop_click_timer();
}
bool TreeFacet::ClickTimerRunning() const { return args_.click_timer_running && args_.click_timer_running(); }

void TreeFacet::SetCaption(const std::string& text) {
  if (args_.set_caption) args_.set_caption(text);
}
void TreeFacet::StopMBusUpdateTimer() {
  if (args_.stop_mbus_update_timer) args_.stop_mbus_update_timer();
}
void TreeFacet::SetFindServerEnabled(bool enabled) {
  if (args_.set_find_server_enabled) args_.set_find_server_enabled(enabled);
}
// The print watchers come with the auto-connect subsystem.
void TreeFacet::StartAutoConnectWatchers() {
  TraceLine("StartAutoConnectWatchers() : no auto-connect entries yet");
}

}  // namespace vx::model::win32
