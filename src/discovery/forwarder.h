// Where the listener hands accepted datagrams: the virtual bus driver, which
// keeps its own list of servers. Discovery does not depend on the driver
// code; the composition wires these to the driver's UDP packet operation and
// to its master bus handle.
#pragma once

#include <cstdint>

namespace vx::discovery {

class DatagramForwarder {
 public:
  virtual ~DatagramForwarder() = default;
  // Hands one record (`n` bytes) received from `source_ipv4_network_order`
  // to the driver. False when the driver refused it.
  virtual bool SendUdpPacket(uint32_t source_ipv4_network_order, const uint8_t* bytes, uint32_t n) = 0;
};

class MasterBusQuery {
 public:
  virtual ~MasterBusQuery() = default;
  // True while the master bus handle is open.
  virtual bool MasterBusValid() const = 0;
};

}  // namespace vx::discovery
