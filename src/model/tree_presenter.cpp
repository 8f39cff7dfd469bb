#include "model/tree_presenter.h"

#include "platform/trace.h"

namespace vx::model {

void CommandsNotBuilt::Configure() { TraceLine("Action_ConfigureExecute() : not available yet"); }

TreePresenter::TreePresenter(ServerList& list, SelectionCommands& commands, TreeHost& host)
    : list_(list), tree_(list.Tree()), commands_(commands), host_(host) {}

void TreePresenter::Action_UDSClickExecute() {
  commands_.DisableAll();
  const NodeId selected = tree_.Selected();
  ServerNode* server = tree_.ServerOf(selected);
  if (!server) return;
  if (server->id == selected) {
    ServerBranch(selected);
    return;
  }
  if (DeviceNode* device = tree_.FindDevice(selected)) commands_.DeviceSelected(*server->data, *device->data);
}

void TreePresenter::ServerBranch(NodeId id) {
  FlagGuard suppress(list_.Events().device_list_suppressed);
  ServerNode* server = tree_.FindServer(id);
  if (!server) return;
  const ServerData& s = *server->data;
  if (!IsUsableLocation(s.Location) || s.SoftwareBus == 0) {
    TraceLine("??? Action_UDSClickExecute() : Node->Level == 0 > " + s.DisplayName +
              " Location : " + s.Location + " InfoSoftwareBus: " + std::to_string(s.SoftwareBus));
  } else {
    // A click tries to build the bus whatever BusState says.
    if (!s.HasTcpBus() && !list_.BuildTcpBus(id)) return;
    server = tree_.FindServer(id);
    if (server && server->data->HasTcpBus()) list_.getDevList(id);
  }
  server = tree_.FindServer(id);
  if (server) commands_.ServerSelected(*server->data);
}

void TreePresenter::OnLeftButtonDown(NodeId hit) {
  list_.CancelReselection();
  host_.FocusMainPanel();
  tree_.ClearSelection();
  if (hit != kNoNode) tree_.Select(hit);
}

void TreePresenter::OnClick() {
  TreeFlags& f = list_.Flags();
  if (f.user_collapse || f.user_expand) {
    f.user_collapse = f.user_expand = false;
    return;
  }
  host_.StartClickTimer(ClickInterval());
}

void TreePresenter::OnDoubleClick() {
  TreeFlags& f = list_.Flags();
  if (f.programmatic_expand || f.user_expand || f.user_collapse) {
    f = TreeFlags{};
    return;
  }
  host_.StopClickTimer();
  if (tree_.IsServerNode(tree_.Selected())) commands_.Configure();
}

void TreePresenter::Timer_ClickTimer() {
  host_.StopClickTimer();
  list_.RunOrDefer([this] { Action_UDSClickExecute(); });
}

void TreePresenter::OnExpanding(NodeId) {
  TreeFlags& f = list_.Flags();
  if (f.programmatic_expand)
    f.programmatic_expand = false;
  else
    f.user_expand = true;
}

bool TreePresenter::OnCollapsing(NodeId node) {
  if (host_.ClickTimerRunning() && tree_.Selected() == node) return false;
  list_.Flags().user_collapse = true;
  return true;
}

TreePopup TreePresenter::OnRightButtonDown(NodeId hit) {
  if (list_.Busy()) return TreePopup::kNone;  // a refresh is waiting: no menu on a tree in flux
  list_.CancelReselection();
  tree_.Select(hit);
  Action_UDSClickExecute();
  const NodeId selected = tree_.Selected();
  if (selected == kNoNode || selected != hit) return TreePopup::kNone;
  return tree_.IsServerNode(selected) ? TreePopup::kForServer : TreePopup::kForDevice;
}

void TreePresenter::OnKeyboardSelection(NodeId node) {
  list_.CancelReselection();
  tree_.NoteSelectedByUser(node);
  host_.StartClickTimer(ClickInterval());
}

TreeHint TreePresenter::HintAt(NodeId node, bool over_label) {
  TreeHint hint;
  if (!over_label) return hint;
  ServerNode* server = tree_.ServerOf(node);
  if (!server) return hint;
  hint.show = true;
  if (server->id == node) {
    hint.text = ServerHint(*server->data, list_.japanese());
  } else if (DeviceNode* device = tree_.FindDevice(node)) {
    hint.text = DeviceHint(*device->data, list_.japanese());
  }
  return hint;
}

ItemDrawing TreePresenter::DrawingOf(NodeId node, bool selected) {
  ServerNode* server = tree_.ServerOf(node);
  if (!server) return {};
  if (server->id == node) return DrawServer(*server->data, selected);
  DeviceNode* device = tree_.FindDevice(node);
  return device ? DrawDevice(*device->data, selected, list_.japanese()) : ItemDrawing{};
}

}  // namespace vx::model
