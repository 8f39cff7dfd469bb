#include "cli/bus_session.h"

#include <cstdio>
#include <cstdlib>

#include "busdriver/operations.h"
#include "cli/command.h"
#include "platform/clock.h"
#include "platform/net/network.h"
#include "platform/trace.h"

namespace vx::cli {

void TraceToStderrWhenAsked() {
  if (const char* t = std::getenv("VESSIX_TRACE"); t && *t == '1')
    SetTraceSink(
        [](std::string_view line) { std::fprintf(stderr, "trace: %.*s\n", int(line.size()), line.data()); });
}

std::optional<BusSession> OpenBusSession(std::string* why) {
  BusSession s;
  s.channel = bus::MakeDriverChannel(why);
  if (!s.channel) return std::nullopt;
  s.master = bus::GetMasterBus(*s.channel);
  if (!s.master) {
    *why = "the bus driver is missing (no master bus)";
    return std::nullopt;
  }
  if (bus::GetBusList(*s.master, SystemClock(), &s.servers) < 0) {
    *why = "the bus list cannot be read";
    return std::nullopt;
  }
  return s;
}

std::shared_ptr<bus::DriverHandle> OpenServerBus(BusSession& session, const std::string& ip,
                                                 std::string* why) {
  const bus::BusEntry* entry = nullptr;
  for (const auto& s : session.servers)
    if (bus::Ipv4Text(s.ip) == ip) entry = &s;
  if (!entry) {
    *why = "no server " + ip + " in the bus driver's list";
    return nullptr;
  }
  if (entry->location != 1 && entry->location != 3) {
    *why = "server " + ip + " is on another subnet";
    return nullptr;
  }
  std::shared_ptr<bus::DriverHandle> tcp_bus;
  std::string path;
  if (bus::IOCTL_BUILD_TCP_BUS(*session.master, ip)) {
    for (int attempt = 0; attempt < 4 && !tcp_bus; ++attempt) {
      if (attempt) SystemClock().SleepFor(std::chrono::milliseconds(300));
      if (!bus::GetTcpBus(*session.channel, ip, &tcp_bus, &path)) tcp_bus.reset();
    }
  }
  if (!tcp_bus) *why = "the TCP bus of " + ip + " cannot be opened";
  return tcp_bus;
}

const bus::DeviceEntry* FindDevice(const bus::DeviceList& list, int device_no) {
  for (const auto& d : list.devices)
    if (d.device_no == device_no) return &d;
  return nullptr;
}

devices::DeviceRef RefOf(const bus::DeviceEntry& d) {
  return {std::to_string(d.device_no),
          d.usb_class,
          d.product,
          d.vid,
          d.pid,
          d.serial,
          d.product + " (" + std::to_string(d.device_no) + ")"};
}

std::string ServerIpArgument(const std::string& text) {
  auto ip = net::Ipv4::Parse(text);
  if (!ip) throw UsageError("not an IPv4 address: " + text);
  return ip->ToString();
}

}  // namespace vx::cli
