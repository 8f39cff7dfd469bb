// vx-uds configuration: the JSON file that lists the simulated servers.
// Every server keeps its whole JSON object (keys unknown here belong to the
// device-sharing side).
#pragma once

#include <cstdint>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "discovery/protocol.h"
#include "platform/net/network.h"

namespace vx::lab {

struct SimServer {
  enum class Announce { kLong, kShort, kBoth, kNone };
  enum class Reply { kAuto, kUnicast, kBroadcast };

  std::string name;
  discovery::Mac mac{};
  net::Ipv4 ip;
  int prefix = 24;
  std::string model = "MD-LAN01";
  std::string configd_version = "1.52";
  uint32_t configd_type = 1;
  uint32_t network_type = 0;
  uint32_t software_bus = 1;
  uint32_t usb_ports = 4;
  uint32_t storage_mode = 0;
  discovery::Mac config_mac{};  // MacBytes; the server's MAC unless given
  std::string firmware = "1.0.0";
  Announce announce = Announce::kLong;
  Reply reply = Reply::kAuto;
  bool tcp = true;      // answers the request on TCP 7305
  bool silent = false;  // answers nothing at all
  nlohmann::json config = nlohmann::json::object();

  std::string MacText() const;
  discovery::ServerRecordFields Fields() const;
  // True when `other` is on this server's subnet.
  bool SameSubnet(const net::Ipv4& other) const;
};

struct UdsConfig {
  std::string interface = "eth0";
  int announce_interval = 30;  // seconds between announcements; 0 = never
  int reboot_seconds = 3;      // silence of a reboot
  std::vector<SimServer> servers;
};

// Throws std::runtime_error naming the offending key.
SimServer ParseServer(const nlohmann::json& object);
UdsConfig ParseConfig(const nlohmann::json& document);
// Parses the file; throws std::runtime_error.
UdsConfig LoadConfig(const std::string& path);

}  // namespace vx::lab
