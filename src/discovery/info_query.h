// The per-server info query: fetches a server's record (over TCP 7305 where
// the server's location allows it, else from the discovery table after a
// fresh request) and hands the values to the main thread.
#pragma once

#include <atomic>
#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <string>

#include "discovery/discovery.h"
#include "discovery/server_info.h"
#include "platform/worker_thread.h"

namespace vx::discovery {

// Receives the values on the main thread (through MainThread::RunSync).
using ServerInfoSink = std::function<void(const ServerInfo&)>;

// One query, run by its own thread. The sink runs on the main thread; an
// exception there ends only that step (the worker base's rule).
class TSendServerInfoRequestThread {
 public:
  TSendServerInfoRequestThread(Discovery& discovery, std::string ip, std::string location,
                               std::shared_ptr<std::atomic<bool>> pending, ServerInfoSink sink);
  // The query; it watches `w` for cancellation.
  void Execute(Worker& w);

 private:
  // The TCP step: true when a reply arrived and was handed over.
  bool QueryOverTcp(Worker& w, const net::Ipv4& ip);
  void Deliver(Worker& w, const Record& record);

  Discovery& discovery_;
  const std::string ip_text_;
  const std::string location_;
  std::shared_ptr<std::atomic<bool>> pending_;
  ServerInfoSink sink_;
};

// Starts and keeps the query threads; the destructor cancels the waits of the
// running ones and waits for them, so no query outlives what it uses.
class ServerInfoRequests {
 public:
  explicit ServerInfoRequests(Discovery& discovery);
  ~ServerInfoRequests();
  ServerInfoRequests(const ServerInfoRequests&) = delete;
  ServerInfoRequests& operator=(const ServerInfoRequests&) = delete;

  // StartServerInfoRequest: when `pending` is clear, sets it and starts one
  // query for the server at `ip` with its location text ("0" to "3"). The
  // query clears `pending` when it ends (except for an unknown location).
  void StartServerInfoRequest(const std::string& ip, const std::string& location,
                              std::shared_ptr<std::atomic<bool>> pending, ServerInfoSink sink);
  size_t Running() const;
  // Waits for every running query, running main-thread work meanwhile.
  void WaitAll();

 private:
  // Forgets the queries that have ended.
  void Reap();

  Discovery& discovery_;
  mutable std::mutex mutex_;
  std::list<WorkerThread> jobs_;
};

}  // namespace vx::discovery
