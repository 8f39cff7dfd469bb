// The bus driver as the device commands of vessix-cli use it: the channel
// (the lab channel when VESSIX_BUS_EMULATOR is set), the master bus, the bus
// list, and a server's TCP bus with its device list.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "busdriver/driver_channel.h"
#include "busdriver/records.h"
#include "devices/device_ops.h"

namespace vx::cli {

struct BusSession {
  std::unique_ptr<bus::DriverChannel> channel;
  std::shared_ptr<bus::DriverHandle> master;
  std::vector<bus::BusEntry> servers;
};

// VESSIX_TRACE=1 shows the trace lines on stderr.
void TraceToStderrWhenAsked();

// Opens the driver and reads the bus list; nullopt with `why` on failure.
std::optional<BusSession> OpenBusSession(std::string* why);

// Builds and opens the TCP bus of `ip` (a server of the bus list usable from
// this PC); null with `why` on failure.
std::shared_ptr<bus::DriverHandle> OpenServerBus(BusSession& session, const std::string& ip,
                                                 std::string* why);

// The device's entry in `list`, or nullptr.
const bus::DeviceEntry* FindDevice(const bus::DeviceList& list, int device_no);

devices::DeviceRef RefOf(const bus::DeviceEntry& d);

// Checks "a.b.c.d" (UsageError otherwise) and gives it back in canonical form.
std::string ServerIpArgument(const std::string& text);

}  // namespace vx::cli
