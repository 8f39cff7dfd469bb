// The seams between the server tree and the subsystems around it: the info
// query of discovery, the auto-connect store, and the process-wide flags the
// driver event handler shares with the refresh and the device operations.
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "discovery/server_info.h"

namespace vx::model {

// Starts the per-server info query (discovery). The sink runs on the main
// thread with the reply's values.
class ServerInfoQueries {
 public:
  virtual ~ServerInfoQueries() = default;
  // When `pending` is clear: sets it and starts one query; the query clears
  // it when it ends.
  virtual void StartServerInfoRequest(const std::string& ip, const std::string& location,
                                      std::shared_ptr<std::atomic<bool>> pending,
                                      std::function<void(const discovery::ServerInfo&)> sink) = 0;
};

// The auto-connect store's lookup `FindAutoConnectEntry`: the index of the
// printer (or fax) entry for this server MAC and device identity, or -1 with
// `name` left empty.
class AutoConnectLookup {
 public:
  virtual ~AutoConnectLookup() = default;
  virtual int FindAutoConnectEntry(const std::string& server_mac, const std::string& identity, bool printers,
                                   std::string* name) = 0;
};

// Until the auto-connect store exists: no device has an entry.
class NoAutoConnectEntries final : public AutoConnectLookup {
 public:
  int FindAutoConnectEntry(const std::string&, const std::string&, bool, std::string* name) override {
    if (name) name->clear();
    return -1;
  }
};

// The server-table lock shared with the discovery listener (which only tries
// it). The refresh tries it, pumping messages between tries.
class TableLock {
 public:
  virtual ~TableLock() = default;
  virtual bool TryLock() = 0;  // true: now held by the caller
  virtual void Unlock() = 0;
};

// A TableLock over a mutex of our own (tests, tools).
class MutexTableLock final : public TableLock {
 public:
  explicit MutexTableLock(std::timed_mutex& mutex) : mutex_(mutex) {}
  bool TryLock() override { return mutex_.try_lock(); }
  void Unlock() override { mutex_.unlock(); }

 private:
  std::timed_mutex& mutex_;
};

// Flags shared by the driver event handler, the refresh and the device
// operations (process-wide; read by the close sequence too).
struct EventFlags {
  // While set, device-list events (code 1) are dropped: the selection
  // refresh and the manual connect and disconnect commands set it.
  std::atomic<bool> device_list_suppressed{false};
  // While set, bus-list events (code 2) are dropped: set while a refresh
  // builds TCP buses.
  std::atomic<bool> bus_list_suppressed{false};
  // Set while BuildTcpBus waits between open attempts; the close sequence
  // then does not wait for the event reader.
  std::atomic<bool> bus_building{false};
};

// Sets a flag for the life of the guard and clears it again (also when an
// exception leaves the scope).
class FlagGuard {
 public:
  explicit FlagGuard(std::atomic<bool>& flag) : flag_(flag) { flag_ = true; }
  ~FlagGuard() { flag_ = false; }
  FlagGuard(const FlagGuard&) = delete;
  FlagGuard& operator=(const FlagGuard&) = delete;

 private:
  std::atomic<bool>& flag_;
};

}  // namespace vx::model
