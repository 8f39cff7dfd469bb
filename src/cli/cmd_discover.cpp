// vessix-cli discover [--seconds N] [--json]: finds the servers on every
// local network the way the program does (discovery sockets on port 7419, or
// ephemeral ports when another program holds it), listens N seconds and
// prints the discovery table, one server per line.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "cli/command.h"
#include "discovery/discovery_service.h"
#include "discovery/server_info.h"
#include "platform/net/network.h"

namespace vx::cli {
namespace {

constexpr int kMaxSeconds = 24 * 3600;

// A JSON string literal; invalid UTF-8 becomes U+FFFD.
std::string JsonString(const std::string& s) {
  std::string out = "\"";
  for (size_t i = 0; i < s.size();) {
    const auto c = static_cast<unsigned char>(s[i]);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
      ++i;
    } else if (c < 0x20) {
      char esc[8];
      std::snprintf(esc, sizeof esc, "\\u%04x", c);
      out += esc;
      ++i;
    } else if (c < 0x80) {
      out += static_cast<char>(c);
      ++i;
    } else {
      size_t n = c >= 0xF0 && c < 0xF5 ? 4 : c >= 0xE0 ? 3 : c >= 0xC2 && c < 0xE0 ? 2 : 0;
      bool valid = n > 0 && i + n <= s.size();
      for (size_t k = 1; valid && k < n; ++k) valid = (static_cast<unsigned char>(s[i + k]) & 0xC0) == 0x80;
      if (valid) {
        out.append(s, i, n);
        i += n;
      } else {
        out += "\xEF\xBF\xBD";
        ++i;
      }
    }
  }
  return out + "\"";
}

struct Options {
  int seconds = 3;
  bool json = false;
};

bool ParseOptions(const std::vector<std::string>& args, Options* o) {
  for (size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--json") {
      o->json = true;
    } else if (args[i] == "--seconds" && i + 1 < args.size()) {
      const std::string& v = args[++i];
      if (v.empty() || v.size() > 5 ||
          !std::all_of(v.begin(), v.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return false;
      o->seconds = std::stoi(v);
      if (o->seconds > kMaxSeconds) return false;
    } else {
      return false;
    }
  }
  return true;
}

void Print(const net::Ipv4& ip, const discovery::ServerInfo& s, bool json) {
  if (json) {
    std::printf(
        "{\"ip\":%s,\"mac\":%s,\"model\":%s,\"configd_version\":%s,\"configd_type\":%u,\"usb_ports\":%u,"
        "\"storage_mode\":%u,\"wireless\":%s,\"software_bus\":%s}\n",
        JsonString(ip.ToString()).c_str(), JsonString(s.mac_address).c_str(), JsonString(s.model).c_str(),
        JsonString(s.configd_version).c_str(), s.configd_type, s.usb_ports, s.storage_mode,
        s.network_type != 0 ? "true" : "false", s.software_bus != 0 ? "true" : "false");
  } else {
    std::printf("%-15s  %s  %-20s  configd %-4s type %u  usb %u  storage %u  %s  %s\n", ip.ToString().c_str(),
                s.mac_address.c_str(), s.model.c_str(), s.configd_version.c_str(), s.configd_type,
                s.usb_ports, s.storage_mode, s.network_type != 0 ? "wireless" : "wired",
                s.software_bus != 0 ? "software-bus" : "no-software-bus");
  }
}

int Discover(const std::vector<std::string>& args) {
  Options o;
  if (!ParseOptions(args, &o)) {
    std::fprintf(stderr, "usage: vessix-cli discover [--seconds N] [--json]\n");
    return 2;
  }
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

CommandRegistration reg("discover",
                        "discover [--seconds N] [--json]   list the servers on the local networks",
                        &Discover);

}  // namespace
}  // namespace vx::cli
