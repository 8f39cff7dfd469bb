// vessix-cli config <server> <verb> [options]: reads and changes a server's
// configuration over the configuration protocol, the way the settings
// dialog does. <server> is a MAC address or an IPv4 address that discovery
// finds on the local networks. Output scripts can rely on:
//   - the record (get), one "Field: value" line each, or with --json one
//     JSON object whose keys are the record's field names;
//   - firmware progress as "N%" lines;
//   - last, "result N": the reply's result (none when no reply came);
//   - exit 0 on success, 1 on a non-zero result or no reply, 2 for usage.
// The administrator password is sent to the server and never printed.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "admin/config_client.h"
#include "cli/command.h"
#include "discovery/discovery_service.h"
#include "discovery/server_info.h"
#include "platform/net/network.h"
#include "platform/trace.h"

namespace vx::cli {
namespace {

using namespace vx::admin;

constexpr const char* kUsage =
    "usage: vessix-cli config <server> <verb> [options]\n"
    "  <server>  MAC address (AA:BB:CC:DD:EE:FF) or IPv4 address of a server on the local networks\n"
    "  verbs:    get general|tcpip|tcpip-status|protocols|printers|wireless [--json]\n"
    "            login --user U --password P\n"
    "            set-admin --user U --password P\n"
    "            set general --name NAME\n"
    "            set tcpip --dhcp | --static IP MASK GATEWAY\n"
    "            restart | factory-default | firmware FILE.bin\n"
    "  options:  --transport udp|tcp|auto (default auto)  --seconds N (discovery wait, default 5)\n"
    "            --verbose (the protocol's log lines on stderr)\n";

struct Options {
  std::vector<std::string> words;  // server, verb, verb arguments
  std::string transport = "auto";
  bool json = false;
  bool verbose = false;
  bool dhcp = false;
  int seconds = 5;
  std::optional<std::string> user, password, name;
  std::vector<std::string> static_ip;  // IP MASK GATEWAY
};

struct Usage {
  std::string message;
};

// --- arguments -----------------------------------------------------------------

Options Parse(const std::vector<std::string>& args) {
  Options o;
  auto value = [&](size_t& i, const std::string& option) -> std::string {
    if (i + 1 >= args.size()) throw Usage{option + " needs a value"};
    return args[++i];
  };
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "--json")
      o.json = true;
    else if (a == "--verbose")
      o.verbose = true;
    else if (a == "--dhcp")
      o.dhcp = true;
    else if (a == "--transport")
      o.transport = value(i, a);
    else if (a == "--user")
      o.user = value(i, a);
    else if (a == "--password")
      o.password = value(i, a);
    else if (a == "--name")
      o.name = value(i, a);
    else if (a == "--seconds") {
      const std::string v = value(i, a);
      if (v.empty() || v.size() > 4 ||
          !std::all_of(v.begin(), v.end(), [](char c) { return c >= '0' && c <= '9'; }))
        throw Usage{"--seconds takes a number of seconds (0-9999)"};
      o.seconds = std::stoi(v);
    } else if (a == "--static") {
      for (int k = 0; k < 3; ++k) o.static_ip.push_back(value(i, a));
    } else if (a.size() > 1 && a[0] == '-') {
      throw Usage{"unknown option " + a};
    } else {
      o.words.push_back(a);
    }
  }
  if (o.transport != "udp" && o.transport != "tcp" && o.transport != "auto")
    throw Usage{"--transport is udp, tcp or auto"};
  return o;
}

net::Ipv4 AddressArg(const std::string& text, const char* what) {
  auto ip = net::Ipv4::Parse(text);
  if (!ip) throw Usage{std::string(what) + " '" + text + "' is not an IPv4 address"};
  return *ip;
}

// An administrator name or password: what fits into its 16-byte field.
std::string Credential(const std::optional<std::string>& v, const char* option, bool allow_empty) {
  if (!v) throw Usage{std::string(option) + " is required"};
  if (v->size() > 15) throw Usage{std::string(option) + " takes at most 15 characters"};
  if (!allow_empty && v->empty()) throw Usage{std::string(option) + " must not be empty"};
  return *v;
}

