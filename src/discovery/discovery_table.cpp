#include "discovery/discovery_table.h"

#include <cstring>

namespace vx::discovery {

net::Ipv4 EntryAddress(const Record& entry) {
  net::Ipv4 a;
  std::memcpy(a.bytes.data(), entry.data() + off::kAddress, 4);
  return a;
}

DiscoveryTable::Put DiscoveryTable::TryStore(const Record& record, net::Ipv4 source) {
  std::unique_lock held(server_table_lock_, std::try_to_lock);
  if (!held.owns_lock()) return Put::kBusy;
  return StoreLocked(record, source);
}

DiscoveryTable::Put DiscoveryTable::StoreLocked(const Record& record, net::Ipv4 source) {
  Record copy = record;
  std::memcpy(copy.data() + off::kAddress, source.bytes.data(), 4);
  std::lock_guard lock(mutex_);
  for (Record& e : entries_) {
    if (EntryAddress(e) == source) {
      e = copy;
      return Put::kReplaced;
    }
  }
  if (entries_.size() >= kCapacity) return Put::kFull;
  if (entries_.empty()) entries_.reserve(kCapacity);
  entries_.push_back(copy);
  return Put::kAppended;
}

std::optional<bool> DiscoveryTable::TryContains(net::Ipv4 source) const {
  std::unique_lock held(server_table_lock_, std::try_to_lock);
  if (!held.owns_lock()) return std::nullopt;
  return Find(source).has_value();
}

std::unique_lock<std::timed_mutex> DiscoveryTable::Hold(std::chrono::milliseconds timeout) {
  return std::unique_lock<std::timed_mutex>(server_table_lock_, timeout);
}

std::optional<Record> DiscoveryTable::Find(net::Ipv4 source) const {
  std::lock_guard lock(mutex_);
  for (const Record& e : entries_)
    if (EntryAddress(e) == source) return e;
  return std::nullopt;
}

std::vector<Record> DiscoveryTable::Entries() const {
  std::lock_guard lock(mutex_);
  return entries_;
}

size_t DiscoveryTable::Count() const {
  std::lock_guard lock(mutex_);
  return entries_.size();
}

}  // namespace vx::discovery
