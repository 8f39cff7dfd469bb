// The records of the server tree: `ServerData` for a server node and
// `DeviceData` for a device node. A node owns its record; the commands of the
// other subsystems act on the selected node's record. All of it is main-thread
// state: worker threads hand values over and never write a record.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

#include "busdriver/driver_channel.h"

namespace vx::model {

// `BusState` values.
inline constexpr int kBusAutomatic = 1;  // a TCP bus may be built automatically
inline constexpr int kBusGaveUp = 0;     // three automatic build attempts failed
inline constexpr int kBusLost = -1;      // the driver reported the server lost

struct ServerData {
  // The server's TCP bus; null stands for the handle value -1 (none).
  std::shared_ptr<bus::DriverHandle> TcpBusHandle;
  std::string TcpBusPath;
  std::string DisplayName;  // node text: ServerName + " - " + IpAddress + suffix
  std::string ServerName;   // from the bus list (UTF-8)
  std::string IpAddress;    // dotted IPv4 text from the bus list
  std::string Location;     // location code from the bus list, as decimal text
  std::string MacAddress;   // "AA:BB:CC:DD:EE:FF" once the info query answered
  std::array<uint8_t, 6> MacBytes{};
  std::string Model;
  std::string ConfigdVersion;
  uint32_t Wireless = 0;     // 0: wired only
  uint32_t SoftwareBus = 0;  // 0: no USB bus to share
  int AdapterIndex = 0;
  uint64_t ConfigSocket = 0;  // 0: no configuration connection
  uint32_t ConfigdType = 0;
  uint32_t UsbPorts = 0;
  uint32_t StorageMode = 0;
  // Set while an info query runs for this server; the query clears it from
  // its own thread, hence shared and atomic.
  std::shared_ptr<std::atomic<bool>> InfoPending = std::make_shared<std::atomic<bool>>(false);
  int BusState = kBusAutomatic;
  int Online = 0;  // remote servers: 1 once their TCP bus is built

  bool HasTcpBus() const { return TcpBusHandle != nullptr; }
};

struct DeviceData {
  std::string DeviceNo;  // decimal text of the device number on the server's bus
  std::string DisplayName;
  std::string Identity;  // Vid + " - " + Pid + " - " + SerialNo
  std::string Class;
  std::string Manufacturer;  // empty or blank in the list: " "
  std::string Product;
  std::string Owner;  // computer name of the holding PC; empty: free
  std::string Vid, Pid;
  std::string SerialNo;
  std::string AutoPrintName;
  int AutoPrintIndex = -1;
  std::string AutoFaxName;
  int AutoFaxIndex = -1;
  int LockType = 0;  // 2 connected manually, 1 automatically
  int LockCounter = 0;
};

// Location codes as the bus list gives them.
bool IsUsableLocation(const std::string& location);  // "1" or "3"
bool IsRemoteLocation(const std::string& location);  // "3"

}  // namespace vx::model
