#include "config_service.h"

#include <stdexcept>

namespace vx::lab {
namespace {

using namespace vx::admin;

[[noreturn]] void Fail(const std::string& what) { throw std::runtime_error(what); }

const TextCodec& Codec() { return IdentityTextCodec(); }

std::string Text(const nlohmann::json& o, const char* key, const std::string& fallback) {
  if (!o.contains(key)) return fallback;
  if (!o.at(key).is_string()) Fail(std::string("config_service: \"") + key + "\" must be a text");
  return o.at(key).get<std::string>();
}

int32_t Int(const nlohmann::json& o, const char* key, int32_t fallback) {
  if (!o.contains(key)) return fallback;
  const auto& v = o.at(key);
  if (v.is_boolean()) return v.get<bool>() ? 1 : 0;
  if (!v.is_number_integer()) Fail(std::string("config_service: \"") + key + "\" must be an integer");
  return static_cast<int32_t>(v.get<int64_t>());
}

bool Bool(const nlohmann::json& o, const char* key, bool fallback) {
  if (!o.contains(key)) return fallback;
  if (!o.at(key).is_boolean()) Fail(std::string("config_service: \"") + key + "\" must be true or false");
  return o.at(key).get<bool>();
}

net::Ipv4 Ip(const nlohmann::json& o, const char* key, net::Ipv4 fallback) {
  const std::string text = Text(o, key, "");
  if (text.empty()) return fallback;
  auto ip = net::Ipv4::Parse(text);
  if (!ip) Fail(std::string("config_service: \"") + key + "\" must be an IPv4 address");
  return *ip;
}

uint32_t HostOrder(const net::Ipv4& a) {
  return static_cast<uint32_t>(a.bytes[0]) << 24 | a.bytes[1] << 16 | a.bytes[2] << 8 | a.bytes[3];
}

net::Ipv4 FromHostOrder(uint32_t v) {
  return net::Ipv4{{static_cast<uint8_t>(v >> 24), static_cast<uint8_t>(v >> 16),
                    static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v)}};
}

net::Ipv4 MaskOf(int prefix) { return FromHostOrder(prefix == 0 ? 0 : 0xFFFFFFFFu << (32 - prefix)); }

// The prefix length of a contiguous mask; nullopt for anything else.
std::optional<int> PrefixOf(const net::Ipv4& mask) {
  const uint32_t m = HostOrder(mask);
  int n = 0;
  while (n < 32 && (m & (0x80000000u >> n))) ++n;
  if (n == 0 || (n < 32 && (m << n) != 0)) return std::nullopt;
  return n;
}

bool UsableName(const std::string& name) {
  return !name.empty() && name.size() <= 31 && name.find_first_of(" \t\r\n") == std::string::npos;
}

std::string MacText(const Mac& m) { return discovery::MacText(m); }

}  // namespace

