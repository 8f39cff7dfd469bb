#include "model/testing/model_fixture.h"

#include <algorithm>
#include <stdexcept>

#include "platform/net/network.h"

namespace vx::model::testing {

// ---- FakeTreeView ------------------------------------------------------------

void FakeTreeView::AddServerNode(NodeId id, const std::string& text, int image) {
  if (throw_on_add) throw std::runtime_error("view failed");
  nodes[id] = Node{kNoNode, text, image, false};
  top.push_back(id);
}

void FakeTreeView::AddDeviceNode(NodeId server, NodeId id, const std::string& text, int image) {
  nodes.at(server);  // the parent must exist
  nodes[id] = Node{server, text, image, false};
  children[server].push_back(id);
}

void FakeTreeView::DeleteNode(NodeId id) {
  auto it = nodes.find(id);
  if (it == nodes.end()) throw std::logic_error("deleting an unknown node");
  const NodeId parent = it->second.parent;
  if (parent == kNoNode) {
    for (NodeId child : children[id]) nodes.erase(child);
    children.erase(id);
    std::erase(top, id);
  } else {
    std::erase(children[parent], id);
  }
  nodes.erase(id);
  if (selected == id || !nodes.count(selected)) selected = kNoNode;
}

void FakeTreeView::ExpandNode(NodeId id) {
  if (on_expand) on_expand(id);
  nodes.at(id).expanded = true;
}

std::vector<std::string> FakeTreeView::TopTexts() const {
  std::vector<std::string> out;
  for (NodeId id : top) out.push_back(nodes.at(id).text);
  return out;
}

std::vector<std::string> FakeTreeView::DeviceTexts(const std::string& prefix) const {
  std::vector<std::string> out;
  for (NodeId id : top) {
    if (nodes.at(id).text.rfind(prefix, 0) != 0) continue;
    auto it = children.find(id);
    if (it == children.end()) return out;
    for (NodeId child : it->second) out.push_back(nodes.at(child).text);
    return out;
  }
  return out;
}

// ---- ScriptedDriver ------------------------------------------------------------

void ScriptedDriver::SetBusList(const std::vector<bus::BusEntry>& entries) {
  bus::BusList list;
  list.entries = entries;
  master->Script(bus::kIoctlGetBusList, {{true, 0, bus::EncodeBusList(list)}});
  for (const auto& e : entries) servers.try_emplace(bus::Ipv4Text(e.ip));
}

void ScriptedDriver::FailBusList() { master->Script(bus::kIoctlGetBusList, {{false, 31, {}}}); }

void ScriptedDriver::SetDevices(const std::string& ip, bus::DeviceList list) {
  servers[ip].devices = std::move(list);
  for (auto& h : handles)
    if (ip_of_[h.get()] == ip) Script(*h, servers[ip]);
}

void ScriptedDriver::Script(bus::testing::FakeHandle& h, const Server& s) {
  if (s.list_fails)
    h.Script(bus::kIoctlGetDeviceList, {{false, 31, {}}});
  else
    h.Script(bus::kIoctlGetDeviceList, {{true, 0, bus::EncodeDeviceList(s.devices)}});
  h.Script(bus::kIoctlGetTcpBusVersion, {{true, 0, bus::EncodeVersion({1, 0, 7})}});
}

std::shared_ptr<bus::DriverHandle> ScriptedDriver::OpenPath(const std::string& path, uint32_t* last_error) {
  auto ip = bus::ParseTcpBusPath(path);
  std::string ip_text = ip ? bus::Ipv4Text(*ip) : std::string();
  ++opens[ip_text];
  if (on_open) on_open(ip_text);
  auto it = servers.find(ip_text);
  if (it == servers.end() || !it->second.buildable || it->second.open_failures > 0) {
    if (it != servers.end() && it->second.open_failures > 0) --it->second.open_failures;
    if (last_error) *last_error = bus::kErrorFileNotFound;
    return nullptr;
  }
  auto h = std::make_shared<bus::testing::FakeHandle>();
  Script(*h, it->second);
  ip_of_[h.get()] = ip_text;
  handles.push_back(h);
  return h;
}

// ---- FakeInfoQueries -------------------------------------------------------------

void FakeInfoQueries::StartServerInfoRequest(const std::string& ip, const std::string& location,
                                             std::shared_ptr<std::atomic<bool>> pending,
                                             std::function<void(const discovery::ServerInfo&)> sink) {
  if (pending->exchange(true)) return;
  started.push_back({ip, location, std::move(pending), std::move(sink)});
}

int FakeInfoQueries::Deliver() {
  int n = 0;
  // Index loop: a sink may start further queries.
  for (size_t i = 0; i < started.size(); ++i) {
    if (started[i].answered) continue;
    auto it = replies.find(started[i].ip);
    if (it == replies.end()) continue;
    started[i].answered = true;
    auto sink = started[i].sink;
    auto pending = started[i].pending;
    sink(it->second);
    *pending = false;
    ++n;
  }
  return n;
}

void FakeInfoQueries::FailAll() {
  for (auto& q : started) {
    if (q.answered) continue;
    q.answered = true;
    *q.pending = false;
  }
}

int FakeInfoQueries::StartsFor(const std::string& ip) const {
  return int(std::count_if(started.begin(), started.end(), [&](const Query& q) { return q.ip == ip; }));
}

// ---- helpers -----------------------------------------------------------------------

bus::BusEntry Bus(const std::string& name, const std::string& ip, int location) {
  return {net::Ipv4::Parse(ip)->NetworkOrder(), location, name};
}

bus::DeviceEntry Device(int no, const std::string& usb_class, const std::string& manufacturer,
                        const std::string& product, const std::string& owner, int lock_type, uint16_t vid,
                        uint16_t pid, const std::string& serial) {
  bus::DeviceEntry d;
  d.device_no = uint8_t(no);
  d.usb_class = usb_class;
  d.manufacturer = manufacturer;
  d.product = product;
  d.owner = owner;
  d.lock_type = lock_type;
  d.vid = vid;
  d.pid = pid;
  d.serial = serial;
  return d;
}

discovery::ServerInfo Info(const std::string& mac, uint32_t software_bus, const std::string& model) {
  discovery::ServerInfo i;
  i.mac_address = mac;
  i.software_bus = software_bus;
  i.model = model;
  return i;
}

ModelFixture::ModelFixture(bool japanese, ModelTimings timings, ServerTreeView* other_view,
                           AutoConnectLookup* lookup)
    : tree(other_view ? *other_view : view) {
  ServerListOptions options;
  options.japanese = japanese;
  options.closing = [this] { return closing; };
  options.timings = timings;
  list = std::make_unique<ServerList>(
      ServerListPorts{tree, driver, driver.master, clock, main_thread, table_lock, info,
                      lookup ? *lookup : autoconnect, flags, IdentityTextCodec()},
      options);
  presenter = std::make_unique<TreePresenter>(*list, commands, host);
  view.on_expand = [this](NodeId id) { presenter->OnExpanding(id); };
  main_thread.on_pump = [this] {
    if (info.answer_on_pump) info.Deliver();
  };
  events = std::make_unique<DriverEvents>(
      DriverEventPorts{*list, *presenter, discovery, requests, clock, quiet, [this] { return closing; }});
}

void ModelFixture::Event(const bus::EventRecord& e) {
  auto bytes = bus::EncodeEvent(e);
  const int length = int(bytes.size());
  Event(std::move(bytes), length);
}

void ModelFixture::Event(std::vector<uint8_t> bytes, int length) {
  std::vector<uint8_t> buffer(bus::kEventBufferSize, 0);
  std::copy_n(bytes.begin(), std::min(bytes.size(), buffer.size()), buffer.begin());
  events->GetReadInfo(buffer, length);
}

ServerNode* ModelFixture::Server(const std::string& ip) { return tree.FindServerByIp(ip); }

NodeId ModelFixture::DeviceNodeOf(const std::string& ip, const std::string& device_no) {
  ServerNode* s = Server(ip);
  if (!s) return kNoNode;
  for (auto& d : s->devices)
    if (d.data->DeviceNo == device_no) return d.id;
  return kNoNode;
}

}  // namespace vx::model::testing
