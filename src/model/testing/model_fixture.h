// The model's test bench: a fake tree view that keeps what a tree control
// would, a scripted driver whose TCP buses answer with each server's current
// device list, a fake info query, a main thread whose message pump tests can
// hook, and everything wired as the program wires it.
#pragma once

#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "busdriver/records.h"
#include "busdriver/testing/fake_driver.h"
#include "model/driver_events.h"
#include "model/server_list.h"
#include "model/tree_presenter.h"
#include "platform/testing/fake_clock.h"

namespace vx::model::testing {

class FakeTreeView final : public ServerTreeView {
 public:
  struct Node {
    NodeId parent = kNoNode;
    std::string text;
    int image = 0;
    bool expanded = false;
  };
  std::map<NodeId, Node> nodes;
  std::vector<NodeId> top;                         // top level in view order
  std::map<NodeId, std::vector<NodeId>> children;  // device nodes per server
  NodeId selected = kNoNode;
  bool tree_enabled = true, panel_enabled = false, blank_panel = false;
  int repaints = 0;
  bool throw_on_add = false;  // AddServerNode throws (an exception inside a refresh)
  std::vector<std::string> log;
  std::function<void(NodeId)> on_expand;  // reports back like the control

  void AddServerNode(NodeId id, const std::string& text, int image) override;
  void AddDeviceNode(NodeId server, NodeId id, const std::string& text, int image) override;
  void DeleteNode(NodeId id) override;
  void SetNodeText(NodeId id, const std::string& text) override { nodes.at(id).text = text; }
  void OrderServers(const std::vector<NodeId>& order) override { top = order; }
  void ExpandNode(NodeId id) override;
  bool IsExpanded(NodeId id) const override { return nodes.count(id) && nodes.at(id).expanded; }
  void SelectNode(NodeId id) override { selected = id; }
  void SetTreeEnabled(bool e) override { tree_enabled = e, log.push_back(e ? "tree on" : "tree off"); }
  void RepaintTree() override { ++repaints; }
  void SetMainPanelEnabled(bool e) override { panel_enabled = e; }
  void SetBlankPanelVisible(bool v) override { blank_panel = v; }

  // Texts of the top level, and of one server's devices, in view order.
  std::vector<std::string> TopTexts() const;
  std::vector<std::string> DeviceTexts(const std::string& server_text_prefix) const;
  std::string Text(NodeId id) const { return nodes.count(id) ? nodes.at(id).text : std::string(); }
};

// The driver: the master bus answers the scripted bus list; every server's
// TCP bus (opened by its path) answers that server's current device list.
class ScriptedDriver final : public bus::DriverChannel {
 public:
  struct Server {
    bool buildable = true;    // its TCP bus path opens
    int open_failures = 0;    // this many opens fail first
    bool list_fails = false;  // the device-list call fails
    bus::DeviceList devices;
  };
  std::shared_ptr<bus::testing::FakeHandle> master = std::make_shared<bus::testing::FakeHandle>();
  std::map<std::string, Server> servers;  // by IP text
  std::map<std::string, int> opens;       // open attempts per IP
  std::vector<std::shared_ptr<bus::testing::FakeHandle>> handles;
  std::function<void(const std::string& ip)> on_open;  // called at every open attempt

  void SetBusList(const std::vector<bus::BusEntry>& entries);
  void FailBusList();  // the bus list cannot be read
  void SetDevices(const std::string& ip, bus::DeviceList list);

  std::shared_ptr<bus::DriverHandle> OpenMasterBus() override { return master; }
  std::shared_ptr<bus::DriverHandle> OpenPath(const std::string& path, uint32_t* last_error) override;

 private:
  void Script(bus::testing::FakeHandle& h, const Server& s);
  std::map<bus::testing::FakeHandle*, std::string> ip_of_;
};

class FakeInfoQueries final : public ServerInfoQueries {
 public:
  struct Query {
    std::string ip, location;
    std::shared_ptr<std::atomic<bool>> pending;
    std::function<void(const discovery::ServerInfo&)> sink;
    bool answered = false;
  };
  std::vector<Query> started;
  // Replies given by IP; delivered by Deliver() or, with answer_on_pump, at
  // the next message pump of the main thread.
  std::map<std::string, discovery::ServerInfo> replies;
  bool answer_on_pump = false;

