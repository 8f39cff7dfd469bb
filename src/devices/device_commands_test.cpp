#include "devices/device_commands.h"

#include <gtest/gtest.h>

#include <map>

#include "busdriver/records.h"
#include "model/testing/model_fixture.h"
#include "platform/trace.h"

namespace vx::devices {
namespace {

using bus::testing::Answer;
using bus::testing::FakeHandle;
using model::testing::Bus;
using model::testing::Device;
using model::testing::Info;
using model::testing::ModelFixture;

constexpr const char* kIp = "10.0.0.2";
constexpr const char* kThisPc = "VXPC1";

class FakeView final : public DeviceCommandView {
 public:
  std::map<DeviceCommand, bool> enabled;
  std::vector<std::string> log;
  std::vector<DeviceMessage> messages;
  void SetCommandEnabled(DeviceCommand c, bool on) override {
    enabled[c] = on;
    static const char* names[] = {"connect", "disconnect", "request"};
    log.push_back(std::string(on ? "+" : "-") + names[static_cast<int>(c)]);
  }
  void ShowMessage(const DeviceMessage& m) override { messages.push_back(m); }
  bool On(DeviceCommand c) { return enabled[c]; }
};

// The settle wait on the fake clock; a hook runs at each pump (the window's
// messages arriving meanwhile).
class FakePump final : public SettlePump {
 public:
  explicit FakePump(Clock& clock) : clock_(clock) {}
  int pumps = 0;
  std::function<void(int)> on_pump;
  void ProcessMessages() override {
    ++pumps;
    if (on_pump) on_pump(pumps);
  }
  void Wait(Clock::Duration d) override { clock_.SleepFor(d); }

 private:
  Clock& clock_;
};

class ScriptedEjector final : public Ejector {
 public:
  int result = 0, calls = 0;
  int Eject(uint16_t, uint16_t, const std::string&) override { return ++calls, result; }
};

class RecordingViewer final : public ViewerCloser {
 public:
  std::vector<std::string> closed;
  void CloseViewer(const std::string& title) override { closed.push_back(title); }
};

class RecordingQueues final : public AutoConnectPrinterQueues {
 public:
  std::vector<std::string> log;
  void ResumeAfterConnect(const std::string& mac, const std::string& id) override {
    log.push_back("resume " + mac + " " + id);
  }
  void PauseAfterDisconnect(const std::string& mac, const std::string& id) override {
    log.push_back("pause " + mac + " " + id);
  }
};

// A server with a printer (1), a storage device (2), the clip scanner (3,
// storage class), a device of no class (4), a printer held by another PC
// manually (5) and automatically (6), and one held by this PC (7).
struct Commands : ::testing::Test {
  explicit Commands(bool japanese = true) : f(japanese) {}
  ModelFixture f;
  FakeView view;
  FakePump pump{f.clock};
  ScriptedEjector ejector;
  RecordingViewer viewer;
  RecordingQueues queues;
  bool dialog_shown = false;
  std::unique_ptr<DeviceCommands> commands;
  std::unique_ptr<model::TreePresenter> tree;

