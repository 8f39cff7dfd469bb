#include "model/server_list.h"

#include <cstdio>
#include <exception>

#include "model/tree_texts.h"
#include "platform/trace.h"

namespace vx::model {

namespace {

std::string Hex8(uint32_t v) {
  char text[16];
  std::snprintf(text, sizeof text, "%08X", v);
  return text;
}

std::string Hex4(uint16_t v) {
  char text[8];
  std::snprintf(text, sizeof text, "%04X", v);
  return text;
}

}  // namespace

// Marks an operation that changes the tree; deferred work runs when the
// outermost one ends (also when it ends by an exception).
class ServerList::Operation {
 public:
  explicit Operation(ServerList& list) : list_(list) { ++list_.busy_; }
  ~Operation() {
    if (--list_.busy_ == 0) list_.DrainDeferred();
  }
  Operation(const Operation&) = delete;
  Operation& operator=(const Operation&) = delete;

 private:
  ServerList& list_;
};

// The server-table lock as the refresh takes it: try without waiting; on
// failure pump messages, trace, sleep and try again; after the last failed
// try, or when the window is closing, go on without it. Released on every
// way out of the scope.
class ServerList::TableHold {
 public:
  TableHold(ServerList& list, const std::string& fail_trace) : list_(list) {
    for (int tries = 0;;) {
      if (list_.lock_.TryLock()) {
        held_ = true;
        return;
      }
      if (++tries >= list_.options_.timings.lock_tries || list_.closing()) return;
      list_.main_thread_.ProcessMessages();
      TraceLine(fail_trace);
      list_.clock_.SleepFor(list_.options_.timings.lock_retry);
      if (list_.closing()) return;
    }
  }
  ~TableHold() {
    if (held_) list_.lock_.Unlock();
  }
  TableHold(const TableHold&) = delete;
  TableHold& operator=(const TableHold&) = delete;

