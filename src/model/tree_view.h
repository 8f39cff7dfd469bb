// The view port of the server tree `UDSTreeView` and of the few main-window
// controls its refresh touches. The Win32 tree view implements it and only
// mirrors what it is told; tests use a fake. Nodes are named by ids the model
// hands out; 0 is no node.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vx::model {

using NodeId = uint64_t;
inline constexpr NodeId kNoNode = 0;

class ServerTreeView {
 public:
  virtual ~ServerTreeView() = default;
  // A top-level node at the end of the top level.
  virtual void AddServerNode(NodeId id, const std::string& text, int image) = 0;
  // A device node at the end of `server`'s children.
  virtual void AddDeviceNode(NodeId server, NodeId id, const std::string& text, int image) = 0;
  // Deletes a node (a server node with its device nodes).
  virtual void DeleteNode(NodeId id) = 0;
  virtual void SetNodeText(NodeId id, const std::string& text) = 0;
  // Puts the top level in this order (every server node, each once).
  virtual void OrderServers(const std::vector<NodeId>& order) = 0;
  // Expands a server node; the view reports it back through the tree
  // presenter's OnExpanding like an expansion by the user.
  virtual void ExpandNode(NodeId id) = 0;
  virtual bool IsExpanded(NodeId id) const = 0;
  // Selects a node (kNoNode: clears the selection) without reporting it back.
  virtual void SelectNode(NodeId id) = 0;
  virtual void SetTreeEnabled(bool enabled) = 0;
  virtual void RepaintTree() = 0;
  // The main panel's enabled state and the small blank panel over the tree.
  virtual void SetMainPanelEnabled(bool enabled) = 0;
  virtual void SetBlankPanelVisible(bool visible) = 0;
};

}  // namespace vx::model
