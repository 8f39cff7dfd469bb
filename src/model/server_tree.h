// The server tree as data: the server nodes in tree order, each owning its
// `ServerData` and its device nodes (each owning its `DeviceData`), and the
// selected node. Every change goes through here so that the view port mirrors
// it at once. Main thread only.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "model/server_data.h"
#include "model/tree_view.h"

namespace vx::model {

struct DeviceNode {
  NodeId id = kNoNode;
  std::unique_ptr<DeviceData> data;
};

struct ServerNode {
  NodeId id = kNoNode;
  std::unique_ptr<ServerData> data;
  std::vector<DeviceNode> devices;  // in insertion order
};

class ServerTree {
 public:
  explicit ServerTree(ServerTreeView& view) : view_(view) {}
  ServerTree(const ServerTree&) = delete;
  ServerTree& operator=(const ServerTree&) = delete;

  ServerTreeView& View() { return view_; }

  // --- Reading ---
  const std::vector<std::unique_ptr<ServerNode>>& Servers() const { return servers_; }
  ServerNode* FindServer(NodeId id);
  // The first server node (tree order) whose field equals `value` exactly.
  ServerNode* FindServerByIp(const std::string& ip);
  ServerNode* FindServerByMac(const std::string& mac);
  ServerNode* FindServer(const std::string& name, const std::string& ip);
  // The server node of a server or device node id; nullptr for none.
  ServerNode* ServerOf(NodeId id);
  DeviceNode* FindDevice(NodeId id);
  bool IsServerNode(NodeId id) const;
  // True when some server with a TCP bus has a device held by `computer_name`.
  bool AnyDeviceHeldBy(const std::string& computer_name) const;

  // --- Changing (mirrored on the view) ---
  ServerNode& AddServer(std::unique_ptr<ServerData> data, int image);
  void DeleteServer(NodeId id);  // frees its record and its devices' records
  void DeleteAllServers();
  DeviceNode& AddDevice(ServerNode& server, std::unique_ptr<DeviceData> data, int image);
  void DeleteDevice(ServerNode& server, NodeId id);
  void SetText(NodeId id, const std::string& text);
  // Sorts the top level with `less` (a strict weak order over server nodes).
  void SortServers(const std::function<bool(const ServerNode&, const ServerNode&)>& less);

  // --- Selection ---
  NodeId Selected() const { return selected_; }
  void Select(NodeId id);  // kNoNode clears; an unknown id clears too
  void ClearSelection() { Select(kNoNode); }
  // The view reports a selection the user made (keyboard, mouse).
  void NoteSelectedByUser(NodeId id);

 private:
  NodeId NewId() { return ++last_id_; }

  ServerTreeView& view_;
  std::vector<std::unique_ptr<ServerNode>> servers_;
  NodeId last_id_ = kNoNode;
  NodeId selected_ = kNoNode;
};

}  // namespace vx::model
