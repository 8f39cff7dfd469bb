// vessix-cli servers [--json]: opens the bus driver (the lab channel when
// VESSIX_BUS_EMULATOR is set), reads its bus list, builds the TCP bus of
// every usable server and prints each server with its devices.
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "busdriver/driver_channel.h"
#include "busdriver/operations.h"
#include "cli/command.h"
#include "cli/json_output.h"
#include "platform/clock.h"
#include "platform/trace.h"

namespace vx::cli {
namespace {

std::string Hex4(uint16_t v) {
  char t[8];
  std::snprintf(t, sizeof t, "%04X", v);
  return t;
}

Json ServerJson(const bus::BusEntry& s, const bus::DeviceList& list) {
  Json devices = Json::array();
  for (const auto& d : list.devices)
    devices.push_back(Json{{"device_no", d.device_no},
                           {"vid", Hex4(d.vid)},
                           {"pid", Hex4(d.pid)},
                           {"class", d.usb_class},
                           {"manufacturer", d.manufacturer},
                           {"product", d.product},
                           {"serial", d.serial},
                           {"owner", d.owner},
                           {"lock_type", d.lock_type},
                           {"lock_count", d.lock_count}});
  return Json{{"ip", bus::Ipv4Text(s.ip)}, {"name", s.name}, {"location", s.location}, {"devices", devices}};
}

void PrintText(const bus::BusEntry& s, const bus::DeviceList& list, bool usable, bool read) {
  std::printf("%s - %s  location %d\n", s.name.c_str(), bus::Ipv4Text(s.ip).c_str(), s.location);
  if (!usable) {
    std::printf("  (not usable from this PC: another subnet)\n");
    return;
  }
  if (!read) std::printf("  (device list not available)\n");
  for (const auto& d : list.devices) {
    std::printf("  [%d] %s - %s - %s  vid %s pid %s serial %s", d.device_no, d.usb_class.c_str(),
                d.manufacturer.c_str(), d.product.c_str(), Hex4(d.vid).c_str(), Hex4(d.pid).c_str(),
                d.serial.c_str());
    if (!d.owner.empty())
      std::printf("  held by %s (lock type %d, count %d)", d.owner.c_str(), d.lock_type, d.lock_count);
    std::printf("\n");
  }
}

int Servers(bool json) {
  // VESSIX_TRACE=1 shows the driver's trace lines on stderr.
  if (const char* t = std::getenv("VESSIX_TRACE"); t && *t == '1')
    SetTraceSink(
        [](std::string_view line) { std::fprintf(stderr, "trace: %.*s\n", int(line.size()), line.data()); });
  std::string why;
  auto channel = bus::MakeDriverChannel(&why);
  if (!channel) {
    std::fprintf(stderr, "vessix-cli servers: %s\n", why.c_str());
    return 1;
  }
  auto master = bus::GetMasterBus(*channel);
  if (!master) {
    std::fprintf(stderr, "vessix-cli servers: the bus driver is missing (no master bus)\n");
    return 1;
  }
  std::vector<bus::BusEntry> entries;
  if (bus::GetBusList(*master, SystemClock(), &entries) < 0) {
    std::fprintf(stderr, "vessix-cli servers: the bus list cannot be read\n");
    return 1;
  }
  for (const auto& s : entries) {
    bus::DeviceList list;
    bool usable = s.location == 1 || s.location == 3;
    bool read = false;
    if (usable) {
      std::string ip = bus::Ipv4Text(s.ip), path;
      std::shared_ptr<bus::DriverHandle> tcp_bus;
      bool opened = false;
      if (bus::IOCTL_BUILD_TCP_BUS(*master, ip)) {
        for (int attempt = 0; attempt < 4 && !opened; ++attempt) {
          if (attempt) SystemClock().SleepFor(std::chrono::milliseconds(300));
          opened = bus::GetTcpBus(*channel, ip, &tcp_bus, &path);
        }
      }
      read = opened && bus::GetDeviceList(*tcp_bus, &list);
      if (!read) std::fprintf(stderr, "vessix-cli servers: %s: device list not available\n", ip.c_str());
    }
    if (json)
      PrintJsonLine(ServerJson(s, list));
    else
      PrintText(s, list, usable, read);
  }
  std::fflush(stdout);
  return 0;
}

void Register(CLI::App& root, Actions& actions) {
  auto json = std::make_shared<bool>(false);
  CLI::App* cmd = root.add_subcommand("servers", "list the bus driver's servers with their devices");
  cmd->add_flag("--json", *json, "one JSON object per server and line");
  actions.Bind(cmd, [json] { return Servers(*json); });
}

CommandRegistration reg(&Register);

}  // namespace
}  // namespace vx::cli
