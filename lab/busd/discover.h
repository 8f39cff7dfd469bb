// Discovery done by the emulator itself, for labs without the program's own
// listener (`vx-busd --discover`): a discovery request every few seconds,
// broadcast from an ephemeral port (the PC's port 7419 stays free for the
// program), and a unicast query over TCP 7305 of every server the
// configuration names as remote. Replies go the way of SendUdpPacket.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "emulator.h"

namespace vx::busd {

// The 53-byte discovery request with a zero MAC.
std::vector<uint8_t> DiscoveryRequest();
// What the program's listener would forward for a datagram from `source`
// (the 173-byte record, or the 7-byte boot keyword); empty when nothing.
std::vector<uint8_t> ForwardRecordOf(const std::vector<uint8_t>& datagram, uint32_t source);

struct DiscoverConfig {
  bool broadcast = false;
  std::string target_ip = "255.255.255.255";
  uint16_t target_port = 7419;
  std::set<uint32_t> remote_servers;
  uint16_t remote_port = 7305;
  std::chrono::milliseconds interval{3000};
};

class Discoverer {
 public:
  Discoverer(Emulator& emulator, DiscoverConfig config);
  ~Discoverer();

 private:
  void Run();
  void QueryRemote(uint32_t ip);
  Emulator& emulator_;
  DiscoverConfig config_;
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

}  // namespace vx::busd
