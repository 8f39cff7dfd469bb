// vessix-cli discover [--seconds N] [--json]: finds the servers on every
// local network the way the program does (discovery sockets on port 7419, or
// ephemeral ports when another program holds it), listens N seconds and
// prints the discovery table, one server per line.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>

#include "cli/command.h"
#include "cli/json_output.h"
#include "discovery/discovery_service.h"
#include "discovery/server_info.h"
#include "platform/net/network.h"

namespace vx::cli {
namespace {

constexpr int kMaxSeconds = 24 * 3600;

struct Options {
  int seconds = 3;
  bool json = false;
};

void Print(const net::Ipv4& ip, const discovery::ServerInfo& s, bool json) {
  if (json) {
    PrintJsonLine(Json{{"ip", ip.ToString()},
                       {"mac", s.mac_address},
                       {"model", s.model},
                       {"configd_version", s.configd_version},
                       {"configd_type", s.configd_type},
                       {"usb_ports", s.usb_ports},
                       {"storage_mode", s.storage_mode},
                       {"wireless", s.network_type != 0},
                       {"software_bus", s.software_bus != 0}});
  } else {
    std::printf("%-15s  %s  %-20s  configd %-4s type %u  usb %u  storage %u  %s  %s\n", ip.ToString().c_str(),
                s.mac_address.c_str(), s.model.c_str(), s.configd_version.c_str(), s.configd_type,
                s.usb_ports, s.storage_mode, s.network_type != 0 ? "wireless" : "wired",
                s.software_bus != 0 ? "software-bus" : "no-software-bus");
  }
}

int Discover(const Options& o) {
  auto net = net::MakeSystemNetwork();
  if (auto refusal = net->BroadcastRefusal()) {
    std::fprintf(stderr, "vessix-cli discover: %s\n", refusal->c_str());
    return 2;
  }
  discovery::DiscoverySettings settings;
  settings.select_timeout = std::chrono::milliseconds(200);  // end promptly after N seconds
  discovery::DiscoveryService service(*net, SystemClock(), InlineMainThread(), SystemTextCodec(), settings);
  if (!service.OpenWorkingSockets()) {
    std::fprintf(stderr, "vessix-cli discover: %s\n",
                 service.Core().AdaptersFound() ? "no discovery socket could be opened on any adapter"
                                                : "no usable network adapter (IPv4 address and MAC address)");
    return 2;
  }
  service.StartDiscovery(discovery::ListenerWiring{});
  SystemClock().SleepFor(std::chrono::seconds(o.seconds));
  service.StopListener();
  service.CloseSocketsAndLibrary();

  auto entries = service.Core().Table().Entries();
  std::sort(entries.begin(), entries.end(), [](const discovery::Record& a, const discovery::Record& b) {
    return discovery::EntryAddress(a).bytes < discovery::EntryAddress(b).bytes;
  });
  for (const auto& e : entries)
    Print(discovery::EntryAddress(e), discovery::ParseServerInfo(e, service.Core().Codec()), o.json);
  std::fflush(stdout);
  return 0;
}

void Register(CLI::App& root, Actions& actions) {
  auto o = std::make_shared<Options>();
  CLI::App* cmd = root.add_subcommand("discover", "list the servers on the local networks");
  cmd->add_option("--seconds", o->seconds, "how long to listen for replies (default 3)")
      ->transform(DecimalRange(0, kMaxSeconds));
  cmd->add_flag("--json", o->json, "one JSON object per server and line");
  actions.Bind(cmd, [o] { return Discover(*o); });
}

CommandRegistration reg(&Register);

}  // namespace
}  // namespace vx::cli