  void StartServerInfoRequest(const std::string& ip, const std::string& location,
                              std::shared_ptr<std::atomic<bool>> pending,
                              std::function<void(const discovery::ServerInfo&)> sink) override;
  // Answers every query still open that has a reply; returns how many.
  int Deliver();
  // Ends every open query without an answer.
  void FailAll();
  int StartsFor(const std::string& ip) const;
};

class PumpedMainThread final : public MainThread {
 public:
  std::function<void()> on_pump;
  int pumps = 0;
  void RunSync(const std::function<void()>& work) override { work(); }
  void ProcessMessages() override {
    ++pumps;
    if (on_pump) on_pump();
  }
};

class FakeTreeHost final : public TreeHost {
 public:
  bool timer_running = false;
  int timer_interval = 0, focus = 0;
  void FocusMainPanel() override { ++focus; }
  int DoubleClickTimeMs() const override { return 500; }
  void StartClickTimer(int ms) override { timer_running = true, timer_interval = ms; }
  void StopClickTimer() override { timer_running = false; }
  bool ClickTimerRunning() const override { return timer_running; }
};

class RecordingCommands final : public SelectionCommands {
 public:
  std::vector<std::string> log;
  void DisableAll() override { log.push_back("disable"); }
  void ServerSelected(const ServerData& s) override { log.push_back("server " + s.IpAddress); }
  void DeviceSelected(const ServerData& s, const DeviceData& d) override {
    log.push_back("device " + s.IpAddress + "/" + d.DeviceNo);
  }
  void Configure() override { log.push_back("configure"); }
};

class FakeDiscovery final : public DiscoveryControl {
 public:
  std::vector<std::string> log;
  std::function<void()> on_reopen;
  void SuspendListener() override { log.push_back("suspend"); }
  void ReopenSockets() override {
    log.push_back("reopen");
    if (on_reopen) on_reopen();
  }
  void ResumeListener() override { log.push_back("resume"); }
  void FindQuorinSend() override { log.push_back("send"); }
};

class RecordingRequests final : public DeviceRequests {
 public:
  std::vector<std::vector<uint8_t>> records;
  void OnRequestToUse(std::span<const uint8_t> record, int length) override {
    records.emplace_back(record.begin(), record.begin() + length);
  }
};

class FakeMBusHost final : public MBusUpdateHost {
 public:
  std::vector<std::string> captions;
  bool timer_stopped = false, find_server = false;
  int watchers = 0;
  void SetCaption(const std::string& t) override { captions.push_back(t); }
  void StopMBusUpdateTimer() override { timer_stopped = true; }
  void SetFindServerEnabled(bool e) override { find_server = e; }
  void StartAutoConnectWatchers() override { ++watchers; }
};

// A bus-list entry and a device-list entry in a line.
bus::BusEntry Bus(const std::string& name, const std::string& ip, int location);
bus::DeviceEntry Device(int no, const std::string& usb_class, const std::string& manufacturer,
                        const std::string& product, const std::string& owner = "", int lock_type = 0,
                        uint16_t vid = 0x04B8, uint16_t pid = 0x0001, const std::string& serial = "SN");
discovery::ServerInfo Info(const std::string& mac, uint32_t software_bus = 1,
                           const std::string& model = "MD-LAN01");

struct ModelFixture {
  // `other_view`: the tree mirrors into that view instead of the fake one;
  // `lookup`: the auto-connect entries the device records are matched with
  // (none when null).
  explicit ModelFixture(bool japanese = false, ModelTimings timings = {},
                        ServerTreeView* other_view = nullptr, AutoConnectLookup* lookup = nullptr);

  FakeTreeView view;
  ScriptedDriver driver;
  vx::testing::FakeClock clock;
  PumpedMainThread main_thread;
  std::timed_mutex lock;
  MutexTableLock table_lock{lock};
  FakeInfoQueries info;
  NoAutoConnectEntries autoconnect;
  EventFlags flags;
  bool closing = false;
  ServerTree tree;
  std::unique_ptr<ServerList> list;
  RecordingCommands commands;
  FakeTreeHost host;
  std::unique_ptr<TreePresenter> presenter;
  FakeDiscovery discovery;
  RecordingRequests requests;
  BusListQuiet quiet;
  std::unique_ptr<DriverEvents> events;

  // Sends one event record through GetReadInfo.
  void Event(const bus::EventRecord& e);
  void Event(std::vector<uint8_t> bytes, int length);
  // A server with a usable location, its reply known, its devices listed,
  // refreshed into the tree.
  ServerNode* Server(const std::string& ip);
  NodeId DeviceNodeOf(const std::string& ip, const std::string& device_no);
};

}  // namespace vx::model::testing
