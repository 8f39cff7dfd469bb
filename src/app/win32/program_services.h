// The start-up and shutdown steps of the main window carried out with the
// real subsystems: the bus driver (through the channel of this process),
// server discovery over the system's network, and the parts that later
// subsystems fill in (traced no-ops for now).
#pragma once

#include <windows.h>

#include <atomic>
#include <memory>
#include <string>

#include "app/startup_services.h"
#include "busdriver/driver_channel.h"
#include "busdriver/operations.h"
#include "busdriver/read_thread.h"
#include "discovery/discovery_service.h"
#include "discovery/forwarder.h"
#include "discovery/network_status.h"
#include "platform/net/network.h"

namespace vx::model::win32 {
class TreeFacet;
}

namespace vx::app::win32 {

class ProgramServices final : public StartupServices,
                              public discovery::DatagramForwarder,
                              public discovery::MasterBusQuery,
                              public bus::ReadInfoHandler {
 public:
  // `status` receives the listener's no-network / network-ok steps;
  // `clear_tree` empties the server tree.
  ProgramServices(MainThread& main_thread, discovery::NetworkStateSink& status,
                  std::function<void()> clear_tree);
  ~ProgramServices() override;

  // --- StartupServices ---
  std::string ExecutablePath() override;
  void SetWorkingDirectory(const std::string& folder) override;
  std::string ComputerName() override;
  std::string UserName() override;
  std::string ProgramVersion() override;
  void ReadZARiraverIni() override;
  bool LoadLanguagePack(int locale_id) override;
  void ReinitializeForms() override;
  void CreateLocks() override;
  void ReadAutoConnectEntries() override;
  bool OpenMasterBus() override;
  DriverVersionText DriverVersion() override;
  uint32_t GetWindowsVersion() override;
  void RunRebootCommand() override;
  bool AddFirewallApplication(const std::string& image_path, const std::string& name) override;
  bool AddFirewallPort(int port, const std::string& name) override;
  void EnumerateAdapters() override;
  bool OpenDiscoverySockets(bool ephemeral) override;
  bool CheckUDPSocket() override;
  bool CheckTCPSocket() override;
  bool CheckUDPPort(int port) override;
  void CloseDiscoverySockets() override;
  bool AnyDiscoverySocketOpen() override;
  void StartDiscovery() override;
  void StartEventReader() override;
  bool AnyDeviceHeldBy(const std::string& computer_name) override;
  void SetProcessClosing() override;
  void DisconnectAllHeldDevices() override;
  void CloseSocketsAndStopSocketLibrary() override;
  void StopDiscoveryListener() override;
  void StopEventReader() override;
  void StopPrinterWatchers() override;
  void StopFaxWatchers() override;
  void FreeAutoConnectEntries() override;
  void CloseLocks() override;
  void DeleteAllTcpBus() override;
  void ClearServerTree() override;
  bool CloseMasterBus() override;

  // --- What the discovery listener needs ---
  bool SendUdpPacket(uint32_t source_ipv4_network_order, const uint8_t* bytes, uint32_t n) override;
  bool MasterBusValid() const override;

  // --- The driver's events, applied by the server tree ---
  void GetReadInfo(std::span<const uint8_t> record, int length) override;

  // --- The server tree (set once the main window's tree exists) ---
  void SetTree(model::win32::TreeFacet* tree) { tree_ = tree; }
  discovery::DiscoveryService& Discovery() { return *discovery_; }
  bus::DriverChannel* Channel() { return channel_.get(); }
  std::shared_ptr<bus::DriverHandle> MasterBus() const { return master_; }
  bus::DriverVersionInfo& VersionInfo() { return version_info_; }

  const std::atomic<bool>& closing() const { return closing_; }

 private:
  MainThread& main_thread_;
  discovery::NetworkStateSink& status_;
  std::function<void()> clear_tree_;
  std::unique_ptr<net::NetworkPort> net_;
  std::unique_ptr<discovery::DiscoveryService> discovery_;
  std::unique_ptr<bus::DriverChannel> channel_;
  std::shared_ptr<bus::DriverHandle> master_;
  std::unique_ptr<bus::TReadThread> reader_;
  bus::DriverVersionInfo version_info_;
  model::win32::TreeFacet* tree_ = nullptr;
  HANDLE locks_[3] = {nullptr, nullptr, nullptr};
  std::atomic<bool> closing_{false};
};

}  // namespace vx::app::win32
