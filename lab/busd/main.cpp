// vx-busd: the lab's emulator of the virtual USB bus driver, one per
// simulated PC, listening for the lab channel on loopback inside that PC's
// network namespace. See docs/bus-driver.md.
#include <signal.h>
#include <unistd.h>

#include <cctype>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>

#include "busdriver/labchannel/lab_client.h"
#include "channel_server.h"
#include "claim_hook.h"
#include "discover.h"
#include "emulator.h"
#include "netinfo.h"
#include "platform/net/network.h"

namespace {

volatile sig_atomic_t g_stop = 0;
void OnSignal(int) { g_stop = 1; }

int Usage() {
  std::fprintf(stderr,
               "usage: vx-busd --name PCNAME [--listen 127.0.0.1:7600] [--remote IP]... [--discover]\n"
               "               [--discover-target IP:PORT] [--discover-interval MS] [--server-port N]\n"
               "               [--stale-seconds N] [--driver-version A.B.C] [--config FILE]\n"
               "               [--on-claim COMMAND]\n");
  return 2;
}

bool ParseVersion(const std::string& s, vx::bus::VersionRecord* v) {
  return std::sscanf(s.c_str(), "%d.%d.%d", &v->a, &v->b, &v->c) == 3;
}

}  // namespace

int main(int argc, char** argv) {
  using namespace vx;
  busd::EmulatorConfig config;
  busd::DiscoverConfig discover;
  std::string listen = "127.0.0.1:7600";
  std::string target;
  std::string on_claim;  // the claim hook's command (see claim_hook.h)
  char host[256] = {};
  gethostname(host, sizeof host - 1);
  config.computer_name = host;
  for (auto& ch : config.computer_name) ch = char(std::toupper(static_cast<unsigned char>(ch)));

  auto apply_remote = [&](const std::string& ip) {
    auto v = net::Ipv4::Parse(ip);
    if (!v) return false;
    config.remote_servers.insert(v->NetworkOrder());
    discover.remote_servers.insert(v->NetworkOrder());
    return true;
  };

  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    auto next = [&]() -> std::string { return i + 1 < argc ? argv[++i] : ""; };
    if (a == "--name") {
      config.computer_name = next();
    } else if (a == "--listen") {
      listen = next();
    } else if (a == "--remote") {
      if (!apply_remote(next())) return Usage();
    } else if (a == "--discover") {
      discover.broadcast = true;
    } else if (a == "--discover-target") {
      target = next();
      discover.broadcast = true;
    } else if (a == "--discover-interval") {
      discover.interval = std::chrono::milliseconds(std::atoi(next().c_str()));
    } else if (a == "--server-port") {
      config.server_port = uint16_t(std::atoi(next().c_str()));
    } else if (a == "--stale-seconds") {
      config.stale_after = std::chrono::seconds(std::atoi(next().c_str()));
    } else if (a == "--driver-version") {
      if (!ParseVersion(next(), &config.driver_version)) return Usage();
    } else if (a == "--on-claim") {
      on_claim = next();
      if (on_claim.empty()) return Usage();
    } else if (a == "--config") {
      std::ifstream in(next());
      nlohmann::json j = nlohmann::json::parse(in, nullptr, false);
      if (j.is_discarded() || !j.is_object()) {
        std::fprintf(stderr, "vx-busd: the configuration is not a JSON object\n");
        return 2;
      }
      config.computer_name = j.value("name", config.computer_name);
      listen = j.value("listen", listen);
      for (const auto& r : j.value("remote", nlohmann::json::array()))
        if (!r.is_string() || !apply_remote(r.get<std::string>())) return Usage();
      discover.broadcast = j.value("discover", discover.broadcast);
      config.stale_after = std::chrono::seconds(j.value("stale_seconds", 45));
      if (j.contains("on_claim") && !j["on_claim"].is_string()) return Usage();
      on_claim = j.value("on_claim", on_claim);
      if (j.contains("driver_version") &&
          !ParseVersion(j.value("driver_version", ""), &config.driver_version))
        return Usage();
    } else {
      return Usage();
    }
  }
  if (config.computer_name.empty() || config.computer_name.size() > 63) return Usage();

  auto endpoint = lab::ParseEndpoint(listen);
  if (!endpoint || endpoint->address.bytes[0] != 127) {
    std::fprintf(stderr, "vx-busd: --listen must be a loopback host:port\n");
    return 2;
  }
  if (!target.empty()) {
    auto t = lab::ParseEndpoint(target);
    if (!t) return Usage();
    discover.target_ip = t->address.ToString();
    discover.target_port = t->port;
  }
  // Broadcasting happens only inside a lab namespace (loopback targets aside).
  std::string why;
  if (discover.broadcast && discover.target_ip.rfind("127.", 0) != 0 && !busd::InLabNamespace(&why)) {
    std::fprintf(stderr, "vx-busd: refusing --discover: %s\n", why.c_str());
    return 2;
  }
  config.local_nets = busd::ReadLocalNets;

  signal(SIGINT, OnSignal);
  signal(SIGTERM, OnSignal);
  signal(SIGPIPE, SIG_IGN);

  // The hook lives while claims can arrive (the channel server's threads)
  // and ends before the emulator it asks for device reports.
  std::unique_ptr<busd::ClaimHook> hook;
  if (!on_claim.empty())
    config.on_claimed = [&hook](uint32_t ip, int device_no) {
      if (hook) hook->Claimed(ip, device_no);
    };
  busd::Emulator emulator(config);
  if (!on_claim.empty())
    hook = std::make_unique<busd::ClaimHook>(
        busd::ClaimHook::Config{on_claim, config.computer_name},
        [&emulator](uint32_t ip, int device_no) { return emulator.DeviceReport(ip, device_no); });
  {
    const std::string listen_ip = endpoint->address.ToString();
    busd::ChannelServer server(emulator, listen_ip, endpoint->port);
    if (!server.ok()) {
      std::fprintf(stderr, "vx-busd: %s\n", server.error().c_str());
      hook.reset();
      return 1;
    }
    std::unique_ptr<busd::Discoverer> discoverer;
    if (discover.broadcast || !discover.remote_servers.empty())
      discoverer = std::make_unique<busd::Discoverer>(emulator, discover);
    std::fprintf(stderr, "vx-busd: %s listening on %s:%u\n", config.computer_name.c_str(), listen_ip.c_str(),
                 unsigned(server.port()));
    while (!g_stop) pause();
    std::fprintf(stderr, "vx-busd: stopping\n");
  }
  hook.reset();
  return 0;
}
