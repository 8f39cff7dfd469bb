// Small POSIX socket helpers for the lab programs (vx-busd and the simulated
// servers' device sharing). Native only.
#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace vx::lab {

// A listening TCP socket on ip:port (port 0: any); -1 with `why` on failure.
// `*bound_port` receives the port actually bound.
int ListenTcp(const std::string& ip, uint16_t port, uint16_t* bound_port, std::string* why);
// Connects with a time-out, from `source_ip` when given; -1 with `why` on failure.
int ConnectTcp(const std::string& ip, uint16_t port, int timeout_ms, std::string* why,
               const std::string& source_ip = {});
// Sends every byte (no SIGPIPE); false when the peer is gone or a send stalls
// for more than a second.
bool SendAllFd(int fd, std::span<const uint8_t> bytes);
// The peer's IPv4 address as an inet_addr value, 0 when unknown.
uint32_t PeerIpv4(int fd);
uint32_t LocalIpv4(int fd);

}  // namespace vx::lab