ConfigService::State ConfigService::FromJson(const SimServer& s, const nlohmann::json& object) {
  const nlohmann::json empty = nlohmann::json::object();
  const nlohmann::json& o = object.contains("config_service") ? object.at("config_service") : empty;
  if (!o.is_object()) Fail("\"config_service\" must be an object");
  State st;
  st.factory = object;
  st.admin_user = Text(o, "admin_user", "admin");
  st.admin_password = Text(o, "admin_password", "");
  st.ignore_protocol_ex = Bool(o, "ignore_opcode_48", false);
  st.fail_firmware = Bool(o, "fail_firmware", false);
  st.session_seconds = Int(o, "session_seconds", 60);

  // The name and address as the file gives them (ParseServer checked them).
  const std::string name = object.value("name", s.name);
  const net::Ipv4 ip = net::Ipv4::Parse(object.value("ip", s.ip.ToString())).value_or(s.ip);
  const int prefix = object.value("prefix", s.prefix);
  st.general.ServerName = Text(o, "server_name", name);
  st.general.Workgroup = Text(o, "workgroup", "WORKGROUP");
  st.general.Description = Text(o, "description", "");
  st.general.Codepage = Int(o, "codepage", 0);
  st.general.ExtendedWrite = 0;

  st.tcpip.IpAddress = ip;
  st.tcpip.SubnetMask = MaskOf(prefix);
  st.tcpip.Gateway = Ip(o, "gateway", FromHostOrder((HostOrder(ip) & HostOrder(MaskOf(prefix))) + 1));
  st.tcpip.DnsServer = Ip(o, "dns", net::Ipv4{});
  st.tcpip.ManualDns = Ip(o, "manual_dns", net::Ipv4{});
  st.tcpip.ManualDnsOn = Bool(o, "manual_dns_on", false) ? 1 : 0;
  st.tcpip.DhcpOn = Bool(o, "dhcp", false) ? 1 : 0;

  // Protocols: IPP, LPR, Raw and SMB on, FTP on its default port (0 on the
  // wire, which the client reads as 21), storage mode as discovered.
  for (const char* on : {"IppOn", "LprOn", "RawOn", "SmbOn", "FtpOn", "InternetOn", "InternetOn2"})
    for (const auto& f : ProtocolFields())
      if (std::string(f.name) == on) st.protocols.bytes[f.offset] = 1;
  st.protocols.SetInt(proto::RawPort1, 9100);
  st.protocols.SetInt(proto::RawPort2, s.usb_ports > 1 ? 9101 : 0);
  st.protocols.bytes[proto::StorageMode] = s.storage_mode != 0 ? 1 : 0;
  if (o.contains("protocols")) {
    const auto& p = o.at("protocols");
    if (!p.is_object()) Fail("config_service: \"protocols\" must be an object");
    for (auto it = p.begin(); it != p.end(); ++it) {
      bool known = false;
      for (const auto& f : ProtocolFields()) {
        if (it.key() != f.name) continue;
        known = true;
        const int32_t v = Int(p, f.name, 0);
        if (f.width == 1)
          st.protocols.bytes[f.offset] = static_cast<uint8_t>(v);
        else
          st.protocols.SetInt(f.offset, v);
      }
      if (!known) Fail("config_service: no protocol field \"" + it.key() + "\"");
    }
  }

  if (o.contains("printers")) {
    const auto& p = o.at("printers");
    if (!p.is_array() || p.size() > 2) Fail("config_service: \"printers\" must be an array of up to 2 texts");
    if (p.size() > 0) st.printers.Port1QueueName = p[0].get<std::string>();
    if (p.size() > 1) st.printers.Port2QueueName = p[1].get<std::string>();
  } else {
    st.printers.Port1QueueName = "lp1";
  }

  if (s.network_type != 0) {
    st.wireless.Region = 3;
    st.wireless.StationName = name;
    st.wireless.Ssid = "vessix-lab";
    st.wireless.Security = 3;
    st.wireless.Encryption = 1;
    st.wireless.LinkQuality = 80;
    st.wireless.SignalStrength = 70;
    st.wireless.CurrentChannel = 6;
  }
  if (o.contains("wireless")) {
    const auto& w = o.at("wireless");
    if (!w.is_object()) Fail("config_service: \"wireless\" must be an object");
    auto& x = st.wireless;
    x.Region = Int(w, "Region", x.Region);
    x.StationName = Text(w, "StationName", x.StationName);
    x.NetworkType = Int(w, "NetworkType", x.NetworkType);
    x.Ssid = Text(w, "Ssid", x.Ssid);
    x.Bssid = Text(w, "Bssid", x.Bssid);
    x.Channel = Int(w, "Channel", x.Channel);
    x.Security = Int(w, "Security", x.Security);
    x.PreSharedKey = Text(w, "PreSharedKey", x.PreSharedKey);
    x.Encryption = Int(w, "Encryption", x.Encryption);
    x.LinkQuality = Int(w, "LinkQuality", x.LinkQuality);
    x.SignalStrength = Int(w, "SignalStrength", x.SignalStrength);
    x.CurrentChannel = Int(w, "CurrentChannel", x.CurrentChannel);
  }
  return st;
}

void ConfigService::Ensure(const SimServer& s) {
  if (!states_.count(s.mac)) states_.emplace(s.mac, FromJson(s, s.config));
}

void ConfigService::Forget(const discovery::Mac& mac) { states_.erase(mac); }

std::optional<size_t> ConfigService::FrameSize(std::span<const uint8_t> head) {
  if (head.size() < kHeaderSize) return std::nullopt;
  const int32_t opcode = ReadI32(head, 6), direction = ReadI32(head, 10);
  size_t record = 0;
  if (direction == kWrite) {
    if (opcode == CFG_GENERAL_EX) record = kGeneralSize;
    if (opcode == CFG_TCPIP) record = kTcpIpSize;
    if (opcode == CFG_FIRMWARE) record = kFirmwareChunkSize;
  }
  return kHeaderSize + record;
}

bool ConfigService::AddressedTo(std::span<const uint8_t> frame, const SimServer& s) {
  return frame.size() >= kHeaderSize && std::equal(s.config_mac.begin(), s.config_mac.end(), frame.begin());
}

