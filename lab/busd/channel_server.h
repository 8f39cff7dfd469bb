// The lab channel endpoint of vx-busd: accepts the program's connections on
// loopback and serves their handles (open master bus / TCP bus by path,
// IOCTLs, held reads) from the Emulator. Calls on one connection run
// concurrently; a held read completes on an event, on Abort, or is dropped
// when its connection closes.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>

#include "emulator.h"

namespace vx::busd {

class ChannelServer {
 public:
  ChannelServer(Emulator& emulator, const std::string& ip, uint16_t port);
  ~ChannelServer();
  bool ok() const { return fd_ >= 0; }
  const std::string& error() const { return error_; }
  uint16_t port() const { return port_; }

 private:
  struct Connection;
  void AcceptLoop();
  void Serve(std::shared_ptr<Connection> c);

  Emulator& emulator_;
  int fd_ = -1;
  uint16_t port_ = 0;
  std::string error_;
  std::atomic<bool> stop_{false};
  std::thread acceptor_;
  std::mutex mutex_;
  std::set<int> open_fds_;
  std::atomic<int> workers_{0};
};

}  // namespace vx::busd
