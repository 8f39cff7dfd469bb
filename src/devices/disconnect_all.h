// Disconnect-all: every device this PC holds, on one server or on all, is
// ejected (storage) and released by a disconnect worker of its own; the call
// returns once every worker has finished. The program's close path and
// vessix-cli use it.
#pragma once

#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "busdriver/driver_channel.h"
#include "devices/device_ops.h"
#include "platform/main_thread.h"
#include "platform/worker_thread.h"

namespace vx::devices {

struct HeldCandidate {
  DeviceRef device;
  std::string owner;
};
struct ServerDevices {
  std::string ip;
  std::shared_ptr<bus::DriverHandle> tcp_bus;  // null: the server has no bus
  std::vector<HeldCandidate> devices;
};

struct DisconnectAllItem {
  std::string ip;
  std::string device_no;
  std::string display_name;
  bool ejected = false;
  int eject_result = 0;
  bool released = false;
};

// The count of running disconnect workers, changed only under its lock.
class DisconnectCounter {
 public:
  void Add() {
    std::lock_guard l(mutex_);
    ++running_;
  }
  void Done() {
    std::lock_guard l(mutex_);
    --running_;
  }
  int Running() const {
    std::lock_guard l(mutex_);
    return running_;
  }

 private:
  mutable std::mutex mutex_;
  int running_ = 0;
};

// One held device's disconnect on a worker thread: eject when storage (the
// result is traced, the worker goes on in either case), then release.
class TDisconnectThread {
 public:
  TDisconnectThread(MainThread& main, std::shared_ptr<bus::DriverHandle> tcp_bus, DisconnectAllItem item,
                    const DeviceRef& device, Ejector& ejector, DisconnectCounter& counter);
  ~TDisconnectThread();
  // Counts the worker as running, then starts it.
  bool Start();
  const DisconnectAllItem& Item() const { return item_; }  // after the count dropped

 private:
  void Run();
  std::shared_ptr<bus::DriverHandle> tcp_bus_;
  DisconnectAllItem item_;
  DeviceRef device_;
  Ejector& ejector_;
  DisconnectCounter& counter_;
  WorkerThread thread_;
};

// Works on the server whose address is `only_ip` (traced "Starting
// Disconnect <ip>"), or on every server in order. Devices whose owner equals
// `this_pc` exactly are disconnected. Returns when all workers have ended.
std::vector<DisconnectAllItem> DisconnectAll(MainThread& main, const std::vector<ServerDevices>& servers,
                                             const std::string& this_pc,
                                             const std::optional<std::string>& only_ip, Ejector& ejector);

}  // namespace vx::devices