ConfigIdentity ConfigService::TakeIdentity(const SimServer& s) {
  ConfigIdentity id;
  auto it = states_.find(s.mac);
  if (it == states_.end()) return id;
  State& st = it->second;
  if (st.name_written && UsableName(st.general.ServerName)) id.name = st.general.ServerName;
  // Without a DHCP server in the lab a server that asks for one keeps its address.
  if (st.address_written && !st.tcpip.DhcpOn && !st.tcpip.IpAddress.IsZero()) {
    id.ip = st.tcpip.IpAddress;
    id.prefix = PrefixOf(st.tcpip.SubnetMask).value_or(s.prefix);
  }
  st.name_written = st.address_written = false;
  return id;
}

ConfigAction ConfigService::Handle(const SimServer& s, std::span<const uint8_t> frame, TimePoint now) {
  ConfigAction a;
  Ensure(s);
  State& st = states_.at(s.mac);
  auto h = DecodeHeader(frame, Codec());
  auto size = FrameSize(frame);
  if (!h || !size || frame.size() < *size) return a;  // incomplete: no answer
  const std::span<const uint8_t> record = frame.subspan(kHeaderSize, *size - kHeaderSize);
  auto reply = [&](int32_t result, std::span<const uint8_t> rec = {}) {
    a.reply = EncodeReply(h->ServerMac, h->Opcode, h->Direction, result, rec);
  };
  ++st.frames[h->Opcode];
  const bool read = h->Direction == kRead;
  switch (h->Opcode) {
    case CFG_LOGIN:
      if (read) {
        if (h->LoginUser != st.admin_user || h->LoginPassword != st.admin_password) {
          reply(kResultWrongLogin);
        } else if (st.session_client && *st.session_client != h->ClientMac && now < st.session_until) {
          reply(kResultAdminBusy);
        } else {
          st.session_client = h->ClientMac;
          st.session_until = now + std::chrono::seconds(st.session_seconds);
          reply(kResultOk);
        }
      } else if (h->LoginUser.empty()) {
        reply(kResultWrongLogin);
      } else {
        st.admin_user = h->LoginUser;
        st.admin_password = h->LoginPassword;
        reply(kResultOk);
      }
      break;
    case CFG_GENERAL:
      if (read) reply(kResultOk, EncodeGeneral(st.general, Codec()));
      break;
    case CFG_GENERAL_EX:
      if (!read) {
        auto g = DecodeGeneral(record, Codec());
        st.general.ServerName = g->ServerName;
        st.general.Workgroup = g->Workgroup;
        st.general.Description = g->Description;
        st.general.Codepage = g->Codepage;
        st.name_written = true;
        a.restart = true;  // no answer: the server restarts
      }
      break;
    case CFG_PRINTER_INFO:
      if (read) reply(kResultOk, EncodePrinterInfo(st.printers, Codec()));
      break;
    case CFG_TCPIP:
      if (read) {
        reply(kResultOk, EncodeTcpIp(st.tcpip));
      } else {
        auto t = DecodeTcpIp(record);
        // A static address must be an address; anything else keeps the old one.
        if (t->DhcpOn || (!t->IpAddress.IsZero() && PrefixOf(t->SubnetMask))) {
          t->DhcpServerAddress = {};
          t->DhcpFailed = 0;
          t->LeaseTime = 0;
          st.tcpip = *t;
          st.address_written = true;
        }
        a.restart = true;
      }
      break;
    case CFG_TCPIP_STATUS:
      if (read) {
        TcpIpConfig now_used = st.tcpip;
        now_used.IpAddress = s.ip;
        now_used.SubnetMask = MaskOf(s.prefix);
        now_used.LeaseTime = st.tcpip.DhcpOn ? 86400 : 0;
        now_used.DhcpFailed = st.tcpip.DhcpOn ? 1 : 0;  // the lab has no DHCP server
        reply(kResultOk, EncodeTcpIp(now_used));
      }
      break;
    case CFG_PROTOCOL_EX:
      if (read && !st.ignore_protocol_ex) reply(kResultOk, st.protocols.bytes);
      break;
    case CFG_PROTOCOL:
      if (read) reply(kResultOk, st.protocols.bytes);
      break;
    case CFG_WIRELESS:
      if (read) reply(kResultOk, EncodeWireless(st.wireless, Codec()));
      break;
    case CFG_RESTART:
      reply(kResultOk);
      a.restart = true;
      break;
    case CFG_FACTORY_DEFAULT: {
      reply(kResultOk);
      nlohmann::json factory = st.factory;
      auto frames = std::move(st.frames);
      st = FromJson(s, factory);
      st.frames = std::move(frames);
      st.name_written = st.address_written = true;
      a.restart = true;
      break;
    }
    case CFG_FIRMWARE:
      if (!read) return Firmware(st, *h, record);
      break;
    default:
      break;  // unknown opcodes get no answer
  }
  return a;
}

