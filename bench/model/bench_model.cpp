// RefreshServerList plus getDevList over a scripted driver: every server of
// the bus list with eight devices, MAC addresses known (no waits). The
// reference decodes the same bus list and device lists and nothing else.
//
// A bus list is at most 1024 bytes and an entry at least 14 (address,
// location, length, a one-character name and its NUL), so one bus list holds
// at most 72 servers; the benchmark runs that and the figure per server.
#include <benchmark/benchmark.h>

#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

#include "busdriver/records.h"
#include "model/server_list.h"
#include "platform/net/network.h"

namespace {

using namespace vx;
using namespace vx::model;

constexpr int kDevicesPerServer = 8;

// Answers by IOCTL code from fixed bytes; no recording, no locks.
class BenchHandle final : public bus::DriverHandle {
 public:
  std::map<uint32_t, std::vector<uint8_t>> answers;
  bus::IoResult Ioctl(uint32_t code, std::span<uint8_t> buffer, size_t) override {
    auto it = answers.find(code);
    if (it == answers.end()) return {true, 0, 0};
    std::memcpy(buffer.data(), it->second.data(), std::min(buffer.size(), it->second.size()));
    return {true, uint32_t(it->second.size()), 0};
  }
  bus::IoResult Read(std::span<uint8_t>) override { return {false, 0, bus::kErrorOperationAborted}; }
  void InterruptReads() override {}
  bool Close() override { return true; }
  uint32_t TraceId() const override { return 0x1000; }
};

struct Records {
  std::vector<uint8_t> bus_list;
  std::map<std::string, std::vector<uint8_t>> device_lists;  // by IP
};

const Records& MakeRecords(int servers) {
  static std::map<int, Records> cache;
  auto [it, fresh] = cache.try_emplace(servers);
  if (!fresh) return it->second;
  bus::BusList list;
  for (int i = 0; i < servers; ++i) {
    const std::string ip = "10.77." + std::to_string(i / 200) + "." + std::to_string(i % 200 + 1);
    list.entries.push_back({net::Ipv4::Parse(ip)->NetworkOrder(), i % 5 == 0 ? 3 : 1, "s"});
    bus::DeviceList devices;
    for (int d = 0; d < kDevicesPerServer; ++d) {
      bus::DeviceEntry e;
      e.device_no = uint8_t(d + 1);
      e.vid = 0x04B8;
      e.pid = uint16_t(0x0E00 + d);
      e.usb_class = d % 2 ? "PRINTER" : "MASS STORAGE";
      e.manufacturer = "Acme Corporation";
      e.product = "Laser Printer Model " + std::to_string(d);
      e.serial = "SN" + std::to_string(i * 100 + d);
      e.owner = d == 3 ? "PC-OTHER" : "";
      e.lock_type = d == 3 ? 2 : 0;
      devices.devices.push_back(e);
    }
    it->second.device_lists[ip] = bus::EncodeDeviceList(devices);
  }
  it->second.bus_list = bus::EncodeBusList(list);
  if (it->second.bus_list.empty()) throw std::runtime_error("bus list does not fit");
  return it->second;
}

class BenchChannel final : public bus::DriverChannel {
 public:
  explicit BenchChannel(const Records& r) : records_(r) {}
  std::shared_ptr<bus::DriverHandle> OpenMasterBus() override { return nullptr; }
  std::shared_ptr<bus::DriverHandle> OpenPath(const std::string& path, uint32_t*) override {
    auto h = std::make_shared<BenchHandle>();
    h->answers[bus::kIoctlGetDeviceList] =
        records_.device_lists.at(bus::Ipv4Text(*bus::ParseTcpBusPath(path)));
    return h;
  }

 private:
  const Records& records_;
};

class NoWaitClock final : public Clock {
 public:
  TimePoint Now() const override { return now_; }
  LocalTime LocalNow() const override { return {}; }
  int64_t WallSeconds() const override { return 0; }
  void SleepFor(Duration d) override { now_ += d; }

