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
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "admin/config_client.h"
#include "cli/command.h"
#include "cli/json_output.h"
#include "discovery/discovery_service.h"
#include "discovery/server_info.h"
#include "platform/net/network.h"
#include "platform/trace.h"

namespace vx::cli {
namespace {

using namespace vx::admin;

struct Options {
  std::string server;  // MAC or IPv4 text
  std::string verb;    // get, login, set-admin, set, restart, factory-default, firmware
  std::string what;    // the record of get and set, the file of firmware
  std::string transport = "auto";
  bool json = false;
  bool verbose = false;
  bool dhcp = false;
  int seconds = 5;
  std::optional<std::string> user, password, name;
  std::vector<std::string> static_ip;  // IP MASK GATEWAY
};

// --- arguments -----------------------------------------------------------------

net::Ipv4 AddressArg(const std::string& text, const char* what) {
  auto ip = net::Ipv4::Parse(text);
  if (!ip) throw UsageError(std::string(what) + " '" + text + "' is not an IPv4 address");
  return *ip;
}

// An administrator name or password: what fits into its 16-byte field.
std::string Credential(const std::optional<std::string>& v, const char* option, bool allow_empty) {
  if (!v) throw UsageError(std::string(option) + " is required");
  if (v->size() > 15) throw UsageError(std::string(option) + " takes at most 15 characters");
  if (!allow_empty && v->empty()) throw UsageError(std::string(option) + " must not be empty");
  return *v;
}

// The server name rule of the settings dialog: 1-15 letters, digits, % - . _
void CheckServerName(const std::string& name) {
  const bool ok = !name.empty() && name.size() <= 15 && std::all_of(name.begin(), name.end(), [](char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '%' ||
           c == '-' || c == '.' || c == '_';
  });
  if (!ok) throw UsageError("--name takes 1-15 letters, digits, '%', '-', '.' or '_'");
}

// --- output --------------------------------------------------------------------

void PrintRecord(const Json& record, bool json) {
  if (json) {
    PrintJsonLine(record);
    return;
  }
  for (const auto& [key, v] : record.items()) {
    std::string text;
    if (v.is_string()) {
      text = v.get<std::string>();
    } else if (v.is_array()) {
      for (const auto& item : v) {
        if (!text.empty()) text += ' ';
        text += item.get<std::string>();
      }
    } else {
      text = v.dump();
    }
    std::printf("%s: %s\n", key.c_str(), text.c_str());
  }
}

Json FieldsOf(const GeneralConfig& g) {
  return Json{{"Description", g.Description}, {"ServerName", g.ServerName},
              {"Workgroup", g.Workgroup},     {"Reserved84", g.Reserved84},
              {"Codepage", g.Codepage},       {"ExtendedWrite", g.ExtendedWrite}};
}

Json FieldsOf(const TcpIpConfig& t) {
  return Json{{"IpAddress", t.IpAddress.ToString()},
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

Json FieldsOf(const ProtocolConfig& p) {
  Json j = Json::object();
  for (const auto& f : ProtocolFields())
    j[f.name] = f.width == 1 ? int32_t{p.bytes[f.offset]} : p.Int(f.offset);
  return j;
}

Json FieldsOf(const PrinterPortInfo& p) {
  return Json{{"Port1QueueName", p.Port1QueueName}, {"Port2QueueName", p.Port2QueueName}};
}

Json FieldsOf(const WirelessConfig& w) {
  return Json{{"Region", w.Region},
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
  Verb v{o.verb, o.what, {}};
  if (v.name == "get") {
    // CLI11 checked the record's name.
  } else if (v.name == "login" || v.name == "set-admin") {
    Credential(o.user, "--user", false);
    Credential(o.password, "--password", v.name == "login");
  } else if (v.name == "set" && v.what == "general") {
    if (!o.name) throw UsageError("set general needs --name NAME");
    CheckServerName(*o.name);
  } else if (v.name == "set" && v.what == "tcpip") {
    if (o.dhcp == !o.static_ip.empty())
      throw UsageError("set tcpip needs --dhcp or --static IP MASK GATEWAY");
    if (!o.dhcp) {
      const net::Ipv4 ip = AddressArg(o.static_ip[0], "IP"), mask = AddressArg(o.static_ip[1], "MASK"),
                      gw = AddressArg(o.static_ip[2], "GATEWAY");
      if (ip.IsZero() || mask.IsZero() || gw.IsZero())
        throw UsageError("--static takes addresses other than 0.0.0.0");
      for (size_t i = 0; i < 4; ++i)
        if ((ip.bytes[i] & mask.bytes[i]) != (gw.bytes[i] & mask.bytes[i]))
          throw UsageError("the IP address and the gateway are on different subnets");
    }
  } else if (v.name == "firmware") {
    if (o.transport == "udp") throw UsageError("firmware goes over TCP only");
    std::ifstream in(v.what, std::ios::binary);
    if (in) v.image.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    if (!in || v.image.empty())
      throw UsageError("cannot read a firmware image from '" + v.what + "' (missing or empty)");
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
  const std::string& server_text = o.server;
  const auto ip = net::Ipv4::Parse(server_text);
  const auto mac = ip ? std::nullopt : discovery::ParseMac(server_text);
  if (!ip && !mac)
    throw UsageError("'" + server_text +
                     "' is neither a MAC address (AA:BB:CC:DD:EE:FF) nor an IPv4 address");
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

// Options stand anywhere after `config`: they belong to `config`, and each
// verb passes the options it does not know up to it.
void Register(CLI::App& root, Actions& actions) {
  auto o = std::make_shared<Options>();
  CLI::App* cmd = root.add_subcommand("config", "read and change a server's configuration");
  cmd->footer(
      "Output: the record (get: 'Field: value' lines, or one JSON object with --json), 'N%' progress lines "
      "(firmware), then 'result N' (none when no reply came). Exit 0 success, 1 non-zero result or no "
      "reply, 2 usage.");
  cmd->add_option("server", o->server, "MAC address (AA:BB:CC:DD:EE:FF) or IPv4 address of the server")
      ->required();
  cmd->add_option("--transport", o->transport,
                  "udp, tcp or auto (default: TCP for a local server of version "
                  "1.24 or later, else UDP)")
      ->check(CLI::IsMember({"udp", "tcp", "auto"}));
  cmd->add_option("--seconds", o->seconds, "how long discovery looks for the server (default 5)")
      ->transform(DecimalRange(0, 3600));
  cmd->add_flag("--verbose", o->verbose, "the protocol's log lines on stderr");
  cmd->add_flag("--json", o->json, "get: one JSON object keyed by the record's field names");
  cmd->add_option("--user", o->user, "administrator name (login, set-admin)");
  cmd->add_option("--password", o->password, "administrator password (login, set-admin)");
  cmd->add_option("--name", o->name, "set general: the new server name");
  cmd->add_flag("--dhcp", o->dhcp, "set tcpip: address by DHCP");
  cmd->add_option("--static", o->static_ip, "set tcpip: a static address")
      ->expected(3)
      ->type_name("IP MASK GATEWAY");
  cmd->require_subcommand(1);

  auto verb = [&](const char* name, const char* what) {
    CLI::App* v = cmd->add_subcommand(name, what);
    v->fallthrough();
    actions.Bind(v, [o, name] {
      o->verb = name;
      return Run(*o);
    });
    return v;
  };
  verb("get", "read a record")
      ->add_option("record", o->what, "general, tcpip, tcpip-status, protocols, printers or wireless")
      ->required()
      ->check(CLI::IsMember({"general", "tcpip", "tcpip-status", "protocols", "printers", "wireless"}));
  verb("login", "check an administrator name and password (--user, --password)");
  verb("set-admin", "set a new administrator name and password (--user, --password)");
  verb("set",
       "write the general record (--name) or the TCP/IP record (--dhcp or --static); the server restarts")
      ->add_option("record", o->what, "general or tcpip")
      ->required()
      ->check(CLI::IsMember({"general", "tcpip"}));
  verb("restart", "restart the server");
  verb("factory-default", "load the factory defaults and restart");
  verb("firmware", "upload a firmware image over TCP")
      ->add_option("file", o->what, "the image (.bin)")
      ->required();
}

CommandRegistration reg(&Register);

}  // namespace
}  // namespace vx::cli