ConfigAction ConfigService::Firmware(State& st, const ConfigHeader& h, std::span<const uint8_t> record) {
  ConfigAction a;
  auto c = DecodeFirmwareChunk(record);
  auto answer = [&](int32_t result) {
    a.reply = EncodeReply(h.ServerMac, h.Opcode, h.Direction, result, {});
  };
  const int32_t chunk = static_cast<int32_t>(kChunkData);
  bool ok = false, complete = false;
  if (c->Offset == 0) {
    // A new image: the first chunk carries its size, or is marked 1 when
    // the whole image fits into it.
    st.image_total = c->Marker == 1 ? c->Length : c->Marker;
    ok = c->Marker == 1 ? c->Length >= 1 && c->Length <= chunk : c->Marker >= chunk && c->Length == chunk;
    if (ok) {
      st.next_offset = c->Length;
      st.image_bytes = static_cast<uint64_t>(c->Length);
      complete = c->Marker == 1 || st.image_total == chunk;
    }
  } else if (st.next_offset > 0 && c->Offset == st.next_offset - chunk && c->Length == chunk) {
    ok = true;  // the previous chunk again (its answer was lost)
  } else if (st.next_offset > 0 && c->Offset == st.next_offset && c->Offset < st.image_total) {
    const int32_t remaining = st.image_total - c->Offset;
    if (c->Marker == 1)
      ok = remaining < chunk && c->Length == remaining;
    else
      ok = c->Marker == 0 && remaining >= chunk && c->Length == chunk;
    if (ok) {
      st.next_offset += c->Length;
      st.image_bytes += static_cast<uint64_t>(c->Length);
      complete = st.next_offset == st.image_total;
    }
  }
  if (!ok || st.fail_firmware) {
    st.next_offset = 0;
    answer(kResultChunkFailed);
    return a;
  }
  answer(kResultOk);
  if (complete) {
    ++st.images_completed;
    st.next_offset = 0;
    a.restart = true;  // the new firmware starts
  }
  return a;
}

std::string ConfigService::Control(const SimServer& s, const std::vector<std::string>& args) {
  Ensure(s);
  State& st = states_.at(s.mac);
  const std::string what = args.empty() ? "" : args[0];
  auto on_off = [&](bool* flag) {
    if (args.size() != 2 || (args[1] != "on" && args[1] != "off"))
      return std::string("ERR usage: config NAME ") + what + " on|off";
    *flag = args[1] == "on";
    return std::string("OK");
  };
  if (what == "show" && args.size() == 1) {
    nlohmann::json j = {
        {"ServerName", st.general.ServerName},
        {"Workgroup", st.general.Workgroup},
        {"Description", st.general.Description},
        {"Codepage", st.general.Codepage},
        {"IpAddress", st.tcpip.IpAddress.ToString()},
        {"SubnetMask", st.tcpip.SubnetMask.ToString()},
        {"Gateway", st.tcpip.Gateway.ToString()},
        {"DhcpOn", st.tcpip.DhcpOn},
        {"admin_user", st.admin_user},  // the password is never shown
        {"session_client", st.session_client ? MacText(*st.session_client) : ""},
        {"ignore_opcode_48", st.ignore_protocol_ex},
        {"fail_firmware", st.fail_firmware},
        {"session_seconds", st.session_seconds},
        {"firmware_bytes", st.image_bytes},
        {"firmware_images", st.images_completed},
    };
    nlohmann::json frames = nlohmann::json::object();
    for (const auto& [op, n] : st.frames) frames[std::to_string(op)] = n;
    j["frames"] = frames;
    return "OK " + j.dump();
  }
  if (what == "logout" && args.size() == 1) {
    st.session_client.reset();
    return "OK";
  }
  if (what == "fail-firmware") return on_off(&st.fail_firmware);
  if (what == "ignore-48") return on_off(&st.ignore_protocol_ex);
  if (what == "session" && args.size() == 2) {
    try {
      st.session_seconds = std::stoi(args[1]);
    } catch (const std::exception&) {
      return "ERR usage: config NAME session SECONDS";
    }
    if (st.session_seconds < 0) return "ERR usage: config NAME session SECONDS";
    return "OK";
  }
  return "ERR usage: config NAME show|logout|fail-firmware on|off|ignore-48 on|off|session SECONDS";
}

}  // namespace vx::lab