 private:
  TimePoint now_{};
};

// Every query answers at once with a MAC address and a software bus.
class InstantInfo final : public ServerInfoQueries {
 public:
  void StartServerInfoRequest(const std::string& ip, const std::string&, std::shared_ptr<std::atomic<bool>>,
                              std::function<void(const discovery::ServerInfo&)> sink) override {
    discovery::ServerInfo info;
    info.mac_address = "00:80:92:00:" + ip.substr(ip.size() - 2);
    info.software_bus = 1;
    sink(info);
  }
};

class NullView final : public ServerTreeView {
 public:
  void AddServerNode(NodeId, const std::string&, int) override {}
  void AddDeviceNode(NodeId, NodeId, const std::string&, int) override {}
  void DeleteNode(NodeId) override {}
  void SetNodeText(NodeId, const std::string&) override {}
  void OrderServers(const std::vector<NodeId>&) override {}
  void ExpandNode(NodeId) override {}
  bool IsExpanded(NodeId) const override { return true; }
  void SelectNode(NodeId) override {}
  void SetTreeEnabled(bool) override {}
  void RepaintTree() override {}
  void SetMainPanelEnabled(bool) override {}
  void SetBlankPanelVisible(bool) override {}
};

struct Bench {
  explicit Bench(int servers)
      : records(MakeRecords(servers)), channel(records), master(std::make_shared<BenchHandle>()), tree(view) {
    master->answers[bus::kIoctlGetBusList] = records.bus_list;
    master->answers[bus::kIoctlBuildTcpBus] = std::vector<uint8_t>(64, 0);
    ServerListOptions options;
    options.japanese = true;
    list = std::make_unique<ServerList>(
        ServerListPorts{tree, channel, master, clock, InlineMainThread(), table_lock, info, autoconnect,
                        flags, IdentityTextCodec()},
        options);
  }
  // A refresh of the unchanged bus list, then every server's device list.
  void RefreshAll() {
    list->RefreshServerList();
    for (const auto& s : tree.Servers()) list->getDevList(s->id);
  }
  const Records& records;
  BenchChannel channel;
  std::shared_ptr<BenchHandle> master;
  NullView view;
  ServerTree tree;
  NoWaitClock clock;
  std::timed_mutex lock;
  MutexTableLock table_lock{lock};
  InstantInfo info;
  NoAutoConnectEntries autoconnect;
  EventFlags flags;
  std::unique_ptr<ServerList> list;
};

constexpr int kServers = 72;  // the most one bus list holds

void BM_Reference_DecodeRecords(benchmark::State& state) {
  const Records& r = MakeRecords(kServers);
  for (auto _ : state) {
    auto bus_list = bus::ParseBusList(r.bus_list, r.bus_list.size());
    benchmark::DoNotOptimize(bus_list);
    for (const auto& [ip, bytes] : r.device_lists) {
      auto devices = bus::ParseDeviceList(bytes, bytes.size());
      benchmark::DoNotOptimize(devices);
    }
  }
  state.SetItemsProcessed(state.iterations() * kServers);
}
BENCHMARK(BM_Reference_DecodeRecords)->Unit(benchmark::kMicrosecond);

// The tree is filled once; every iteration is a refresh that finds the same
// servers plus a device-list refresh of each (merge by device number).
void BM_RefreshAndDeviceLists(benchmark::State& state) {
  Bench b(kServers);
  b.RefreshAll();
  if (b.tree.Servers().size() != size_t(kServers) || b.tree.Servers()[0]->devices.size() != kDevicesPerServer)
    state.SkipWithError("the tree was not filled");
  for (auto _ : state) b.RefreshAll();
  state.SetItemsProcessed(state.iterations() * kServers);
  state.counters["servers"] = double(b.tree.Servers().size());
}
BENCHMARK(BM_RefreshAndDeviceLists)->Unit(benchmark::kMicrosecond);

// From an empty tree: nodes added, info merged, buses built (their settle
// wait on the benchmark's clock costs nothing), devices listed and added.
void BM_FillEmptyTree(benchmark::State& state) {
  for (auto _ : state) {
    Bench b(kServers);
    b.RefreshAll();
    benchmark::DoNotOptimize(b.tree.Servers().size());
  }
  state.SetItemsProcessed(state.iterations() * kServers);
}
BENCHMARK(BM_FillEmptyTree)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
