// What the listener does with one received datagram: classify it, keep a
// server record in the discovery table, decide whether the servers must be
// asked again, and prepare the record forwarded to the bus driver.
#pragma once

#include <optional>
#include <span>

#include "discovery/discovery_table.h"
#include "discovery/protocol.h"

namespace vx::discovery {

enum class DatagramKind {
  kIgnored,           // none of the keywords before the first NUL
  kBootAnnouncement,  // "RBOOTUP"
  kServerRecord,      // "RANNOU", or "THIS IS RV550" in exactly 173 bytes
};

DatagramKind ClassifyDatagram(std::span<const uint8_t> datagram);

enum class Outcome {
  kIgnored,    // not a discovery datagram (also the client's own request)
  kWrongType,  // a full record of a server that is not a USB device server
  kLockBusy,   // the server-table lock was held: dropped
  kStored,     // a new entry
  kReplaced,   // the entry of that address was replaced
  kTableFull,  // a new server while the table is full: not stored, forwarded
  kKnown,      // short announcement from a server in the table
  kUnknown,    // short announcement from a server not in the table
};

struct ForwardPacket {
  Record bytes{};
  uint32_t length = 0;  // 7 for a boot announcement, else 173
};

struct DatagramResult {
  DatagramKind kind = DatagramKind::kIgnored;
  Outcome outcome = Outcome::kIgnored;
  bool ask_servers = false;  // an unknown server announced itself: send the request
  std::optional<ForwardPacket> forward;
};

// Handles one datagram from `source`. Only a full record changes the table,
// and only while the table's server-table lock can be taken without waiting.
DatagramResult ProcessDatagram(std::span<const uint8_t> datagram, net::Ipv4 source, DiscoveryTable& table);

}  // namespace vx::discovery