// The server name rule of the settings dialog: 1-15 letters, digits, % - . _
void CheckServerName(const std::string& name) {
  const bool ok = !name.empty() && name.size() <= 15 && std::all_of(name.begin(), name.end(), [](char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '%' ||
           c == '-' || c == '.' || c == '_';
  });
  if (!ok) throw Usage{"--name takes 1-15 letters, digits, '%', '-', '.' or '_'"};
}

// --- output --------------------------------------------------------------------

using Value = std::variant<int64_t, std::string, std::vector<std::string>>;
using Fields = std::vector<std::pair<std::string, Value>>;

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

void PrintRecord(const Fields& fields, bool json) {
  if (json) {
    std::string line = "{";
    for (const auto& [key, v] : fields) {
      if (line.size() > 1) line += ",";
      line += JsonString(key);
      line += ':';
      if (auto* n = std::get_if<int64_t>(&v))
        line += std::to_string(*n);
      else if (auto* s = std::get_if<std::string>(&v))
        line += JsonString(*s);
      else {
        std::string list;
        // Appended piece by piece: a concatenation here trips GCC 12's
        // -Werror=restrict false positive at -O3.
        line += '[';
        bool first = true;
        for (const auto& item : std::get<std::vector<std::string>>(v)) {
          if (!first) line += ',';
          first = false;
          line += JsonString(item);
        }
        line += ']';
      }
    }
    std::printf("%s}\n", line.c_str());
    return;
  }
  for (const auto& [key, v] : fields) {
    std::string text;
    if (auto* n = std::get_if<int64_t>(&v))
      text = std::to_string(*n);
    else if (auto* s = std::get_if<std::string>(&v))
      text = *s;
    else
      for (const auto& item : std::get<std::vector<std::string>>(v)) {
        if (!text.empty()) text += ' ';
        text += item;
      }
    std::printf("%s: %s\n", key.c_str(), text.c_str());
  }
}

Fields FieldsOf(const GeneralConfig& g) {
  return {{"Description", g.Description}, {"ServerName", g.ServerName}, {"Workgroup", g.Workgroup},
          {"Reserved84", g.Reserved84},   {"Codepage", g.Codepage},     {"ExtendedWrite", g.ExtendedWrite}};
}

Fields FieldsOf(const TcpIpConfig& t) {
  return {{"IpAddress", t.IpAddress.ToString()},
          {"SubnetMask", t.SubnetMask.ToString()},
          {"Gateway", t.Gateway.ToString()},
          {"DnsServer", t.DnsServer.ToString()},
          {"ManualDns", t.ManualDns.ToString()},
          {"DhcpServerAddress", t.DhcpServerAddress.ToString()},
          {"DhcpOn", t.DhcpOn},
          {"ManualDnsOn", t.ManualDnsOn},
          {"DhcpFailed", t.DhcpFailed},
          {"LeaseTime", t.LeaseTime},
          {"ExtendedWrite", t.ExtendedWrite}};
}

Fields FieldsOf(const ProtocolConfig& p) {
  Fields f;
  for (const auto& field : ProtocolFields())
    f.emplace_back(field.name,
                   field.width == 1 ? int64_t{p.bytes[field.offset]} : int64_t{p.Int(field.offset)});
  return f;
}

Fields FieldsOf(const PrinterPortInfo& p) {
  return {{"Port1QueueName", p.Port1QueueName}, {"Port2QueueName", p.Port2QueueName}};
}

