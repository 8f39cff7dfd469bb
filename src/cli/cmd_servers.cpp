// vessix-cli servers [--json]: opens the bus driver (the lab channel when
// VESSIX_BUS_EMULATOR is set), reads its bus list, builds the TCP bus of
// every usable server and prints each server with its devices.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "busdriver/driver_channel.h"
#include "busdriver/operations.h"
#include "cli/command.h"
#include "platform/clock.h"
#include "platform/trace.h"

namespace vx::cli {
namespace {

std::string JsonText(const std::string& s) {
  std::string out = "\"";
  for (unsigned char c : s) {
    switch (c) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
      default:
        if (c < 0x20) {
          char u[8];
          std::snprintf(u, sizeof u, "\\u%04x", c);
          out += u;
        } else {
          out += char(c);
        }
    }
  }
  return out + "\"";
}

std::string Hex4(uint16_t v) {
  char t[8];
  std::snprintf(t, sizeof t, "%04X", v);
  return t;
}

std::string ServerJson(const bus::BusEntry& s, const bus::DeviceList& list) {
  std::string j = "{\"ip\":" + JsonText(bus::Ipv4Text(s.ip)) + ",\"name\":" + JsonText(s.name) +
                  ",\"location\":" + std::to_string(s.location) + ",\"devices\":[";
  for (size_t i = 0; i < list.devices.size(); ++i) {
    const auto& d = list.devices[i];
    if (i) j += ",";
    j += "{\"device_no\":" + std::to_string(d.device_no) + ",\"vid\":" + JsonText(Hex4(d.vid)) +
         ",\"pid\":" + JsonText(Hex4(d.pid)) + ",\"class\":" + JsonText(d.usb_class) +
         ",\"manufacturer\":" + JsonText(d.manufacturer) + ",\"product\":" + JsonText(d.product) +
         ",\"serial\":" + JsonText(d.serial) + ",\"owner\":" + JsonText(d.owner) +
         ",\"lock_type\":" + std::to_string(d.lock_type) + ",\"lock_count\":" + std::to_string(d.lock_count) +
         "}";
  }
  return j + "]}";
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

int Servers(const std::vector<std::string>& args) {
  bool json = false;
  for (const auto& a : args) {
    if (a == "--json") {
      json = true;
    } else {
      std::fprintf(stderr, "usage: vessix-cli servers [--json]\n");
      return 2;
    }
  }
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
      std::printf("%s\n", ServerJson(s, list).c_str());
    else
      PrintText(s, list, usable, read);
  }
  std::fflush(stdout);
  return 0;
}

CommandRegistration reg("servers", "servers [--json]   list the bus driver's servers with their devices",
                        &Servers);

}  // namespace
}  // namespace vx::cli
