// The decisions of the server tree `UDSTreeView` in the main window: the
// selection refresh `Action_UDSClickExecute` (its server-node branch here,
// the device branch and the commands through SelectionCommands), the mouse
// and keyboard behaviour with `Timer_Click` and the expand/collapse flags,
// the context menus, the hints and the colours of each node.
#pragma once

#include <string>

#include "model/server_list.h"
#include "model/tree_texts.h"

namespace vx::model {

// What the selection refresh enables and what a double click runs. The
// commands belong to the device operations, the server configuration, the
// auto-connect settings, the requests and the network scanner; until those
// exist, CommandsNotBuilt keeps every command disabled.
class SelectionCommands {
 public:
  virtual ~SelectionCommands() = default;
  // Every selection refresh starts here: every command unavailable.
  virtual void DisableAll() = 0;
  // A server node is selected and its bus step did not end the refresh.
  virtual void ServerSelected(const ServerData& server) = 0;
  // A device node is selected (the device branch).
  virtual void DeviceSelected(const ServerData& server, const DeviceData& device) = 0;
  // `Action_ConfigureExecute` for the selected server (double click).
  virtual void Configure() = 0;
};

// The window around the tree.
class TreeHost {
 public:
  virtual ~TreeHost() = default;
  virtual void FocusMainPanel() = 0;
  virtual int DoubleClickTimeMs() const = 0;  // GetDoubleClickTime
  // `Timer_Click`.
  virtual void StartClickTimer(int interval_ms) = 0;
  virtual void StopClickTimer() = 0;
  virtual bool ClickTimerRunning() const = 0;
};

enum class TreePopup { kNone, kForServer, kForDevice };

struct TreeHint {
  bool show = false;  // hints on (the pointer is over a node's label)
  std::string text;   // empty outside Japanese
  int show_after_ms = kHintShowMs;
  int hide_after_ms = kHintHideMs;
};

class TreePresenter {
 public:
  TreePresenter(ServerList& list, SelectionCommands& commands, TreeHost& host);

  // The selection refresh `Action_UDSClickExecute`.
  void Action_UDSClickExecute();

  // --- Mouse and keyboard (the view reports the node under the pointer) ---
  void OnLeftButtonDown(NodeId hit);
  void OnClick();
  void OnDoubleClick();
  void Timer_ClickTimer();
  // Expanding is always allowed; collapsing returns false when refused.
  void OnExpanding(NodeId node);
  bool OnCollapsing(NodeId node);
  // Selects the node, runs the selection refresh and says which context
  // menu to open at the cursor.
  TreePopup OnRightButtonDown(NodeId hit);
  // The selection moved by keyboard.
  void OnKeyboardSelection(NodeId node);

  // --- Painting and hints ---
  TreeHint HintAt(NodeId node, bool over_label);
  ItemDrawing DrawingOf(NodeId node, bool selected);

  int ClickInterval() const { return host_.DoubleClickTimeMs() + 10; }

 private:
  void ServerBranch(NodeId server);

  ServerList& list_;
  ServerTree& tree_;
  SelectionCommands& commands_;
  TreeHost& host_;
};

// Every command disabled; the double click only traces.
class CommandsNotBuilt final : public SelectionCommands {
 public:
  void DisableAll() override {}
  void ServerSelected(const ServerData&) override {}
  void DeviceSelected(const ServerData&, const DeviceData&) override {}
  void Configure() override;
};

}  // namespace vx::model
