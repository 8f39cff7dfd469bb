#include "discovery/datagram.h"

#include <algorithm>
#include <cstring>

namespace vx::discovery {

DatagramKind ClassifyDatagram(std::span<const uint8_t> datagram) {
  if (ContainsKeyword(datagram, kBootKeyword)) return DatagramKind::kBootAnnouncement;
  if (ContainsKeyword(datagram, kAnnounceKeyword)) return DatagramKind::kServerRecord;
  if (datagram.size() == kRecordSize && ContainsKeyword(datagram, kReplyMagic))
    return DatagramKind::kServerRecord;
  return DatagramKind::kIgnored;
}

DatagramResult ProcessDatagram(std::span<const uint8_t> datagram, net::Ipv4 source, DiscoveryTable& table) {
  DatagramResult result;
  result.kind = ClassifyDatagram(datagram);
  if (result.kind == DatagramKind::kIgnored) return result;

  Record copy{};
  std::memcpy(copy.data(), datagram.data(), std::min(datagram.size(), kRecordSize));

  // A full record is a reply (exactly 173 bytes with the reply text) or a long
  // announcement. A short datagram that happens to contain the reply text
  // besides "RANNOU" is not a record: its zero padding would be stored as
  // field values.
  const bool reply = datagram.size() == kRecordSize && ContainsKeyword(datagram, kReplyMagic);
  const bool long_announcement =
      datagram.size() >= kRecordSize && ContainsKeyword(datagram, kAnnounceKeyword);
  const bool full = result.kind == DatagramKind::kServerRecord && (reply || long_announcement);

  if (full) {
    if (ReadU32(copy, off::kConfigdType) != kUsbDeviceServerType) {
      result.outcome = Outcome::kWrongType;
      return result;
    }
    switch (table.TryStore(copy, source)) {
      case DiscoveryTable::Put::kBusy:
        result.outcome = Outcome::kLockBusy;
        return result;
      case DiscoveryTable::Put::kAppended:
        result.outcome = Outcome::kStored;
        break;
      case DiscoveryTable::Put::kReplaced:
        result.outcome = Outcome::kReplaced;
        break;
      case DiscoveryTable::Put::kFull:
        result.outcome = Outcome::kTableFull;
        break;
    }
    static constexpr uint8_t kForwardHead[13] = {'R', 'A', 'N', 'N', 'O', 'U', 0x25, 0x4E, 0, 0, 0, 0, 0};
    std::memcpy(copy.data(), kForwardHead, sizeof kForwardHead);
  } else {
    const std::optional<bool> known = table.TryContains(source);
    if (!known) {
      result.outcome = Outcome::kLockBusy;
      return result;
    }
    result.outcome = *known ? Outcome::kKnown : Outcome::kUnknown;
    result.ask_servers = !*known;
  }

  ForwardPacket packet;
  if (result.kind == DatagramKind::kBootAnnouncement) {
    // The driver gets the first 7 bytes as received (the keyword's length).
    size_t n = std::min<size_t>(datagram.size(), 7);
    std::memcpy(packet.bytes.data(), datagram.data(), n);
    packet.length = 7;
  } else {
    packet.bytes = copy;
    std::fill(packet.bytes.begin() + off::kAddress, packet.bytes.end(), uint8_t{0});
    packet.length = kRecordSize;
  }
  result.forward = packet;
  return result;
}

}  // namespace vx::discovery
