#include "uds_config.h"

#include <fstream>
#include <set>
#include <stdexcept>

namespace vx::lab {
namespace {

[[noreturn]] void Fail(const std::string& what) { throw std::runtime_error(what); }

template <class T>
T Get(const nlohmann::json& o, const char* key, T fallback) {
  if (!o.contains(key)) return fallback;
  try {
    return o.at(key).get<T>();
  } catch (const nlohmann::json::exception&) {
    Fail(std::string("bad value for \"") + key + "\"");
  }
}

uint32_t GetU32(const nlohmann::json& o, const char* key, uint32_t fallback) {
  if (!o.contains(key)) return fallback;
  const auto& v = o.at(key);
  if (!v.is_number_integer() || v.get<int64_t>() < 0 || v.get<int64_t>() > 0xFFFFFFFFLL)
    Fail(std::string("\"") + key + "\" must be an integer 0-4294967295");
  return static_cast<uint32_t>(v.get<int64_t>());
}

discovery::Mac GetMac(const nlohmann::json& o, const char* key) {
  auto mac = discovery::ParseMac(Get<std::string>(o, key, ""));
  if (!mac) Fail(std::string("\"") + key + "\" must be a MAC address like 00:80:92:00:00:21");
  return *mac;
}

}  // namespace

std::string SimServer::MacText() const { return discovery::MacText(mac); }

discovery::ServerRecordFields SimServer::Fields() const {
  discovery::ServerRecordFields f;
  f.mac = mac;
  f.model = model;
  f.name = name;
  f.firmware = firmware;
  f.configd_version = configd_version;
  f.mac_bytes = config_mac;
  f.network_type = network_type;
  f.software_bus = software_bus;
  f.configd_type = configd_type;
  f.usb_ports = usb_ports;
  f.storage_mode = storage_mode;
  f.address = ip;
  return f;
}

bool SimServer::SameSubnet(const net::Ipv4& other) const {
  uint32_t mask = prefix == 0 ? 0 : 0xFFFFFFFFu << (32 - prefix);
  auto host = [](const net::Ipv4& a) {
    return static_cast<uint32_t>(a.bytes[0]) << 24 | a.bytes[1] << 16 | a.bytes[2] << 8 | a.bytes[3];
  };
  return (host(ip) & mask) == (host(other) & mask);
}

SimServer ParseServer(const nlohmann::json& o) {
  if (!o.is_object()) Fail("a server must be a JSON object");
  SimServer s;
  s.config = o;
  s.name = Get<std::string>(o, "name", "");
  if (s.name.empty() || s.name.size() > 31 || s.name.find_first_of(" \t\r\n") != std::string::npos)
    Fail("\"name\" must be 1-31 characters without blanks");
  s.mac = GetMac(o, "mac");
  auto ip = net::Ipv4::Parse(Get<std::string>(o, "ip", ""));
  if (!ip || ip->IsZero()) Fail("server " + s.name + ": \"ip\" must be an IPv4 address");
  s.ip = *ip;
  s.prefix = Get<int>(o, "prefix", 24);
  if (s.prefix < 1 || s.prefix > 32) Fail("server " + s.name + ": \"prefix\" must be 1-32");
  s.model = Get<std::string>(o, "model", s.model);
  s.configd_version = Get<std::string>(o, "configd_version", s.configd_version);
  s.configd_type = GetU32(o, "configd_type", s.configd_type);
  s.network_type = GetU32(o, "network_type", s.network_type);
  s.software_bus = GetU32(o, "software_bus", s.software_bus);
  s.usb_ports = GetU32(o, "usb_ports", s.usb_ports);
  s.storage_mode = GetU32(o, "storage_mode", s.storage_mode);
  s.config_mac = o.contains("config_mac") ? GetMac(o, "config_mac") : s.mac;
  s.firmware = Get<std::string>(o, "firmware", s.firmware);
  const std::string announce = Get<std::string>(o, "announce", "long");
  if (announce == "long")
    s.announce = SimServer::Announce::kLong;
  else if (announce == "short")
    s.announce = SimServer::Announce::kShort;
  else if (announce == "both")
    s.announce = SimServer::Announce::kBoth;
  else if (announce == "none")
    s.announce = SimServer::Announce::kNone;
  else
    Fail("server " + s.name + ": \"announce\" must be long, short, both or none");
  const std::string reply = Get<std::string>(o, "reply", "auto");
  if (reply == "auto")
    s.reply = SimServer::Reply::kAuto;
  else if (reply == "unicast")
    s.reply = SimServer::Reply::kUnicast;
  else if (reply == "broadcast")
    s.reply = SimServer::Reply::kBroadcast;
  else
    Fail("server " + s.name + ": \"reply\" must be auto, unicast or broadcast");
  s.tcp = Get<bool>(o, "tcp", true);
  s.silent = Get<bool>(o, "silent", false);
  return s;
}

UdsConfig ParseConfig(const nlohmann::json& d) {
  if (!d.is_object()) Fail("the configuration must be a JSON object");
  UdsConfig c;
  c.interface = Get<std::string>(d, "interface", c.interface);
  c.announce_interval = Get<int>(d, "announce_interval", c.announce_interval);
  c.reboot_seconds = Get<int>(d, "reboot_seconds", c.reboot_seconds);
  if (c.announce_interval < 0 || c.reboot_seconds < 0) Fail("intervals must not be negative");
  if (d.contains("servers")) {
    if (!d.at("servers").is_array()) Fail("\"servers\" must be an array");
    std::set<std::string> names;
    for (const auto& o : d.at("servers")) {
      c.servers.push_back(ParseServer(o));
      if (!names.insert(c.servers.back().name).second) Fail("duplicate server name " + c.servers.back().name);
    }
  }
  return c;
}

UdsConfig LoadConfig(const std::string& path) {
  std::ifstream in(path);
  if (!in) Fail("cannot read " + path);
  nlohmann::json d;
  try {
    d = nlohmann::json::parse(in);
  } catch (const nlohmann::json::exception& e) {
    Fail(path + ": " + e.what());
  }
  return ParseConfig(d);
}

}  // namespace vx::lab
