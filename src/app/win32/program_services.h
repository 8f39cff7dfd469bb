// The start-up and shutdown facets of the main window carried out with the
// real subsystems: this process and PC, the bus driver (through the channel
// of this process), server discovery over the system's network, and the
// facets that later subsystems fill in (traced no-ops for now).
// ProgramServices composes them; each facet is a class of its own, so a
// subsystem that arrives replaces its facet without touching the others.
#pragma once

#include <windows.h>

#include <atomic>
#include <functional>
#include <memory>
#include <string>

#include "app/startup_services.h"
#include "autoconnect/auto_connect_store.h"
#include "busdriver/driver_channel.h"
#include "busdriver/operations.h"
#include "busdriver/read_thread.h"
#include "devices/device_ops.h"
#include "discovery/discovery_service.h"
#include "discovery/forwarder.h"
#include "discovery/network_status.h"
#include "platform/net/network.h"

namespace vx::model::win32 {
class TreeFacet;
}

namespace vx::app::win32 {

// This process and this PC; the three locks and the process-wide closing flag.
class SystemServices final : public SystemFacet {
 public:
  // `net` gives the Windows version flags.
  explicit SystemServices(net::NetworkPort& net) : net_(net) {}
  ~SystemServices() override { CloseLocks(); }
  std::string ExecutablePath() override;
  void SetWorkingDirectory(const std::string& folder) override;
  std::string ComputerName() override;
  std::string UserName() override;
  std::string ProgramVersion() override;  // the program's own version resource
  uint32_t GetWindowsVersion() override;
  void RunRebootCommand() override;
  void CreateLocks() override;
  void CloseLocks() override;
  void SetProcessClosing() override { closing_ = true; }
  const std::atomic<bool>& closing() const { return closing_; }

 private:
  net::NetworkPort& net_;
  HANDLE locks_[3] = {nullptr, nullptr, nullptr};
  std::atomic<bool> closing_{false};
};

// The bus driver: master bus, version, event reader; also what the discovery
// listener asks of the driver (forwarding replies, whether the bus is open).
class BusDriverServices final : public BusDriverFacet,
                                public discovery::DatagramForwarder,
                                public discovery::MasterBusQuery,
                                public bus::ReadInfoHandler {
 public:
  explicit BusDriverServices(MainThread& main_thread) : main_thread_(main_thread) {}
  ~BusDriverServices() override { StopEventReader(); }

  bool OpenMasterBus() override;
  DriverVersionText DriverVersion() override;
  void StartEventReader() override;
  void StopEventReader() override;
  bool CloseMasterBus() override;

  bool SendUdpPacket(uint32_t source_ipv4_network_order, const uint8_t* bytes, uint32_t n) override;
  bool MasterBusValid() const override;
  // The driver's events, applied by the server tree.
  void GetReadInfo(std::span<const uint8_t> record, int length) override;

  // The server tree (set once the main window's tree exists; nullptr again before it goes).
  void SetTree(model::win32::TreeFacet* tree) { tree_ = tree; }
  bus::DriverChannel* Channel() { return channel_.get(); }
  std::shared_ptr<bus::DriverHandle> MasterBus() const { return master_; }
  bus::DriverVersionInfo& VersionInfo() { return version_info_; }

 private:
  MainThread& main_thread_;
  bus::DriverVersionInfo version_info_;
  model::win32::TreeFacet* tree_ = nullptr;
  std::unique_ptr<bus::DriverChannel> channel_;
  std::shared_ptr<bus::DriverHandle> master_;
  std::unique_ptr<bus::TReadThread> reader_;
};

// Server discovery over the system's network (or the isolated one that test
// runs ask for), through DiscoveryService.
class DiscoveryServices final : public DiscoveryFacet {
 public:
  DiscoveryServices(net::NetworkPort& net, MainThread& main_thread, discovery::ListenerWiring wiring);