Fields FieldsOf(const WirelessConfig& w) {
  return {{"Region", w.Region},
          {"StationName", w.StationName},
          {"NetworkType", w.NetworkType},
          {"Ssid", w.Ssid},
          {"Bssid", w.Bssid},
          {"Channel", w.Channel},
          {"Security", w.Security},
          {"WepAuth", w.WepAuth},
          {"WepKeySize", w.WepKeySize},
          {"WepDefaultKey", w.WepDefaultKey},
          {"WepKey", std::vector<std::string>(w.WepKey.begin(), w.WepKey.end())},
          {"PskFormat", w.PskFormat},
          {"PreSharedKey", w.PreSharedKey},
          {"Encryption", w.Encryption},
          {"LinkQuality", w.LinkQuality},
          {"SignalStrength", w.SignalStrength},
          {"CurrentChannel", w.CurrentChannel}};
}

// Prints "result N" for an operation's outcome (none without a reply) and
// gives the exit code.
int Finish(int r, const ConfigTransport& t) {
  // A refused firmware chunk is -1 for the upload; its reply's result is shown.
  std::optional<int32_t> shown = r != -1 ? std::optional<int32_t>(r) : t.LastReplyResult();
  if (shown) std::printf("result %d\n", *shown);
  std::fflush(stdout);
  if (!shown) std::fprintf(stderr, "vessix-cli config: no valid reply from the server\n");
  if (shown == kResultWrongLogin)
    std::fprintf(stderr, "vessix-cli config: wrong administrator name or password\n");
  if (shown == kResultAdminBusy)
    std::fprintf(stderr, "vessix-cli config: another administrator is logged in\n");
  return r == 0 ? 0 : 1;
}

template <class Record>
int PrintRead(int r, const Record& record, const ConfigTransport& t, bool json) {
  if (r == kResultOk) PrintRecord(FieldsOf(record), json);
  return Finish(r, t);
}

// --- the verbs -----------------------------------------------------------------

struct Verb {
  std::string name;  // "get", "set", ...
  std::string what;  // the record of get and set
  std::vector<uint8_t> image;
};

// Checks the verb and its arguments before anything goes on the network.
Verb CheckVerb(const Options& o) {
  if (o.words.size() < 2) throw Usage{"a server and a verb are needed"};
  Verb v{o.words[1], o.words.size() > 2 ? o.words[2] : "", {}};
  const size_t want = v.name == "get" || v.name == "set" || v.name == "firmware" ? 3 : 2;
  if (o.words.size() != want) throw Usage{"wrong number of arguments for '" + v.name + "'"};
  if (v.name == "get") {
    static const char* kRecords[] = {"general", "tcpip", "tcpip-status", "protocols", "printers", "wireless"};
    if (std::none_of(std::begin(kRecords), std::end(kRecords), [&](const char* r) { return v.what == r; }))
      throw Usage{"get reads general, tcpip, tcpip-status, protocols, printers or wireless"};
  } else if (v.name == "login" || v.name == "set-admin") {
    Credential(o.user, "--user", false);
    Credential(o.password, "--password", v.name == "login");
  } else if (v.name == "set" && v.what == "general") {
    if (!o.name) throw Usage{"set general needs --name NAME"};
    CheckServerName(*o.name);
  } else if (v.name == "set" && v.what == "tcpip") {
    if (o.dhcp == !o.static_ip.empty()) throw Usage{"set tcpip needs --dhcp or --static IP MASK GATEWAY"};
    if (!o.dhcp) {
      const net::Ipv4 ip = AddressArg(o.static_ip[0], "IP"), mask = AddressArg(o.static_ip[1], "MASK"),
                      gw = AddressArg(o.static_ip[2], "GATEWAY");
      if (ip.IsZero() || mask.IsZero() || gw.IsZero())
        throw Usage{"--static takes addresses other than 0.0.0.0"};
      for (size_t i = 0; i < 4; ++i)
        if ((ip.bytes[i] & mask.bytes[i]) != (gw.bytes[i] & mask.bytes[i]))
          throw Usage{"the IP address and the gateway are on different subnets"};
    }
  } else if (v.name == "set") {
    throw Usage{"set writes general or tcpip"};
  } else if (v.name == "firmware") {
    if (o.transport == "udp") throw Usage{"firmware goes over TCP only"};
    std::ifstream in(v.what, std::ios::binary);
    if (in) v.image.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    if (!in || v.image.empty())
      throw Usage{"cannot read a firmware image from '" + v.what + "' (missing or empty)"};
  } else if (v.name != "restart" && v.name != "factory-default") {
    throw Usage{"unknown verb '" + v.name + "'"};
  }
  return v;
}

