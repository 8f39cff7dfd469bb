// The steps of start-up and shutdown that belong to other subsystems, as
// named calls the main window's presenter makes in its fixed order. Each
// subsystem owns one small facet; `StartupServices` is the set the presenter
// is given. A subsystem that joins start-up or close (the tree, device
// operations, requests, auto-connect, scanning, configuration) adds a facet
// of its own and a reference here, instead of growing another's. The Windows
// program implements the facets with the subsystems; tests record them.
#pragma once

#include <cstdint>
#include <string>

namespace vx::app {

// The discovery port (UDP).
inline constexpr int kDiscoveryPort = 7419;

struct DriverVersionText {
  std::string full;        // "a.b.c"
  std::string short_text;  // "a.c"
};

// This process and this PC.
class SystemFacet {
 public:
  virtual ~SystemFacet() = default;
  virtual std::string ExecutablePath() = 0;  // full path of the program file
  virtual void SetWorkingDirectory(const std::string& folder) = 0;
  virtual std::string ComputerName() = 0;  // GetComputerName
  virtual std::string UserName() = 0;      // GetUserName
  // "major.minor.release" from the program's version resource.
  virtual std::string ProgramVersion() = 0;
  // The Windows version flags (bit 0x08: the driver needs a reboot).
  virtual uint32_t GetWindowsVersion() = 0;
  // Runs "cmd.exe" with "shutdown.exe -r -f -t 0", verb "RunAs", hidden.
  virtual void RunRebootCommand() = 0;
  // The server-table, popup and disconnect-all locks.
  virtual void CreateLocks() = 0;
  virtual void CloseLocks() = 0;
  virtual void SetProcessClosing() = 0;  // the process-wide closing flag
};

// Options and localisation: the language pack and the firewall exception.
class OptionsFacet {
 public:
  virtual ~OptionsFacet() = default;
  // Puts the language pack of the locale in force; false when none exists.
  virtual bool LoadLanguagePack(int locale_id) = 0;
  virtual void ReinitializeForms() = 0;  // re-reads the windows from the pack
  virtual bool AddFirewallApplication(const std::string& image_path, const std::string& name) = 0;
  virtual bool AddFirewallPort(int port, const std::string& name) = 0;
};

// Auto-connect printing: the vendor table, the entries and their watchers.
class AutoConnectFacet {
 public:
  virtual ~AutoConnectFacet() = default;
  virtual void ReadZARiraverIni() = 0;  // the vendor driver table
  // Creates the two auto-connect lists and fills them from the registry.
  virtual void ReadAutoConnectEntries() = 0;
  // Stops every print watcher of the printer (then the fax) list and waits
  // for each while window messages keep being pumped.
  virtual void StopPrinterWatchers() = 0;
  virtual void StopFaxWatchers() = 0;
  virtual void FreeAutoConnectEntries() = 0;  // the entries and both lists
};

// The bus driver: the master bus and the event reader.
class BusDriverFacet {
 public:
  virtual ~BusDriverFacet() = default;
  // Opens the bus driver's master bus; false when there is no driver.
  virtual bool OpenMasterBus() = 0;
  // The driver's version texts; both empty when they cannot be read.
  virtual DriverVersionText DriverVersion() = 0;
  virtual void StartEventReader() = 0;
  // Requests termination, aborts the pending read on the master bus and
  // waits for the reader (unless a TCP bus is being built).
  virtual void StopEventReader() = 0;
  // Closes the master bus handle; false when that fails.
  virtual bool CloseMasterBus() = 0;
};

// Server discovery: its sockets and its listener.
class DiscoveryFacet {
 public:
  virtual ~DiscoveryFacet() = default;
  // The port self-test on a socket set of its own (outcomes only traced).
  virtual void PortSelfTest() = 0;
  // The working sockets on the discovery port, on ephemeral ports when
  // another program holds it; false when none could be opened.
  virtual bool OpenWorkingSockets() = 0;
  // True while at least one discovery socket is open.
  virtual bool AnySocketOpen() = 0;
  // Broadcasts the discovery request and starts the discovery listener.
  virtual void StartDiscovery() = 0;
  // Closes every discovery socket and stops the socket library.
  virtual void CloseSocketsAndStopSocketLibrary() = 0;
  virtual void StopListener() = 0;  // request termination and wait
};

// The server tree and the device operations on it.
class DevicesFacet {
 public:
  virtual ~DevicesFacet() = default;
  // True when some server with a TCP bus has a device whose owner is this
  // computer name.
  virtual bool AnyDeviceHeldBy(const std::string& computer_name) = 0;
  // Disconnects every device this PC holds and returns when all are done.
  virtual void DisconnectAllHeldDevices() = 0;
  virtual void DeleteAllTcpBus() = 0;  // closes every server's TCP bus
  virtual void ClearServerTree() = 0;  // deletes every node and its record
};

// The facets the main window's presenter works with.
struct StartupServices {
  SystemFacet& system;
  OptionsFacet& options;
  AutoConnectFacet& auto_connect;
  BusDriverFacet& bus;
  DiscoveryFacet& discovery;
  DevicesFacet& devices;
};

}  // namespace vx::app
