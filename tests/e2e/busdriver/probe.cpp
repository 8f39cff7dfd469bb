// busdriver-probe: one driver operation per run over the lab channel
// (VESSIX_BUS_EMULATOR), for the lab tests that drive two PCs at once.
//   buslist                         IP NAME LOCATION per line
//   wait-server IP LOCATION SECONDS until the bus list shows it
//   devices IP                      one line per device
//   claim|release IP DEV            exit 0 on success
//   lock IP DEV TYPE TIME
//   request IP DEV COMMAND [IP]
//   events SECONDS CODE...          prints "ready", then each event; exit 0
//                                   once the codes were seen in this order
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "busdriver/driver_channel.h"
#include "busdriver/operations.h"

using namespace vx;

namespace {

std::shared_ptr<bus::DriverHandle> TcpBus(bus::DriverChannel& ch, bus::DriverHandle& master,
                                          const std::string& ip) {
  std::shared_ptr<bus::DriverHandle> h;
  std::string path;
  if (!bus::IOCTL_BUILD_TCP_BUS(master, ip) || !bus::GetTcpBus(ch, ip, &h, &path)) return nullptr;
  return h;
}

std::string Describe(const bus::EventRecord& e) {
  std::string s = "code=" + std::to_string(e.code);
  if (e.code == bus::kEventUpdateDeviceList) s += " server=" + bus::Ipv4Text(e.server_ip);
  if (e.code == bus::kEventRequestToUse)
    s += " command=" + std::to_string(e.command) + " device=" + std::to_string(e.device_no) +
         " server=" + bus::Ipv4Text(e.server_ip) + " asker=" + bus::Ipv4Text(e.asker_ip) +
         " host=" + e.host_name;
  if (e.code == bus::kEventErrorCode)
    s += " error=" + std::to_string(e.error_code) + " server=" + bus::Ipv4Text(e.server_ip);
  return s;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> a(argv + 1, argv + argc);
  if (a.empty()) return 2;
  std::string why;
  auto ch = bus::MakeDriverChannel(&why);
  auto master = ch ? bus::GetMasterBus(*ch) : nullptr;
  if (!master) {
    std::fprintf(stderr, "probe: no driver %s\n", why.c_str());
    return 1;
  }
  const std::string& cmd = a[0];
  if (cmd == "buslist" || cmd == "wait-server") {
    auto deadline = std::chrono::steady_clock::now() +
                    std::chrono::seconds(cmd == "buslist" ? 0 : std::atoi(a.at(3).c_str()));
    for (;;) {
      std::vector<bus::BusEntry> entries;
      int n = bus::GetBusList(*master, SystemClock(), &entries);
      bool found = false;
      for (const auto& e : entries) {
        if (cmd == "buslist")
          std::printf("%s %s %d\n", bus::Ipv4Text(e.ip).c_str(), e.name.c_str(), e.location);
        if (cmd == "wait-server" && bus::Ipv4Text(e.ip) == a.at(1) && std::to_string(e.location) == a.at(2))
          found = true;
      }
      if (cmd == "buslist") return n < 0 ? 1 : 0;
      if (found) return 0;
      if (std::chrono::steady_clock::now() > deadline) return 1;
      std::this_thread::sleep_for(std::chrono::milliseconds(300));
    }
  }
  if (cmd == "events") {
    int seconds = std::atoi(a.at(1).c_str());
    std::vector<int> want;
    for (size_t i = 2; i < a.size(); ++i) want.push_back(std::atoi(a[i].c_str()));
    std::atomic<bool> done{false};
    std::thread timer([&] {
      auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
      while (!done && std::chrono::steady_clock::now() < end)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
      master->InterruptReads();
    });
    std::printf("ready\n");
    std::fflush(stdout);
    size_t next = 0;
    std::vector<uint8_t> buf(bus::kEventBufferSize);
    while (next < want.size()) {
      auto r = master->Read(buf);
      if (!r.ok && r.last_error == bus::kErrorOperationAborted) break;
      auto e = r.ok ? bus::ParseEvent(std::span<const uint8_t>(buf.data(), r.bytes)) : std::nullopt;
      if (!e) continue;
      std::printf("%s\n", Describe(*e).c_str());
      std::fflush(stdout);
      if (e->code == want[next]) ++next;
    }
    done = true;
    timer.join();
    return next == want.size() ? 0 : 1;
  }
  auto bus = TcpBus(*ch, *master, a.at(1));
  if (!bus) {
    std::fprintf(stderr, "probe: no TCP bus for %s\n", a.at(1).c_str());
    return 1;
  }
  if (cmd == "devices") {
    bus::DeviceList list;
    if (!bus::GetDeviceList(*bus, &list)) return 1;
    for (const auto& d : list.devices)
      std::printf("device=%d class=%s owner=%s lock_type=%d lock_count=%d\n", d.device_no,
                  d.usb_class.c_str(), d.owner.c_str(), d.lock_type, d.lock_count);
    return 0;
  }
  bool ok = false;
  if (cmd == "claim") ok = bus::ClaimDevice(*bus, a.at(2));
  if (cmd == "release") ok = bus::ReleaseDevice(*bus, a.at(2));
  if (cmd == "lock")
    ok = bus::LockDevice(*bus, a.at(2), std::atoi(a.at(3).c_str()), uint32_t(std::atol(a.at(4).c_str())));
  if (cmd == "request")
    ok = bus::RequestDevice(*bus, a.at(2), std::atoi(a.at(3).c_str()), a.size() > 4 ? a[4] : "");
  return ok ? 0 : 1;
}
