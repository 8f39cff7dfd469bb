// The discovery table: the latest server record of each server that answered,
// keyed by the source address stored at offset 125. Entries are never removed.
//
// Writers hold the server-table lock (which the listener only tries) while
// they search and change the table. Readers that must not wait for that lock
// (the info queries, the command-line tool) still read consistent entries:
// every access also takes the table's own short internal lock.
#pragma once

#include <mutex>
#include <optional>
#include <vector>

#include "discovery/protocol.h"

namespace vx::discovery {

class DiscoveryTable {
 public:
  // The table holds this many servers; a further server is not stored (it is
  // still forwarded to the bus driver, which keeps its own list).
  static constexpr size_t kCapacity = 100;

  enum class Put { kAppended, kReplaced, kFull };

  // Replaces the entry of `source` or appends a new one; the stored copy
  // carries `source` at offset 125.
  Put Store(const Record& record, net::Ipv4 source);
  std::optional<Record> Find(net::Ipv4 source) const;
  bool Contains(net::Ipv4 source) const;
  std::vector<Record> Entries() const;
  size_t Count() const;

 private:
  mutable std::mutex mutex_;
  std::vector<Record> entries_;
};

// The address stored in an entry.
net::Ipv4 EntryAddress(const Record& entry);

}  // namespace vx::discovery
