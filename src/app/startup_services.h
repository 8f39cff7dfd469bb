// The steps of start-up and shutdown that belong to other subsystems, as
// named calls the main window's presenter makes in its fixed order. The
// Windows program implements them with the subsystems; tests record them.
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

class StartupServices {
 public:
  virtual ~StartupServices() = default;

  // --- This process and this PC ---
  virtual std::string ExecutablePath() = 0;  // full path of the program file
  virtual void SetWorkingDirectory(const std::string& folder) = 0;
  virtual std::string ComputerName() = 0;     // GetComputerName
  virtual std::string UserName() = 0;         // GetUserName
  // "major.minor.release" from the program's version resource.
  virtual std::string ProgramVersion() = 0;

  // --- Creation of the main window ---
  virtual void ReadZARiraverIni() = 0;  // the vendor driver table
  // Puts the language pack of the locale in force; false when none exists.
  virtual bool LoadLanguagePack(int locale_id) = 0;
  virtual void ReinitializeForms() = 0;  // re-reads the windows from the pack
  // The server-table, popup and disconnect-all locks.
  virtual void CreateLocks() = 0;
  // Creates the two auto-connect lists and fills them from the registry.
  virtual void ReadAutoConnectEntries() = 0;
  // Opens the bus driver's master bus; false when there is no driver.
  virtual bool OpenMasterBus() = 0;
  // The driver's version texts; both empty when they cannot be read.
  virtual DriverVersionText DriverVersion() = 0;
  // The Windows version flags (bit 0x08: the driver needs a reboot).
  virtual uint32_t GetWindowsVersion() = 0;
  // Runs "cmd.exe" with "shutdown.exe -r -f -t 0", verb "RunAs", hidden.
  virtual void RunRebootCommand() = 0;
  virtual bool AddFirewallApplication(const std::string& image_path, const std::string& name) = 0;
  virtual bool AddFirewallPort(int port, const std::string& name) = 0;
  virtual void EnumerateAdapters() = 0;
  // Opens one discovery socket per adapter on port 7419, or on ephemeral
  // ports; false on any failure.
  virtual bool OpenDiscoverySockets(bool ephemeral) = 0;
  // The port self-tests; their results are only traced.
  virtual bool CheckUDPSocket() = 0;
  virtual bool CheckTCPSocket() = 0;
  // True when another program holds the UDP port.
  virtual bool CheckUDPPort(int port) = 0;
  virtual void CloseDiscoverySockets() = 0;
  // True while at least one discovery socket is open.
  virtual bool AnyDiscoverySocketOpen() = 0;
  // Broadcasts the discovery request and starts the discovery listener.
  virtual void StartDiscovery() = 0;
  virtual void StartEventReader() = 0;  // the driver event reader

  // --- Questions while running ---
  // True when some server with a TCP bus has a device whose owner is this
  // computer name.
  virtual bool AnyDeviceHeldBy(const std::string& computer_name) = 0;

  // --- Closing, in the order the close sequence calls them ---
  virtual void SetProcessClosing() = 0;  // the process-wide closing flag
  // Disconnects every device this PC holds and returns when all are done.
  virtual void DisconnectAllHeldDevices() = 0;
  // Closes every discovery socket and stops the socket library.
  virtual void CloseSocketsAndStopSocketLibrary() = 0;
  virtual void StopDiscoveryListener() = 0;  // request termination and wait
  // Requests termination, aborts the pending read on the master bus and
  // waits for the reader (unless a TCP bus is being built).
  virtual void StopEventReader() = 0;
  // Stops every print watcher of the printer (then the fax) list and waits
  // for each while window messages keep being pumped.
  virtual void StopPrinterWatchers() = 0;
  virtual void StopFaxWatchers() = 0;
  // Frees the auto-connect entries and lists; closes the three locks.
  virtual void FreeAutoConnectEntries() = 0;
  virtual void CloseLocks() = 0;
  virtual void DeleteAllTcpBus() = 0;  // closes every server's TCP bus
  virtual void ClearServerTree() = 0;  // deletes every node and its record
  // Closes the master bus handle; false when that fails.
  virtual bool CloseMasterBus() = 0;
};

}  // namespace vx::app