int RunVerb(const Options& o, const Verb& v, ConfigClient& c, const Mac& server) {
  ConfigTransport& t = c.Transport();
  if (v.name == "get") {
    if (v.what == "general") {
      GeneralConfig g;
      return PrintRead(c.GetGeneral(server, g), g, t, o.json);
    }
    if (v.what == "tcpip" || v.what == "tcpip-status") {
      TcpIpConfig r;
      return PrintRead(v.what == "tcpip" ? c.GetTcpIp(server, r) : c.GetTcpIpStatus(server, r), r, t, o.json);
    }
    if (v.what == "protocols") {
      ProtocolConfig p;
      return PrintRead(c.GetProtocols(server, p), p, t, o.json);
    }
    if (v.what == "printers") {
      PrinterPortInfo p;
      return PrintRead(c.GetPrinterInfo(server, p), p, t, o.json);
    }
    WirelessConfig w;
    return PrintRead(c.GetWireless(server, w), w, t, o.json);
  }
  if (v.name == "login") return Finish(c.CheckLogin(server, *o.user, *o.password), t);
  if (v.name == "set-admin") {
    // As the settings dialog: set, then log in with the new administrator.
    int r = c.SetAdministrator(server, *o.user, *o.password);
    if (r == kResultOk) r = c.CheckLogin(server, *o.user, *o.password);
    return Finish(r, t);
  }
  if (v.name == "set" && v.what == "general") {
    // The record as read, with only the name changed (code page 0).
    GeneralConfig g;
    const int r = c.GetGeneral(server, g);
    if (r != kResultOk) return Finish(r, t);
    g.ServerName = *o.name;
    g.Codepage = 0;
    return Finish(c.SetGeneral(server, g), t);
  }
  if (v.name == "set") {
    TcpIpConfig tcpip;
    const int r = c.GetTcpIp(server, tcpip);
    if (r != kResultOk) return Finish(r, t);
    tcpip.DhcpOn = o.dhcp ? 1 : 0;
    if (!o.dhcp) {
      tcpip.IpAddress = *net::Ipv4::Parse(o.static_ip[0]);
      tcpip.SubnetMask = *net::Ipv4::Parse(o.static_ip[1]);
      tcpip.Gateway = *net::Ipv4::Parse(o.static_ip[2]);
    }
    return Finish(c.SetTcpIp(server, tcpip), t);
  }
  if (v.name == "restart") return Finish(c.Restart(server), t);
  if (v.name == "factory-default") return Finish(c.FactoryDefault(server), t);
  // firmware
  const int r = c.UploadFirmware(server, v.image, [](int p) {
    std::printf("%d%%\n", p);
    std::fflush(stdout);
  });
  return Finish(r, t);
}

// Finds the server in the discovery table: by its address, or by its MAC
// (the record's MAC or its `MacBytes`).
std::optional<discovery::Record> FindServer(discovery::Discovery& d, const std::optional<net::Ipv4>& ip,
                                            const std::optional<Mac>& mac) {
  for (const auto& e : d.Table().Entries()) {
    if (ip && discovery::EntryAddress(e) == *ip) return e;
    if (mac) {
      auto info = discovery::ParseServerInfo(e, d.Codec());
      if (info.mac_address == discovery::MacText(*mac) || info.mac_bytes == *mac) return e;
    }
  }
  return std::nullopt;
}

