#include "model/server_tree.h"

#include <algorithm>

namespace vx::model {

bool IsUsableLocation(const std::string& location) { return location == "1" || location == "3"; }
bool IsRemoteLocation(const std::string& location) { return location == "3"; }

ServerNode* ServerTree::FindServer(NodeId id) {
  if (id == kNoNode) return nullptr;
  for (auto& s : servers_)
    if (s->id == id) return s.get();
  return nullptr;
}

ServerNode* ServerTree::FindServerByIp(const std::string& ip) {
  for (auto& s : servers_)
    if (s->data->IpAddress == ip) return s.get();
  return nullptr;
}

ServerNode* ServerTree::FindServerByMac(const std::string& mac) {
  for (auto& s : servers_)
    if (s->data->MacAddress == mac) return s.get();
  return nullptr;
}

ServerNode* ServerTree::FindServer(const std::string& name, const std::string& ip) {
  for (auto& s : servers_)
    if (s->data->ServerName == name && s->data->IpAddress == ip) return s.get();
  return nullptr;
}

ServerNode* ServerTree::ServerOf(NodeId id) {
  if (id == kNoNode) return nullptr;
  for (auto& s : servers_) {
    if (s->id == id) return s.get();
    for (auto& d : s->devices)
      if (d.id == id) return s.get();
  }
  return nullptr;
}

DeviceNode* ServerTree::FindDevice(NodeId id) {
  if (id == kNoNode) return nullptr;
  for (auto& s : servers_)
    for (auto& d : s->devices)
      if (d.id == id) return &d;
  return nullptr;
}

bool ServerTree::IsServerNode(NodeId id) const {
  return std::any_of(servers_.begin(), servers_.end(), [&](const auto& s) { return s->id == id; });
}

bool ServerTree::AnyDeviceHeldBy(const std::string& computer_name) const {
  for (const auto& s : servers_) {
    if (!s->data->HasTcpBus()) continue;
    for (const auto& d : s->devices)
      if (d.data->Owner == computer_name) return true;
  }
  return false;
}

ServerNode& ServerTree::AddServer(std::unique_ptr<ServerData> data, int image) {
  auto node = std::make_unique<ServerNode>();
  node->id = NewId();
  node->data = std::move(data);
  servers_.push_back(std::move(node));
  ServerNode& added = *servers_.back();
  view_.AddServerNode(added.id, added.data->DisplayName, image);
  return added;
}

void ServerTree::DeleteServer(NodeId id) {
  auto it = std::find_if(servers_.begin(), servers_.end(), [&](const auto& s) { return s->id == id; });
  if (it == servers_.end()) return;
  bool selected = selected_ == id || std::any_of((*it)->devices.begin(), (*it)->devices.end(),
                                                 [&](const DeviceNode& d) { return d.id == selected_; });
  // The node leaves the model before the view, so nothing can find a node
  // whose record is being freed.
  std::unique_ptr<ServerNode> gone = std::move(*it);
  servers_.erase(it);
  if (selected) selected_ = kNoNode;
  view_.DeleteNode(id);
}

void ServerTree::DeleteAllServers() {
  std::vector<NodeId> ids;
  for (auto& s : servers_) ids.push_back(s->id);
  for (NodeId id : ids) DeleteServer(id);
}

DeviceNode& ServerTree::AddDevice(ServerNode& server, std::unique_ptr<DeviceData> data, int image) {
  DeviceNode node;
  node.id = NewId();
  node.data = std::move(data);
  server.devices.push_back(std::move(node));
  DeviceNode& added = server.devices.back();
  view_.AddDeviceNode(server.id, added.id, added.data->DisplayName, image);
  return added;
}

void ServerTree::DeleteDevice(ServerNode& server, NodeId id) {
  auto it = std::find_if(server.devices.begin(), server.devices.end(),
                         [&](const DeviceNode& d) { return d.id == id; });
  if (it == server.devices.end()) return;
  server.devices.erase(it);
  if (selected_ == id) selected_ = kNoNode;
  view_.DeleteNode(id);
}

void ServerTree::SetText(NodeId id, const std::string& text) { view_.SetNodeText(id, text); }

void ServerTree::SortServers(const std::function<bool(const ServerNode&, const ServerNode&)>& less) {
  std::stable_sort(servers_.begin(), servers_.end(),
                   [&](const auto& a, const auto& b) { return less(*a, *b); });
  std::vector<NodeId> order;
  order.reserve(servers_.size());
  for (auto& s : servers_) order.push_back(s->id);
  view_.OrderServers(order);
}

void ServerTree::Select(NodeId id) {
  if (id != kNoNode && !ServerOf(id)) id = kNoNode;
  selected_ = id;
  view_.SelectNode(id);
}

void ServerTree::NoteSelectedByUser(NodeId id) {
  if (id != kNoNode && !ServerOf(id)) id = kNoNode;
  selected_ = id;
}

}  // namespace vx::model
