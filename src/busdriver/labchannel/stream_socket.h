// A blocking TCP stream to the lab's driver emulator (loopback only in
// practice: the address comes from VESSIX_BUS_EMULATOR). POSIX and Winsock
// adapters live in posix/ and win32/.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>

namespace vx::lab {

class StreamSocket {
 public:
  virtual ~StreamSocket() = default;
  // Sends every byte; false when the connection is gone.
  virtual bool SendAll(std::span<const uint8_t> bytes) = 0;
  // Receives some bytes: > 0 the count, 0 the peer closed, < 0 an error.
  virtual long Receive(std::span<uint8_t> into) = 0;
  // Ends both directions; a Receive blocked in another thread returns.
  virtual void Shutdown() = 0;
};

// Connects to a dotted IPv4 address and port; nullptr with `why` on failure.
std::unique_ptr<StreamSocket> ConnectStream(const std::string& ipv4, uint16_t port, std::string* why);

}  // namespace vx::lab