  void SetUp() override {
    f.driver.SetBusList({Bus("uds1", kIp, 1)});
    f.driver.SetDevices(kIp, List(""));
    f.info.replies[kIp] = Info("00:80:92:00:00:02");
    f.list->RefreshServerList();
    f.info.Deliver();
    model::ServerData& s = *f.Server(kIp)->data;
    s.ConfigdType = 1;
    s.ConfigdVersion = "1.52";
    s.StorageMode = 1;
    Make(kThisPc);
  }
  void Make(const std::string& this_pc) {
    DeviceCommandOptions options;
    options.this_pc = this_pc;
    options.japanese = f.list->japanese();
    options.title = "Vessix";
    options.closing = [this] { return f.closing; };
    options.request_dialog_shown = [this] { return dialog_shown; };
    commands =
        std::make_unique<DeviceCommands>(DeviceCommandPorts{view, pump, ejector, viewer, queues}, options);
    tree = std::make_unique<model::TreePresenter>(*f.list, *commands, f.host);
    commands->Bind(f.list.get(), [this] { tree->Action_UDSClickExecute(); });
  }
  // The device list, with `owner_of_1` holding device 1 (manual lock).
  static bus::DeviceList List(const std::string& owner_of_1, const std::string& owner_of_2 = "") {
    bus::DeviceList l;
    l.devices = {Device(1, "PRINTER", "Acme", "Laser 9", owner_of_1, owner_of_1.empty() ? 0 : 2),
                 Device(2, "Mass Storage", "Disk", "Stick", owner_of_2, owner_of_2.empty() ? 0 : 2, 0x04bb,
                        0x0c1a, "SN2"),
                 Device(3, "MASS STORAGE", "Clip", "GV-SC400 SEGCLIP", kThisPc, 2),
                 Device(4, "", "Odd", "Thing"),
                 Device(5, "PRINTER", "Acme", "Laser 5", "VXPC2", 2),
                 Device(6, "PRINTER", "Acme", "Laser 6", "VXPC2", 1),
                 Device(7, "MFP", "Mfx", "All 7", kThisPc, 2)};
    return l;
  }
  std::shared_ptr<FakeHandle> TcpBus() {
    return std::dynamic_pointer_cast<FakeHandle>(f.Server(kIp)->data->TcpBusHandle);
  }
  void Select(const std::string& device_no) {
    f.tree.Select(f.DeviceNodeOf(kIp, device_no));
    tree->Action_UDSClickExecute();
  }
  size_t ListReads() { return TcpBus()->CallsOf(bus::kIoctlGetDeviceList).size(); }
  std::vector<uint32_t> Codes() {
    std::vector<uint32_t> out;
    for (auto& c : TcpBus()->Calls())
      if (c.code != bus::kIoctlGetDeviceList && c.code != bus::kIoctlGetTcpBusVersion) out.push_back(c.code);
    return out;
  }
  uint32_t LockTimeOf(const std::string& device_no) {
    Select(device_no);
    size_t before = TcpBus()->CallsOf(bus::kIoctlLockDevice).size();
    commands->Action_ConnectExecute();
    auto locks = TcpBus()->CallsOf(bus::kIoctlLockDevice);
    if (locks.size() != before + 1) return 0;
    auto lock = bus::ParseLock(locks.back().input);
    EXPECT_EQ(lock->lock_type, 2);
    return lock->lock_time;
  }
};

struct EnglishCommands : Commands {
  EnglishCommands() : Commands(false) {}
};

// --- The storage-mode gate ---

TEST(StorageGate, VersionsCompareAsTextFromOneFifty) {
  model::ServerData s;
  s.ConfigdType = 1;
  s.StorageMode = 0;
  model::DeviceData storage;
  storage.Class = "mass storage";
  for (auto [version, refused] : {std::pair{"1.49", false},
                                  {"1.50", true},
                                  {"1.6", true},
                                  {"1.500", true},
                                  {"1.5", false},
                                  {"", false},
                                  {"2.0", true}}) {
    s.ConfigdVersion = version;
    EXPECT_EQ(StorageGateRefuses(s, storage), refused) << version;
  }
  s.ConfigdVersion = "1.49";
  for (uint32_t type : {0u, 2u}) {
    s.ConfigdType = type;
    EXPECT_TRUE(StorageGateRefuses(s, storage)) << "type " << type << " always has the gate";
  }
  s.StorageMode = 1;
  EXPECT_FALSE(StorageGateRefuses(s, storage)) << "storage lent to PCs";
  s.StorageMode = 0;
  model::DeviceData printer;
  printer.Class = "PRINTER";
  EXPECT_FALSE(StorageGateRefuses(s, printer));
}

TEST_F(Commands, StorageInServerModeIsRefusedWithTheMessageAndConnectComesBack) {
  model::ServerData& s = *f.Server(kIp)->data;
  s.StorageMode = 0;
  s.ConfigdVersion = "1.50";
  Select("2");
  TcpBus()->Script(bus::kIoctlClaimDevice, {Answer{true, 0, {}}});
  commands->Action_ConnectExecute();
  EXPECT_TRUE(Codes().empty()) << "nothing asked of the driver";
  ASSERT_EQ(view.messages.size(), 1u);
  EXPECT_EQ(
      view.messages[0].text,
      "Can not connect because the storage access mode is currently in Server mode, not Orvolink mode.");
  EXPECT_EQ(view.messages[0].caption, "Vessix");
  EXPECT_TRUE(view.On(DeviceCommand::kConnect));
  EXPECT_FALSE(f.flags.device_list_suppressed);

  view.messages.clear();
  s.ConfigdVersion = "1.49";
  commands->Action_ConnectExecute();
  EXPECT_EQ(LockTimeOf("2"), 259200u) << "below 1.50 the storage may be connected";
}

// --- Connect ---

TEST_F(Commands, ConnectLocksByClassSettlesTwoSecondsAndShowsTheDeviceHeld) {
  Select("1");
  EXPECT_TRUE(view.On(DeviceCommand::kConnect));
  std::vector<bool> suppressed;
  pump.on_pump = [&](int n) {
    suppressed.push_back(f.flags.device_list_suppressed.load());
    EXPECT_FALSE(view.On(DeviceCommand::kConnect)) << "disabled during the wait";
    if (n == 10) f.driver.SetDevices(kIp, List(kThisPc));  // the server now lists this PC
  };
  const size_t reads = ListReads();
  const size_t sleeps_before = f.clock.SleepList().size();
  TraceCapture trace;
  commands->Action_ConnectExecute();
  EXPECT_EQ(Codes(), (std::vector<uint32_t>{bus::kIoctlClaimDevice, bus::kIoctlLockDevice}));
  EXPECT_EQ(pump.pumps, 10);
  auto sleeps = f.clock.SleepList();
  sleeps.erase(sleeps.begin(), sleeps.begin() + long(sleeps_before));
  EXPECT_EQ(sleeps, std::vector<Clock::Duration>(10, Clock::Duration(200)));
  EXPECT_EQ(suppressed, std::vector<bool>(10, true));
  EXPECT_FALSE(f.flags.device_list_suppressed) << "cleared after the refresh";
  EXPECT_EQ(ListReads(), reads + 1) << "the server's list is read once after the wait";
  EXPECT_EQ(f.Server(kIp)->devices[0].data->Owner, kThisPc);
  EXPECT_TRUE(view.On(DeviceCommand::kDisconnect)) << "the selection refresh ran on the new list";
  EXPECT_FALSE(view.On(DeviceCommand::kConnect));
  EXPECT_TRUE(view.messages.empty());
  EXPECT_TRUE(trace.Contains(">>> Manual Connect device ok !"));
  EXPECT_TRUE(trace.Contains(">>> Lock Timeout : 3600"));
}

TEST_F(Commands, LockTimesByClassIncludingAnEmptyClass) {
  EXPECT_EQ(LockTimeOf("1"), 3600u);
  EXPECT_EQ(LockTimeOf("2"), 259200u);
  EXPECT_EQ(LockTimeOf("4"), 3600u);
  EXPECT_EQ(LockTimeOf("5"), 3600u) << "held elsewhere: Connect is offered and asks the driver";
}

TEST_F(Commands, RefusedClaimShowsTheFailureAndClearsTheFlag) {
  Select("1");
  TcpBus()->Script(bus::kIoctlClaimDevice, {Answer{false, 31, {}}});
  commands->Action_ConnectExecute();
  EXPECT_EQ(Codes(), std::vector<uint32_t>{bus::kIoctlClaimDevice});
  ASSERT_EQ(view.messages.size(), 1u);
  EXPECT_EQ(view.messages[0].text, "USBデバイスの接続に失敗しました。");
  EXPECT_EQ(view.messages[0].icon, DeviceMessageIcon::kNone);
  EXPECT_TRUE(view.On(DeviceCommand::kConnect));
  EXPECT_FALSE(f.flags.device_list_suppressed);
  EXPECT_EQ(pump.pumps, 0) << "no settle wait";
}

TEST_F(Commands, ClaimRefusedForThePrinterPortTellsWhyThenThatItFailed) {
  Select("1");
  TcpBus()->Script(bus::kIoctlClaimDevice, {Answer{false, bus::kErrorPortIsPrinterServer, {}}});
  commands->Action_ConnectExecute();
  ASSERT_EQ(view.messages.size(), 2u);
  EXPECT_EQ(view.messages[0].text, bus::kPrinterPortMessage);
  EXPECT_EQ(view.messages[1].text, "USBデバイスの接続に失敗しました。");
}

TEST_F(Commands, LockRefusedAfterTheClaimReleasesTheDevice) {
  Select("1");
  TcpBus()->Script(bus::kIoctlLockDevice, {Answer{false, 31, {}}});
  commands->Action_ConnectExecute();
  EXPECT_EQ(Codes(),
            (std::vector<uint32_t>{bus::kIoctlClaimDevice, bus::kIoctlLockDevice, bus::kIoctlReleaseDevice}));
  ASSERT_EQ(view.messages.size(), 1u);
  EXPECT_EQ(view.messages[0].text, "USBデバイスの接続に失敗しました。");
  EXPECT_TRUE(view.On(DeviceCommand::kConnect));
  EXPECT_FALSE(f.flags.device_list_suppressed);
  EXPECT_TRUE(queues.log.empty());
}

TEST_F(EnglishCommands, FailuresShowNoMessageOutsideJapaneseButTheButtonComesBack) {
  Select("1");
  TcpBus()->Script(bus::kIoctlClaimDevice, {Answer{false, bus::kErrorPortIsPrinterServer, {}}});
  commands->Action_ConnectExecute();
  EXPECT_TRUE(view.On(DeviceCommand::kConnect));
  Select("7");
  TcpBus()->Script(bus::kIoctlReleaseDevice, {Answer{false, 31, {}}});
  commands->Action_DisconnectExecute();
  EXPECT_TRUE(view.On(DeviceCommand::kDisconnect));
  Select("2");
  f.Server(kIp)->data->StorageMode = 0;
  commands->Action_ConnectExecute();
  EXPECT_TRUE(view.On(DeviceCommand::kConnect));
  EXPECT_TRUE(view.messages.empty());
}

TEST_F(Commands, PrinterQueuesAreResumedOnConnectAndPausedOnDisconnectOfPrintersOnly) {
  Select("1");
  commands->Action_ConnectExecute();
  Select("7");
  commands->Action_DisconnectExecute();
  Select("4");
  commands->Action_ConnectExecute();
  const std::string mac = "00:80:92:00:00:02";
  EXPECT_EQ(queues.log, (std::vector<std::string>{"resume " + mac + " 04B8 - 0001 - SN",
                                                  "pause " + mac + " 04B8 - 0001 - SN"}));
}

TEST_F(Commands, NoTcpBusOrNoDeviceSelectedDoesNothing) {
  Select("1");
  view.log.clear();
  f.Server(kIp)->data->TcpBusHandle.reset();
  commands->Action_ConnectExecute();
  commands->Action_DisconnectExecute();
  EXPECT_TRUE(view.log.empty());
  f.tree.Select(f.Server(kIp)->id);
  commands->Action_ConnectExecute();
  EXPECT_TRUE(view.log.empty());
}

// --- The settle wait ---

TEST_F(Commands, ClosingDuringTheSettleWaitEndsAtOnceWithoutRefresh) {
  Select("1");
  pump.on_pump = [&](int n) {
    if (n == 3) f.closing = true;
  };
  const size_t reads = ListReads();
  int refreshes = 0;
  commands->Bind(f.list.get(), [&] { ++refreshes; });
  commands->Action_ConnectExecute();
  EXPECT_EQ(pump.pumps, 3);
  EXPECT_EQ(ListReads(), reads);
  EXPECT_EQ(refreshes, 0);
  EXPECT_TRUE(f.flags.device_list_suppressed) << "left as it is: the program is ending";
}

TEST_F(Commands, ServerGoneDuringTheSettleWaitStillEndsTheCommand) {
  Select("1");
  pump.on_pump = [&](int n) {
    if (n == 2) f.tree.DeleteServer(f.Server(kIp)->id);
  };
  commands->Action_ConnectExecute();
  EXPECT_EQ(pump.pumps, 10);
  EXPECT_FALSE(f.flags.device_list_suppressed);
  EXPECT_FALSE(view.On(DeviceCommand::kConnect)) << "nothing selected any more";
}

// --- Disconnect ---

TEST_F(Commands, DisconnectEjectsStorageGoingOnAfterNotPresent) {
  f.driver.SetDevices(kIp, List("", kThisPc));
  f.list->getDevList(f.Server(kIp)->id);
  Select("2");
  EXPECT_TRUE(view.On(DeviceCommand::kDisconnect));
  ejector.result = kEjectNotPresent;
  TraceCapture trace;
  commands->Action_DisconnectExecute();
  EXPECT_EQ(ejector.calls, 1);
  EXPECT_EQ(Codes(), (std::vector<uint32_t>{bus::kIoctlUnlockDevice, bus::kIoctlReleaseDevice}));
  auto unlock = bus::ParseLock(TcpBus()->CallsOf(bus::kIoctlUnlockDevice)[0].input);
  EXPECT_EQ(unlock->lock_type, 2);
  EXPECT_EQ(unlock->lock_time, 0u);
  EXPECT_TRUE(trace.Contains("Eject \"Mass Storage - Disk - Stick"));
  EXPECT_TRUE(trace.Contains("\" OK ! return : -2"));
  EXPECT_TRUE(trace.Contains(">>> Manual Disconnect device ok !"));
  EXPECT_EQ(pump.pumps, 10);
  EXPECT_TRUE(view.messages.empty());
}

TEST_F(Commands, EjectionRefusedStopsWithTheStorageMessageAndDisconnectComesBack) {
  f.driver.SetDevices(kIp, List("", kThisPc));
  f.list->getDevList(f.Server(kIp)->id);
  for (int result : {kEjectNoKey, kEjectVetoed}) {
    Select("2");
    view.messages.clear();
    ejector.result = result;
    TraceCapture trace;
    commands->Action_DisconnectExecute();
    EXPECT_TRUE(Codes().empty()) << result << ": neither unlocked nor released";
    EXPECT_TRUE(trace.Contains("\" Failed ! return : " + std::to_string(result)));
    ASSERT_EQ(view.messages.size(), 1u);
    EXPECT_EQ(view.messages[0].text,
              "USBストレージは使用中のため、今すぐ停止できません。しばらく経ったあとで、再度「切断」を実行し"
              "てください。");
    EXPECT_EQ(view.messages[0].icon, DeviceMessageIcon::kError);
    EXPECT_TRUE(view.messages[0].topmost);
    EXPECT_TRUE(view.On(DeviceCommand::kDisconnect));
    EXPECT_FALSE(f.flags.device_list_suppressed);
    EXPECT_EQ(pump.pumps, 0);
  }
}

TEST_F(Commands, ClipScannerIsNeverEjectedAndItsViewerIsClosed) {
  Select("3");
  ejector.result = kEjectVetoed;
  commands->Action_DisconnectExecute();
  EXPECT_EQ(ejector.calls, 0);
  EXPECT_EQ(viewer.closed, std::vector<std::string>{"SEG CLIP"});
  EXPECT_EQ(Codes(), (std::vector<uint32_t>{bus::kIoctlUnlockDevice, bus::kIoctlReleaseDevice}));
  Select("7");
  commands->Action_DisconnectExecute();
  EXPECT_EQ(viewer.closed.size(), 1u) << "other products leave the viewer alone";
}

TEST_F(Commands, UnlockFailureStillReleasesAndSettles) {
  Select("7");
  TcpBus()->Script(bus::kIoctlUnlockDevice, {Answer{false, 31, {}}});
  TraceCapture trace;
  commands->Action_DisconnectExecute();
  EXPECT_EQ(Codes(), (std::vector<uint32_t>{bus::kIoctlUnlockDevice, bus::kIoctlReleaseDevice}));
  EXPECT_TRUE(trace.Contains("Unlock device failed !"));
  EXPECT_EQ(pump.pumps, 10);
  EXPECT_TRUE(view.messages.empty());
}

TEST_F(Commands, ReleaseFailureShowsTheMessageAndDisconnectComesBack) {
  Select("7");
  TcpBus()->Script(bus::kIoctlReleaseDevice, {Answer{false, 31, {}}});
  commands->Action_DisconnectExecute();
  ASSERT_EQ(view.messages.size(), 1u);
  EXPECT_EQ(view.messages[0].text, "USBデバイスの切断に失敗しました。");
  EXPECT_TRUE(view.On(DeviceCommand::kDisconnect));
  EXPECT_FALSE(f.flags.device_list_suppressed);
  EXPECT_EQ(pump.pumps, 0);
}

TEST_F(Commands, ReleaseAnsweredNotHeldCountsAsDone) {
  Select("7");
  TcpBus()->Script(bus::kIoctlReleaseDevice, {Answer{false, bus::kErrorNotHeld, {}}});
  commands->Action_DisconnectExecute();
  EXPECT_TRUE(view.messages.empty());
  EXPECT_EQ(pump.pumps, 10);
}

// --- The device branch of the selection refresh ---

TEST_F(Commands, DeviceBranchOffersWhatTheOwnerAllows) {
  struct Row {
    const char* device_no;
    bool connect, disconnect, request;
  };
  const Row rows[] = {
      {"1", true, false, false},  // free
      {"5", true, false, true},   // held by another PC, manual lock
      {"6", true, false, false},  // held by another PC, automatic lock
      {"7", false, true, false},  // held by this PC
  };
  for (const Row& r : rows) {
    Select(r.device_no);
    EXPECT_EQ(view.On(DeviceCommand::kConnect), r.connect) << r.device_no;
    EXPECT_EQ(view.On(DeviceCommand::kDisconnect), r.disconnect) << r.device_no;
    EXPECT_EQ(view.On(DeviceCommand::kRequest), r.request) << r.device_no;
  }
  dialog_shown = true;
  Select("5");
  EXPECT_TRUE(view.On(DeviceCommand::kConnect));
  EXPECT_FALSE(view.On(DeviceCommand::kRequest)) << "not while the request dialog is shown";
  f.tree.Select(f.Server(kIp)->id);
  tree->Action_UDSClickExecute();
  EXPECT_FALSE(view.On(DeviceCommand::kConnect) || view.On(DeviceCommand::kDisconnect) ||
               view.On(DeviceCommand::kRequest))
      << "a server node allows none of them";
}

TEST_F(Commands, WithoutAComputerNameAFreeDeviceIsNotThisPcs) {
  Make("");
  Select("1");
  EXPECT_TRUE(view.On(DeviceCommand::kConnect));
  EXPECT_FALSE(view.On(DeviceCommand::kDisconnect));
}

TEST_F(Commands, OtherCommandsSeeEveryRefreshAndTheDoubleClick) {
  model::testing::RecordingCommands others;
  DeviceCommandOptions options;
  options.this_pc = kThisPc;
  commands = std::make_unique<DeviceCommands>(DeviceCommandPorts{view, pump, ejector, viewer, queues},
                                              options, &others);
  tree = std::make_unique<model::TreePresenter>(*f.list, *commands, f.host);
  Select("1");
  f.tree.Select(f.Server(kIp)->id);
  tree->Action_UDSClickExecute();
  commands->Configure();
  EXPECT_EQ(others.log, (std::vector<std::string>{"disable", "device 10.0.0.2/1", "disable",
                                                  "server 10.0.0.2", "configure"}));
}

TEST_F(Commands, RequestRunsTheHandlerWithTheSelectedDevice) {
  Select("5");
  commands->Action_RequestExecute();  // no handler yet: nothing happens
  std::vector<model::NodeId> asked;
  commands->SetRequestHandler([&](const SelectedDevice& d) { asked.push_back(d.device); });
  commands->Action_RequestExecute();
  EXPECT_EQ(asked, std::vector<model::NodeId>{f.DeviceNodeOf(kIp, "5")});
  EXPECT_TRUE(Codes().empty());
}

}  // namespace
}  // namespace vx::devices