 private:
  ServerList& list_;
  bool held_ = false;
};

ServerList::ServerList(ServerListPorts p, ServerListOptions options)
    : tree_(p.tree),
      channel_(p.channel),
      master_(std::move(p.master)),
      clock_(p.clock),
      main_thread_(p.main_thread),
      lock_(p.server_table_lock),
      info_(p.info),
      autoconnect_(p.autoconnect),
      flags_(p.flags),
      codec_(p.codec),
      options_(std::move(options)),
      self_(std::make_shared<ServerList*>(this)) {}

ServerList::~ServerList() { *self_ = nullptr; }

void ServerList::RunOrDefer(std::function<void()> work) {
  if (busy_ > 0) {
    deferred_.push_back(std::move(work));
    return;
  }
  work();
}

void ServerList::DrainDeferred() {
  while (busy_ == 0 && !deferred_.empty()) {
    auto work = std::move(deferred_.front());
    deferred_.pop_front();
    try {
      work();
    } catch (const std::exception& e) {
      TraceLine(std::string("deferred tree work failed: ") + e.what());
    }
  }
}

void ServerList::PumpSleep(Clock::Duration d) {
  main_thread_.ProcessMessages();
  clock_.SleepFor(d);
}

// ---- RefreshServerList -----------------------------------------------------

void ServerList::RefreshServerList() {
  if (!master_) return;
  built_by_refresh_.clear();
  {
    Operation op(*this);
    try {
      TableHold lock(*this, "RefreshServerList(*__*) : WaitForSingleObject Fail !!!");
      RefreshLocked();
    } catch (const std::exception& e) {
      TraceLine(std::string("RefreshServerList() : exception : ") + e.what());
    }
    // The device lists of the buses this refresh built, read once the
    // server-table lock is free again (getDevList takes it itself).
    std::vector<NodeId> built;
    built.swap(built_by_refresh_);
    for (NodeId id : built) {
      try {
        getDevList(id);
      } catch (const std::exception& e) {
        TraceLine(std::string("getDevList() : exception : ") + e.what());
      }
    }
  }
}

void ServerList::RefreshLocked() {
  std::vector<bus::BusEntry> entries;
  const int count = bus::GetBusList(*master_, clock_, &entries);
  TraceLine("USBbus : Bus : " + std::to_string(count));
  for (size_t i = 0; i < entries.size(); ++i) {
    TraceLine("Bus(" + std::to_string(i) + ") : " + codec_.AnsiToUtf8(entries[i].name) + " - " +
              bus::Ipv4Text(entries[i].ip) + " - Loc : " + std::to_string(entries[i].location));
  }
  if (count < 0) return;  // the tree stays as it is

  struct Entry {
    std::string name, ip, location;
  };
  std::vector<Entry> list;
  list.reserve(entries.size());
  for (const auto& e : entries)
    list.push_back({codec_.AnsiToUtf8(e.name), bus::Ipv4Text(e.ip), std::to_string(e.location)});

  bool selection_changed = false;
  if (count > 0) {
    tree_.View().SetMainPanelEnabled(true);
    std::vector<NodeId> gone;
    for (const auto& node : tree_.Servers()) {
      bool listed = false;
      for (const auto& e : list)
        listed = listed || (node->data->ServerName == e.name && node->data->IpAddress == e.ip);
      if (!listed) gone.push_back(node->id);
    }
    for (NodeId id : gone) {
      ServerNode* node = tree_.FindServer(id);
      if (!node) continue;
      TraceLine("USBbus : bDel : " + node->data->IpAddress);
      CloseBus(*node->data, "=======> USBbus : CloseHandle : tcpBusHandle = ");
      const NodeId selected = tree_.Selected();
      if (selected == id) {
        TraceLine("USBbus : bDel : Focus on service !");
        selection_changed = true;
      } else if (selected != kNoNode && tree_.ServerOf(selected) == node) {
        TraceLine("USBbus : bDel : Focus on device !");
        selection_changed = true;
      }
      tree_.DeleteServer(id);
    }
  } else {
    DeleteAllTcpBus();
    tree_.DeleteAllServers();
    selection_changed = true;
  }
  tree_.View().SetBlankPanelVisible(count == 1);

  for (const auto& e : list) {
    ServerNode* node = tree_.FindServer(e.name, e.ip);
    if (node) {
      node->data->ServerName = e.name;
      node->data->IpAddress = e.ip;
      node->data->Location = e.location;
      if (node->data->MacAddress.empty()) StartInfoQuery(*node);
    } else {
      auto data = std::make_unique<ServerData>();
      data->ServerName = e.name;
      data->IpAddress = e.ip;
      data->Location = e.location;
      data->DisplayName = e.name + " - " + e.ip;
      const int image = ServerImage(*data);
      node = &tree_.AddServer(std::move(data), image);
      StartInfoQuery(*node);
    }
    node->data->DisplayName = ServerDisplayName(*node->data, options_.japanese);
    tree_.SetText(node->id, node->data->DisplayName);
    tree_.SortServers(
        [](const ServerNode& a, const ServerNode& b) { return ServerComesBefore(*a.data, *b.data); });

    FlagGuard suppress(flags_.bus_list_suppressed);
    if (AutomaticBusStep(node->id)) built_by_refresh_.push_back(node->id);
  }
  if (selection_changed) tree_.ClearSelection();
}

bool ServerList::AutomaticBusStep(NodeId id) {
  ServerNode* node = tree_.FindServer(id);
  if (!node) return false;
  ServerData& s = *node->data;
  if (s.HasTcpBus() || s.SoftwareBus == 0 || !IsUsableLocation(s.Location)) return false;
  if (s.BusState != kBusAutomatic) return false;  // given up, or lost: only a click tries
  for (int i = 0; i < options_.timings.automatic_build_tries; ++i) {
    node = tree_.FindServer(id);
    if (!node || node->data->BusState != kBusAutomatic) return false;
    if (BuildTcpBus(id)) return true;
  }
  node = tree_.FindServer(id);
  if (node) node->data->BusState = kBusGaveUp;
  return false;
}

void ServerList::StartInfoQuery(ServerNode& node) {
  std::weak_ptr<ServerList*> weak = self_;
  const NodeId id = node.id;
  info_.StartServerInfoRequest(node.data->IpAddress, node.data->Location, node.data->InfoPending,
                               [weak, id](const discovery::ServerInfo& info) {
                                 auto self = weak.lock();
                                 if (self && *self) (*self)->ApplyServerInfo(id, info);
                               });
}

void ServerList::ApplyServerInfo(NodeId id, const discovery::ServerInfo& info) {
  ServerNode* node = tree_.FindServer(id);
  if (!node) return;  // removed while its query ran
  ServerData& s = *node->data;
  s.MacAddress = info.mac_address;
  s.MacBytes = info.mac_bytes;
  s.Model = info.model;
  s.ConfigdVersion = info.configd_version;
  s.Wireless = info.network_type;
  s.SoftwareBus = info.software_bus;
  s.AdapterIndex = info.adapter_index;
  s.ConfigSocket = info.config_socket;
  s.ConfigdType = info.configd_type;
  s.UsbPorts = info.usb_ports;
  s.StorageMode = info.storage_mode;
  // The model can change the node's suffix (a server on another subnet that
  // can be re-addressed): the text follows the record at once.
  const std::string text = ServerDisplayName(s, options_.japanese);
  if (text != s.DisplayName) {
    s.DisplayName = text;
    tree_.SetText(id, text);
    tree_.SortServers(
        [](const ServerNode& a, const ServerNode& b) { return ServerComesBefore(*a.data, *b.data); });
  }
  TryReselect();
  // A server whose reply came after its refresh gets its TCP bus and its
  // devices now rather than at the next bus-list change.
  if (!s.HasTcpBus() && s.SoftwareBus != 0 && IsUsableLocation(s.Location) && s.BusState == kBusAutomatic) {
    RunOrDefer([this, id] {
      Operation op(*this);
      bool built = false;
      {
        FlagGuard suppress(flags_.bus_list_suppressed);
        built = AutomaticBusStep(id);
      }
      if (built) getDevList(id);
    });
  }
}

void ServerList::Reselect(Reselection target) {
  reselection_ = std::move(target);
  TryReselect();
}

void ServerList::TryReselect() {
  if (!reselection_ || reselection_->mac.empty()) {
    reselection_.reset();
    return;
  }
  ServerNode* server = tree_.FindServerByMac(reselection_->mac);
  if (!server) return;
  if (reselection_->vid.empty() || reselection_->pid.empty()) {
    tree_.Select(server->id);
    reselection_.reset();
    return;
  }
  for (const auto& d : server->devices) {
    if (d.data->Vid == reselection_->vid && d.data->Pid == reselection_->pid &&
        d.data->SerialNo == reselection_->serial) {
      tree_.Select(d.id);
      reselection_.reset();
      return;
    }
  }
}

// ---- BuildTcpBus -----------------------------------------------------------

bool ServerList::BuildTcpBus(NodeId id) {
  if (closing()) return true;
  Operation op(*this);
  ServerNode* node = tree_.FindServer(id);
  if (!node || !master_) return false;
  const std::string ip = node->data->IpAddress;
  TraceLine("BuildTcpBus() : " + ip + "\n");
  bus::IOCTL_BUILD_TCP_BUS(*master_, ip);
  clock_.SleepFor(options_.timings.build_settle);

  std::shared_ptr<bus::DriverHandle> handle;
  std::string path;
  for (int i = 0; i < options_.timings.open_tries && !closing(); ++i) {
    if (bus::GetTcpBus(channel_, ip, &handle, &path)) break;
    handle.reset();
    FlagGuard building(flags_.bus_building);
    for (int step = 0; step < options_.timings.open_wait_steps; ++step)
      PumpSleep(options_.timings.open_wait_step);
  }
  node = tree_.FindServer(id);  // the waits pumped messages
  if (!handle || !node) {
    TraceLine("BuildTcpBus failed!");
    if (handle) handle->Close();
    return false;
  }
  node->data->TcpBusHandle = handle;
  node->data->TcpBusPath = path;
  TraceLine("BuildTcpBus(O) : tcpBusHd = " + Hex8(handle->TraceId()));
  if (options_.version_info) options_.version_info->NoteTcpBusOpened(*handle);
  if (node->data->Location == "3") {
    node->data->Online = 1;
    node->data->DisplayName = ServerDisplayName(*node->data, options_.japanese);
    tree_.SetText(id, node->data->DisplayName);
    tree_.View().RepaintTree();
  }
  return true;
}

// ---- getDevList ------------------------------------------------------------

void ServerList::getDevList(NodeId id) {
  Operation op(*this);
  ServerNode* node = tree_.FindServer(id);
  if (!node || !node->data->HasTcpBus()) return;
  const std::string text = node->data->DisplayName;

  bus::DeviceList list;
  bus::DeviceListError why = bus::DeviceListError::kNone;
  if (!bus::GetDeviceList(*node->data->TcpBusHandle, &list, &why)) {
    if (why == bus::DeviceListError::kTooLong) return;
    TraceLine("Get Device List Fail ! " + text);
    list.devices.clear();  // a list that cannot be read lists no devices
  }

  TableHold lock(*this, "getDevList(*_" + text + "_*) : WaitForSingleObject Fail !!!");
  std::vector<std::unique_ptr<DeviceData>> records;
  records.reserve(list.devices.size());
  for (const auto& e : list.devices) {
    auto record = MakeDevice(id, e);
    if (!record) return;  // the server went away while we waited
    records.push_back(std::move(record));
  }
  node = tree_.FindServer(id);
  if (!node) return;
  MergeDevices(*node, std::move(records));
  TryReselect();
  if (!node->devices.empty() && !tree_.View().IsExpanded(node->id)) {
    tree_flags_.programmatic_expand = true;
    tree_.View().ExpandNode(node->id);
  }
}

std::unique_ptr<DeviceData> ServerList::MakeDevice(NodeId id, const bus::DeviceEntry& e) {
  auto d = std::make_unique<DeviceData>();
  d->DeviceNo = std::to_string(e.device_no);
  d->Vid = Hex4(e.vid);
  d->Pid = Hex4(e.pid);
  d->Class = codec_.AnsiToUtf8(e.usb_class);
  d->Manufacturer = NormaliseManufacturer(codec_.AnsiToUtf8(e.manufacturer));
  d->Product = codec_.AnsiToUtf8(e.product);
  d->Owner = codec_.AnsiToUtf8(e.owner);
  d->SerialNo = codec_.AnsiToUtf8(e.serial);
  d->LockType = e.lock_type;
  d->LockCounter = e.lock_count;
  d->Identity = d->Vid + " - " + d->Pid + " - " + d->SerialNo;

  WaitForMac(id);
  ServerNode* node = tree_.FindServer(id);
  if (!node) return nullptr;
  const std::string& mac = node->data->MacAddress;
  d->AutoPrintIndex = autoconnect_.FindAutoConnectEntry(mac, d->Identity, true, &d->AutoPrintName);
  d->AutoFaxIndex = autoconnect_.FindAutoConnectEntry(mac, d->Identity, false, &d->AutoFaxName);
  if (d->AutoPrintIndex < 0) d->AutoPrintName.clear();
  if (d->AutoFaxIndex < 0) d->AutoFaxName.clear();
  d->DisplayName = DeviceDisplayName(*d, options_.japanese);
  return d;
}

// Up to 3 s for the server's MAC address, in short pumped steps: the info
// query hands its reply to this thread, so the wait must let it in. A known
// address costs nothing; with no query running nothing can bring one.
void ServerList::WaitForMac(NodeId id) {
  const auto deadline = clock_.Now() + options_.timings.mac_wait;
  for (;;) {
    ServerNode* node = tree_.FindServer(id);
    if (!node || !node->data->MacAddress.empty()) return;
    if (!node->data->InfoPending->load()) return;
    if (clock_.Now() >= deadline || closing()) return;
    PumpSleep(options_.timings.mac_wait_step);
  }
}

void ServerList::MergeDevices(ServerNode& node, std::vector<std::unique_ptr<DeviceData>> records) {
  std::vector<bool> taken(records.size(), false);
  std::vector<NodeId> gone;
  for (auto& dev : node.devices) {
    bool matched = false;
    for (size_t i = 0; i < records.size() && !matched; ++i) {
      if (taken[i] || records[i]->DeviceNo != dev.data->DeviceNo) continue;
      taken[i] = matched = true;
      *dev.data = std::move(*records[i]);
      tree_.SetText(dev.id, dev.data->DisplayName);
    }
    if (!matched) gone.push_back(dev.id);
  }
  for (NodeId id : gone) tree_.DeleteDevice(node, id);  // every unmatched node, adjacent ones too
  for (size_t i = 0; i < records.size(); ++i) {
    if (taken[i]) continue;
    const int image = DeviceImage(*records[i]);
    tree_.AddDevice(node, std::move(records[i]), image);
  }
}

// ---- closing buses ---------------------------------------------------------

void ServerList::CloseBus(ServerData& s, const char* trace_prefix) {
  if (!s.HasTcpBus()) return;
  TraceLine(trace_prefix + Hex8(s.TcpBusHandle->TraceId()) + "(" + s.IpAddress + ")\n");
  s.TcpBusHandle->Close();
  s.TcpBusHandle.reset();
}

void ServerList::DeleteAllTcpBus() {
  for (const auto& node : tree_.Servers())
    CloseBus(*node->data, "=======> DeleteAllTcpBus() : CloseHandle : tcpBusHandle = ");
}

void ServerList::ClearTree() {
  DeleteAllTcpBus();
  tree_.DeleteAllServers();
  deferred_.clear();
  reselection_.reset();
}

}  // namespace vx::model