  discovery::DiscoveryService& service() { return *service_; }
  void PortSelfTest() override { service_->PortSelfTest(); }
  bool OpenWorkingSockets() override { return service_->OpenWorkingSockets(); }
  bool AnySocketOpen() override;
  void StartDiscovery() override { service_->StartDiscovery(wiring_); }
  void CloseSocketsAndStopSocketLibrary() override { service_->CloseSocketsAndLibrary(); }
  void StopListener() override { service_->StopListener(); }

 private:
  discovery::ListenerWiring wiring_;
  std::unique_ptr<discovery::DiscoveryService> service_;
};

// The language pack and the firewall exception come with the options subsystem.
class OptionsServices final : public OptionsFacet {
 public:
  bool LoadLanguagePack(int locale_id) override;
  void ReinitializeForms() override {}
  bool AddFirewallApplication(const std::string& image_path, const std::string& name) override;
  bool AddFirewallPort(int port, const std::string& name) override;
};

// The auto-connect store: the vendor driver table beside the program and
// this user's entries (the lists the server tree is matched with); the
// print watchers come with their subsystem.
class AutoConnectServices final : public AutoConnectFacet {
 public:
  // `system` gives the program's folder.
  AutoConnectServices(Registry& registry, SystemFacet& system);
  void ReadZARiraverIni() override;
  void ReadAutoConnectEntries() override;
  void StopPrinterWatchers() override {}
  void StopFaxWatchers() override {}
  void FreeAutoConnectEntries() override;
  autoconnect::AutoConnectStore& Store() { return store_; }

 private:
  SystemFacet& system_;
  autoconnect::AutoConnectStore store_;
};

// The tree's devices and TCP buses (the model), and disconnect-all of the
// devices this PC holds (the device operations, with the system's ejector).
class DeviceServices final : public DevicesFacet {
 public:
  // `computer_name` gives this PC's name (the owner of what it holds).
  DeviceServices(std::function<void()> clear_tree, MainThread& main_thread,
                 std::function<std::string()> computer_name);
  ~DeviceServices() override;
  void SetTree(model::win32::TreeFacet* tree) { tree_ = tree; }
  bool AnyDeviceHeldBy(const std::string& computer_name) override;
  // One disconnect worker per held device on every server of the tree;
  // returns when all have ended (the main thread is served meanwhile).
  void DisconnectAllHeldDevices() override;
  void DeleteAllTcpBus() override;
  void ClearServerTree() override;

 private:
  std::function<void()> clear_tree_;
  MainThread& main_thread_;
  std::function<std::string()> computer_name_;
  std::unique_ptr<devices::Ejector> ejector_;
  model::win32::TreeFacet* tree_ = nullptr;
};

class ProgramServices {
 public:
  // `status` receives the listener's no-network / network-ok steps;
  // `clear_tree` empties the server tree.
  ProgramServices(MainThread& main_thread, discovery::NetworkStateSink& status,
                  std::function<void()> clear_tree);
  ~ProgramServices();

  StartupServices Facets() { return {system_, options_, auto_connect_, bus_, *discovery_, devices_}; }

  // What the server tree is built from, and where it is plugged in.
  BusDriverServices& BusDriver() { return bus_; }
  // The auto-connect lists (the server tree's lookup).
  autoconnect::AutoConnectStore& AutoConnect() { return auto_connect_.Store(); }
  discovery::DiscoveryService& Discovery() { return discovery_->service(); }
  void SetTree(model::win32::TreeFacet* tree) {
    bus_.SetTree(tree);
    devices_.SetTree(tree);
  }

 private:
  // Declared in the order they are built; the destructor stops the reader
  // and the listener before the locks go.
  std::unique_ptr<net::NetworkPort> net_;
  SystemServices system_;
  OptionsServices options_;
  AutoConnectServices auto_connect_;
  BusDriverServices bus_;
  DeviceServices devices_;
  std::unique_ptr<DiscoveryServices> discovery_;
};

}  // namespace vx::app::win32
