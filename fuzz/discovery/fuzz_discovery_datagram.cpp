// Datagrams of every shape through the listener's path: classification, the
// discovery table and the record forwarded to the bus driver.
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "discovery/datagram.h"
#include "discovery/server_info.h"

using namespace vx::discovery;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static DiscoveryTable table;  // kept across inputs: replacing, filling up
  // A table whose server-table lock another thread (a tree rebuild) holds for good.
  static DiscoveryTable& busy_table = []() -> DiscoveryTable& {
    static DiscoveryTable t;
    static std::atomic<bool> held{false};
    std::thread([] {
      auto lock = t.Hold(std::chrono::hours(1));
      held = true;
      for (;;) std::this_thread::sleep_for(std::chrono::hours(1));
    }).detach();
    while (!held) std::this_thread::yield();
    return t;
  }();
  if (size < 1) return 0;
  // The first byte picks the sender (few senders, so entries get replaced);
  // with its top bit set the server-table lock is held by "the tree rebuild".
  const uint8_t selector = data[0];
  std::span<const uint8_t> datagram(data + 1, std::min<size_t>(size - 1, kReceiveBufferSize));
  vx::net::Ipv4 source{{10, 77, static_cast<uint8_t>(selector & 0x3), static_cast<uint8_t>(selector & 0x7C)}};

  DiscoveryTable& target = (selector & 0x80) ? busy_table : table;
  const size_t before = target.Count();
  DatagramResult r = ProcessDatagram(datagram, source, target);

  if (target.Count() > DiscoveryTable::kCapacity) std::abort();
  if (busy_table.Count() != 0) std::abort();
  if (r.kind == DatagramKind::kIgnored && (r.forward || target.Count() != before)) std::abort();
  if (r.outcome == Outcome::kLockBusy && (r.forward || r.ask_servers || target.Count() != before))
    std::abort();
  if (r.outcome == Outcome::kWrongType && r.forward) std::abort();
  if (r.forward) {
    if (r.forward->length != 7 && r.forward->length != kRecordSize) std::abort();
    for (size_t i = off::kAddress; r.forward->length == kRecordSize && i < kRecordSize; ++i)
      if (r.forward->bytes[i] != 0) std::abort();
  }
  if (r.outcome == Outcome::kStored || r.outcome == Outcome::kReplaced) {
    auto entry = target.Find(source);
    if (!entry || EntryAddress(*entry) != source || ReadU32(*entry, off::kConfigdType) != 1) std::abort();
    ServerInfo info = ParseServerInfo(*entry, vx::IdentityTextCodec());
    if (info.mac_address.size() != 17 || info.model.size() > 20 || info.configd_version.size() > 4)
      std::abort();
  }
  (void)DecodeDiscoveryRequest(datagram);
  return 0;
}
