// The seam between the simulated servers' discovery side (vx-uds main, UDP
// 7419 / TCP 7305) and their device-sharing side (TCP 20005, simulated USB
// devices). vx-uds calls these hooks; the sharing side lives in sharing*.cpp.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

namespace vx::lab {

// What the sharing side needs to know about one simulated server.
struct SimServerView {
  std::string name;
  std::string ip;           // dotted IPv4 address the server answers from
  std::string mac;          // "AA:BB:CC:DD:EE:FF"
  nlohmann::json config;    // the server's whole object from the JSON file
};

class SharingExtension {
 public:
  virtual ~SharingExtension() = default;
  // A server came up (start, after a reboot, after an address change).
  virtual void ServerUp(const SimServerView& server) = 0;
  // A server went silent or was removed; drop its connections.
  virtual void ServerDown(const std::string& name) = 0;
  // A control command that the discovery side does not know, split in words.
  // Returns the reply line, or nullopt when the sharing side does not know it either.
  virtual std::optional<std::string> Control(const std::vector<std::string>& words) = 0;
};

// Made once by vx-uds at start.
std::unique_ptr<SharingExtension> MakeSharingExtension();

}  // namespace vx::lab
