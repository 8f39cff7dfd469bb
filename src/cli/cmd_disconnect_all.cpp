// vessix-cli disconnect-all [<server-ip>] [--json]
// Ejects (storage) and releases every device this PC holds, on one server or
// on all, one worker per device; returns once all have finished. Exit 1 when
// a release failed or the server is unknown.
#include <cstdio>
#include <memory>
#include <optional>
#include <string>

#include "busdriver/operations.h"
#include "cli/bus_session.h"
#include "cli/command.h"
#include "cli/json_output.h"
#include "devices/computer_name.h"
#include "devices/disconnect_all.h"
#include "devices/ejection.h"
#include "platform/main_thread.h"

namespace vx::cli {
namespace {

struct Options {
  std::string ip;
  bool json = false;
};

int DisconnectAllCommand(Options o) {
  std::optional<std::string> only;
  if (!o.ip.empty()) only = ServerIpArgument(o.ip);
  TraceToStderrWhenAsked();
  std::string why;
  auto session = OpenBusSession(&why);
  if (!session) {
    std::fprintf(stderr, "vessix-cli disconnect-all: %s\n", why.c_str());
    return 1;
  }
  std::vector<devices::ServerDevices> servers;
  bool known = !only;
  for (const auto& s : session->servers) {
    std::string ip = bus::Ipv4Text(s.ip);
    if (only && ip != *only) continue;
    known = true;
    if (s.location != 1 && s.location != 3) continue;
    devices::ServerDevices sd{ip, OpenServerBus(*session, ip, &why), {}};
    bus::DeviceList list;
    if (!sd.tcp_bus || !bus::GetDeviceList(*sd.tcp_bus, &list)) {
      std::fprintf(stderr, "vessix-cli disconnect-all: %s: device list not available\n", ip.c_str());
      continue;
    }
    for (const auto& d : list.devices) sd.devices.push_back({RefOf(d), d.owner});
    servers.push_back(std::move(sd));
  }
  if (!known) {
    std::fprintf(stderr, "vessix-cli disconnect-all: no server %s in the bus driver's list\n", only->c_str());
    return 1;
  }
  auto ejector = devices::MakeSystemEjector();
  auto items = devices::DisconnectAll(InlineMainThread(), servers, devices::ComputerName(), only, *ejector);
  int failed = 0;
  for (const auto& i : items) {
    if (!i.released) ++failed;
    if (o.json) {
      Json j{{"command", "disconnect-all"},
             {"server", i.ip},
             {"device_no", std::stoi(i.device_no)},
             {"result", i.released ? "disconnected" : "release-failed"}};
      if (i.ejected) j["eject_result"] = i.eject_result;
      PrintJsonLine(j);
    } else {
      std::printf("disconnect %s on %s: %s\n", i.device_no.c_str(), i.ip.c_str(),
                  i.released ? "disconnected" : "release-failed");
    }
  }
  if (!o.json && items.empty()) std::printf("no device held by this PC\n");
  std::fflush(stdout);
  if (failed) std::fprintf(stderr, "vessix-cli disconnect-all: %d release(s) refused\n", failed);
  return failed ? 1 : 0;
}

void Register(CLI::App& root, Actions& actions) {
  auto o = std::make_shared<Options>();
  CLI::App* cmd =
      root.add_subcommand("disconnect-all", "release every device this PC holds (on one server or all)");
  cmd->add_option("server-ip", o->ip, "only this server");
  cmd->add_flag("--json", o->json, "one JSON object per device and line");
  actions.Bind(cmd, [o] { return DisconnectAllCommand(*o); });
}

CommandRegistration reg(&Register);

}  // namespace
}  // namespace vx::cli
