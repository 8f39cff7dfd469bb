// The server list: `RefreshServerList` rebuilds the server level of the tree
// from the driver's bus list, `BuildTcpBus` opens a server's TCP bus,
// `getDevList` rebuilds one server's device level from its device list,
// `DeleteAllTcpBus` closes every TCP bus. The info query's values are merged
// into the server records here as well.
//
// Everything runs on the main thread. Waits pump the main thread's messages,
// so that the info query's hand-over can deliver a MAC address while
// getDevList waits for it; work that arrives meanwhile and would change the
// tree (driver events, clicks, a TCP bus for a server whose reply came in) is
// deferred with RunOrDefer until the running operation has finished.
#pragma once

#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "busdriver/driver_channel.h"
#include "busdriver/operations.h"
#include "model/model_ports.h"
#include "model/server_tree.h"
#include "platform/clock.h"
#include "platform/main_thread.h"
#include "platform/text_codec.h"

namespace vx::model {

// Waits of the refresh, injectable so that tests run on a fake clock.
struct ModelTimings {
  Clock::Duration lock_retry{200};
  int lock_tries = 31;  // failed tries before going on without the lock
  Clock::Duration build_settle{300};
  int open_tries = 4;
  int open_wait_steps = 10;  // pumped steps between open attempts
  Clock::Duration open_wait_step{100};
  int automatic_build_tries = 3;
  Clock::Duration mac_wait{3000};  // per device, for an unknown MAC address
  Clock::Duration mac_wait_step{100};
};

struct ServerListPorts {
  ServerTree& tree;
  bus::DriverChannel& channel;
  std::shared_ptr<bus::DriverHandle> master;  // null: no driver (nothing is refreshed)
  Clock& clock;
  MainThread& main_thread;
  TableLock& server_table_lock;
  ServerInfoQueries& info;
  AutoConnectLookup& autoconnect;
  EventFlags& flags;
  const TextCodec& codec;
};

struct ServerListOptions {
  bool japanese = false;
  std::function<bool()> closing;                   // the main window is closing
  bus::DriverVersionInfo* version_info = nullptr;  // notes the first TCP bus opened
  ModelTimings timings;
};

// The tree's flags that tell clicks from expansions (the tree presenter reads
// and clears them; getDevList sets the programmatic one).
struct TreeFlags {
  bool programmatic_expand = false;
  bool user_expand = false;
  bool user_collapse = false;
};

class ServerList {
 public:
  ServerList(ServerListPorts ports, ServerListOptions options);
  ~ServerList();
  ServerList(const ServerList&) = delete;
  ServerList& operator=(const ServerList&) = delete;

  void RefreshServerList();
  bool BuildTcpBus(NodeId server);
  void getDevList(NodeId server);
  void DeleteAllTcpBus();
  // The close sequence: every TCP bus closed, every node deleted.
  void ClearTree();

  // Merges an info reply into a server's record (the sink of its query).
  void ApplyServerInfo(NodeId server, const discovery::ServerInfo& info);

  // Selection by identities that survive an address change: the server by
  // its MAC address, and when `vid` and `pid` are given its first device with
  // these ids and serial number. Selected at once when the nodes are there;
  // otherwise kept until the server's reply or device list brings them (or
  // the user selects something else).
  struct Reselection {
    std::string mac, vid, pid, serial;
  };
  void Reselect(Reselection target);
  void CancelReselection() { reselection_.reset(); }
  bool ReselectionPending() const { return reselection_.has_value(); }

  // Runs `work` now, or after the running operation when one is running.
  void RunOrDefer(std::function<void()> work);
  bool Busy() const { return busy_ > 0; }

  ServerTree& Tree() { return tree_; }
  TreeFlags& Flags() { return tree_flags_; }
  EventFlags& Events() { return flags_; }
  bool japanese() const { return options_.japanese; }
  void SetJapanese(bool japanese) { options_.japanese = japanese; }
  bool closing() const { return options_.closing && options_.closing(); }

 private:
  class Operation;
  class TableHold;
  friend class Operation;

  void RefreshLocked();
  // The automatic TCP bus step of a refresh for one server; true when built.
  bool AutomaticBusStep(NodeId server);
  void StartInfoQuery(ServerNode& node);
  std::unique_ptr<DeviceData> MakeDevice(NodeId server, const bus::DeviceEntry& e);
  void WaitForMac(NodeId server);
  void MergeDevices(ServerNode& node, std::vector<std::unique_ptr<DeviceData>> records);
  void CloseBus(ServerData& s, const char* trace_prefix);
  void PumpSleep(Clock::Duration d);
  void DrainDeferred();
  void TryReselect();

  ServerTree& tree_;
  bus::DriverChannel& channel_;
  std::shared_ptr<bus::DriverHandle> master_;
  Clock& clock_;
  MainThread& main_thread_;
  model::TableLock& lock_;
  ServerInfoQueries& info_;
  AutoConnectLookup& autoconnect_;
  EventFlags& flags_;
  const TextCodec& codec_;
  ServerListOptions options_;
  TreeFlags tree_flags_;
  int busy_ = 0;
  std::deque<std::function<void()>> deferred_;
  std::vector<NodeId> built_by_refresh_;
  std::optional<Reselection> reselection_;
  // Lets an info sink that arrives after this object is gone do nothing.
  std::shared_ptr<ServerList*> self_;
};

}  // namespace vx::model