int Run(const Options& o) {
  const std::string& server_text = o.words[0];
  const auto ip = net::Ipv4::Parse(server_text);
  const auto mac = ip ? std::nullopt : discovery::ParseMac(server_text);
  if (!ip && !mac)
    throw Usage{"'" + server_text + "' is neither a MAC address (AA:BB:CC:DD:EE:FF) nor an IPv4 address"};
  const Verb verb = CheckVerb(o);
  if (o.verbose)
    SetTraceSink([](std::string_view line) {
      std::fprintf(stderr, "%.*s\n", static_cast<int>(line.size()), line.data());
    });

  auto net = net::MakeSystemNetwork();
  if (auto refusal = net->BroadcastRefusal()) {
    std::fprintf(stderr, "vessix-cli config: %s\n", refusal->c_str());
    return 2;
  }
  discovery::DiscoverySettings settings;
  settings.select_timeout = std::chrono::milliseconds(100);
  discovery::DiscoveryService service(*net, SystemClock(), InlineMainThread(), SystemTextCodec(), settings);
  if (!service.OpenWorkingSockets()) {
    std::fprintf(stderr, "vessix-cli config: no discovery socket could be opened\n");
    return 1;
  }
  service.StartDiscovery(discovery::ListenerWiring{});
  std::optional<discovery::Record> entry;
  const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(o.seconds);
  while (!(entry = FindServer(service.Core(), ip, mac)) && std::chrono::steady_clock::now() < until)
    SystemClock().SleepFor(std::chrono::milliseconds(50));
  // The configuration replies arrive on the discovery sockets: the listener
  // must not take them.
  service.StopListener();
  if (!entry) {
    service.CloseSocketsAndLibrary();
    std::fprintf(stderr, "vessix-cli config: server %s not found on the local networks\n",
                 server_text.c_str());
    return 1;
  }
  const discovery::ServerInfo info = discovery::ParseServerInfo(*entry, service.Core().Codec());
  const net::Ipv4 address = discovery::EntryAddress(*entry);

  std::vector<AdapterSocket> adapters;
  for (const auto& slot : service.Core().Sockets().Snapshot())
    adapters.push_back(AdapterSocket{slot.socket, slot.mac});
  ConfigTransport transport(*net, adapters, InlineMainThread(), SystemTextCodec());
  ConfigTarget target{address.ToString(), info.mac_bytes, LocationOf(address, net->GetAdaptersInfo()),
                      info.configd_version, static_cast<size_t>(info.adapter_index)};
  if (o.transport == "auto" && verb.name != "firmware") {
    transport.Select(target, "Configure");
  } else if (o.transport == "tcp" || verb.name == "firmware") {
    ConnectOutcome c =
        OpenConfigConnection(*net, true, address, transport.Settings(), transport.Settings().connect_timeout);
    if (!c.stream) {
      std::fprintf(stderr, "vessix-cli config: %s\n",
                   verb.name == "firmware"
                       ? "Please configure your PC's TCP/IP and Server's to the same LAN !"
                       : ("no TCP connection to " + target.ip + " (" + std::to_string(c.code) + ")").c_str());
      service.CloseSocketsAndLibrary();
      return 1;
    }
    TraceLine(target.ip + " : Use TCP to Configure : " + std::to_string(c.stream->Handle()));
    transport.UseTcp(std::move(c.stream));
  } else {
    TraceLine(target.ip + " : Use UDP to Configure");
  }
  ConfigClient client(transport);
  const int code = RunVerb(o, verb, client, info.mac_bytes);
  transport.Close(target);
  service.CloseSocketsAndLibrary();
  return code;
}

int Config(const std::vector<std::string>& args) {
  if (std::find(args.begin(), args.end(), "--help") != args.end()) {
    std::fputs(kUsage, stdout);
    return 0;
  }
  try {
    Options o = Parse(args);
    if (o.words.empty()) throw Usage{"a server and a verb are needed"};
    return Run(o);
  } catch (const Usage& u) {
    std::fprintf(stderr, "vessix-cli config: %s\n%s", u.message.c_str(), kUsage);
    return 2;
  }
}

CommandRegistration reg("config",
                        "config <server> <verb> [options]   read and change a server's configuration",
                        &Config);

}  // namespace
}  // namespace vx::cli
