// The values a server's record gives the server and device list. The info
// query hands them over by value to the main thread, which owns the server
// records; no worker writes a record the main thread reads.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "discovery/protocol.h"
#include "platform/text_codec.h"

namespace vx::discovery {

struct ServerInfo {
  std::string mac_address;  // MacAddress: "AA:BB:CC:DD:EE:FF"
  std::string model;        // UTF-8
  Mac mac_bytes{};          // MacBytes: target MAC of configuration requests
  std::string configd_version;
  uint32_t network_type = 0;  // 0 wired only, else wireless
  uint32_t software_bus = 0;  // 0 none, else present
  uint32_t configd_type = 0;
  uint32_t usb_ports = 0;
  uint32_t storage_mode = 0;   // 0 server mode, else the other mode
  int adapter_index = 0;       // AdapterIndex
  uint64_t config_socket = 0;  // ConfigSocket: no configuration connection yet

  bool operator==(const ServerInfo&) const = default;
};

ServerInfo ParseServerInfo(const Record& record, const TextCodec& codec);
// The same for a record of unknown length: nullopt unless exactly 173 bytes.
std::optional<ServerInfo> ParseServerInfo(std::span<const uint8_t> record, const TextCodec& codec);

}  // namespace vx::discovery
