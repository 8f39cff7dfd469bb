// The lab channel: the driver's IOCTLs and reads carried over TCP to the
// vx-busd emulator, one connection per open handle. Several threads may use
// one handle at once; a held read returns when the emulator completes it
// (an event, Abort), when the handle is closed, or on InterruptReads.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "busdriver/driver_channel.h"

namespace vx::lab {

struct Endpoint {
  std::string ip;
  uint16_t port = 0;
};
// "host:port" with a dotted IPv4 host; nullopt otherwise.
std::optional<Endpoint> ParseEndpoint(const std::string& text);

std::unique_ptr<bus::DriverChannel> MakeLabDriverChannel(const Endpoint& endpoint);

}  // namespace vx::lab
