// The discovery table: the latest server record of each server that answered,
// keyed by the source address stored at offset 125. Entries are never removed.
//
// The table owns the server-table lock. The listener only tries it (TryStore,
// TryContains fail while it is held); the tree rebuild holds it (Hold, waiting
// up to about 6 s) so that no datagram changes the table meanwhile. Readers
// that must not wait for that lock (the info queries, the command-line tool)
// still read consistent entries: every access also takes the table's own
// short internal lock.
#pragma once

#include <chrono>
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

  enum class Put { kAppended, kReplaced, kFull, kBusy };

  // Replaces the entry of `source` or appends a new one; the stored copy
  // carries `source` at offset 125. kBusy (nothing changed) while the
  // server-table lock is held.
  Put TryStore(const Record& record, net::Ipv4 source);
  // Whether `source` has an entry; nullopt while the server-table lock is held.
  std::optional<bool> TryContains(net::Ipv4 source) const;

  // Takes the server-table lock, waiting up to `timeout`; the lock returned
  // does not own it when the time-out passed. A thread holding it does not
  // call TryStore or TryContains itself.
  std::unique_lock<std::timed_mutex> Hold(std::chrono::milliseconds timeout);

  std::optional<Record> Find(net::Ipv4 source) const;
  std::vector<Record> Entries() const;
  size_t Count() const;

 private:
  Put StoreLocked(const Record& record, net::Ipv4 source);

  mutable std::timed_mutex server_table_lock_;
  mutable std::mutex mutex_;
  std::vector<Record> entries_;
};

// The address stored in an entry.
net::Ipv4 EntryAddress(const Record& entry);

}  // namespace vx::discovery
