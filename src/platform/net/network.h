// The network port: UDP and TCP sockets with receive time-outs, select over
// UDP sockets, a TCP connect with a time-out, the local adapter list, the
// interface and address tables, the UDP listener table and the operating
// system's version numbers. The discovery core and the command-line tool
// only see this interface; win32/ holds the Winsock / IP Helper adapter,
// posix/ the one the lab, the native tests and the native tool use.
#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace vx::net {

using Millis = std::chrono::milliseconds;

// An IPv4 address as the four bytes that travel on the wire (network order).
struct Ipv4 {
  std::array<uint8_t, 4> bytes{};

  // Strict dotted-quad parsing: four decimal numbers 0-255, no spaces, no
  // leading '+', at most three digits each. Anything else is nullopt.
  static std::optional<Ipv4> Parse(std::string_view dotted);
  static Ipv4 FromNetworkOrder(uint32_t value);
  static Ipv4 Any() { return Ipv4{}; }
  static Ipv4 Loopback() { return Ipv4{{127, 0, 0, 1}}; }
  static Ipv4 Broadcast() { return Ipv4{{255, 255, 255, 255}}; }

  std::string ToString() const;
  // The four bytes read as a number in memory order (what the bus driver
  // and the records store).
  uint32_t NetworkOrder() const;
  bool IsZero() const { return bytes == std::array<uint8_t, 4>{}; }
  bool operator==(const Ipv4&) const = default;
  auto operator<=>(const Ipv4&) const = default;
};

struct Endpoint {
  Ipv4 address;
  uint16_t port = 0;  // host order
  bool operator==(const Endpoint&) const = default;
};

// The outcome of one socket call. code 0 means success; otherwise code is the
// platform's error number and name its symbolic name ("WSAETIMEDOUT").
struct NetError {
  int code = 0;
  bool timed_out = false;  // a receive or connect time-out
  std::string name;

  bool ok() const { return code == 0; }
};

template <class T>
struct NetResult {
  T value{};
  NetError error;
  bool ok() const { return error.ok(); }
};

struct Datagram {
  size_t length = 0;
  Endpoint from;
};

// Where a UDP socket binds. On Windows a socket bound to an adapter's address
// also receives the broadcasts that arrive on that adapter; the POSIX adapter
// gives the same meaning by binding to the port on any address and tying the
// socket to `device` (the adapter's interface name). With an empty device
// both bind to `local` as given (loopback tests).
struct BindTarget {
  Endpoint local;
  std::string device;
};

class UdpSocket {
 public:
  virtual ~UdpSocket() = default;  // closes the socket
  // The platform's handle value; never 0.
  virtual uint64_t Handle() const = 0;
  virtual NetError EnableBroadcast() = 0;
  // SO_DEBUG; a platform may ignore it.
  virtual NetError EnableDebug() = 0;
  virtual NetError SetReceiveTimeout(Millis timeout) = 0;
  virtual NetError Bind(const BindTarget& target) = 0;
  virtual std::optional<Endpoint> LocalEndpoint() const = 0;
  virtual NetError SendTo(std::span<const uint8_t> bytes, const Endpoint& to) = 0;
  // Receives one datagram into `buffer`. A datagram longer than the buffer is
  // an error (EMSGSIZE / WSAEMSGSIZE) on every platform.
  virtual NetResult<Datagram> ReceiveFrom(std::span<uint8_t> buffer) = 0;
};

// A connected TCP stream. One thread may send while another receives, and
// Shutdown may come from any thread.
class TcpStream {
 public:
  virtual ~TcpStream() = default;  // closes the connection
  virtual uint64_t Handle() const = 0;
  virtual NetError SetReceiveTimeout(Millis timeout) = 0;
  // TCP_NODELAY: small requests leave at once instead of waiting for the
  // acknowledgement of the previous one.
  virtual NetError SetNoDelay(bool on) = 0;
  // Sends all bytes (or fails).
  virtual NetError Send(std::span<const uint8_t> bytes) = 0;
  // Receives up to buffer.size() bytes; 0 means the peer closed.
  virtual NetResult<size_t> Receive(std::span<uint8_t> buffer) = 0;
  // Ends both directions without closing the socket: a Receive blocked in
  // another thread returns (0 or an error), later sends fail, and the peer
  // sees the connection end. Calling it again does nothing more.
  virtual void Shutdown() = 0;
  virtual std::optional<Endpoint> PeerEndpoint() const = 0;
};

class TcpListener {
 public:
  virtual ~TcpListener() = default;
  virtual uint64_t Handle() const = 0;
  // Waits up to `timeout` for one connection.
  virtual NetResult<std::unique_ptr<TcpStream>> Accept(Millis timeout) = 0;
  virtual std::optional<Endpoint> LocalEndpoint() const = 0;
};

// One entry of the adapter information list.
struct AdapterInfo {
  uint32_t type = 0;             // interface type code (6 Ethernet, 24 loopback, 71 wireless ...)
  std::vector<uint8_t> address;  // physical address, 0-8 bytes
  std::string ip;                // first IPv4 address as text; "0.0.0.0" when none
  std::string device;            // interface name the POSIX adapter ties sockets to
};

enum class ListStatus { kOk, kNoData, kError };

struct AdapterList {
  ListStatus status = ListStatus::kOk;
  int error = 0;
  std::vector<AdapterInfo> adapters;
};

// One row of the interface table.
struct InterfaceRow {
  uint32_t index = 0;
  uint32_t type = 0;
  std::vector<uint8_t> address;  // physical address
  std::string device;
};

struct InterfaceTable {
  ListStatus status = ListStatus::kOk;
  int error = 0;
  std::vector<InterfaceRow> rows;
};

// One row of the IPv4 address table (interface index -> address).
struct AddressRow {
  uint32_t if_index = 0;
  Ipv4 address;
};

struct AddressTable {
  ListStatus status = ListStatus::kOk;
  std::vector<AddressRow> rows;
};

enum class UdpTableStatus { kOk, kInsufficientBuffer, kInvalidParameter, kNotSupported, kOther };

// The local ports (host order) of the system's UDP listeners.
struct UdpListenerTable {
  UdpTableStatus status = UdpTableStatus::kOk;
  std::vector<uint16_t> local_ports;
};

struct OsVersion {
  uint32_t major = 0;
  uint32_t minor = 0;
};

struct SelectResult {
  NetError error;
  // One flag per socket passed in, in the same order.
  std::vector<bool> readable;
  int ready = 0;  // 0 on a time-out
};

class NetworkPort {
 public:
  virtual ~NetworkPort() = default;

  // Starts the socket library (Winsock 2.2). True on success.
  virtual bool StartLibrary() = 0;
  virtual void StopLibrary() = 0;

  // The version numbers of the operating system, nullopt when unknown.
  virtual std::optional<OsVersion> QueryOsVersion() = 0;
  virtual AdapterList GetAdaptersInfo() = 0;
  virtual InterfaceTable GetIfTable() = 0;
  virtual AddressTable GetIpAddrTable() = 0;
  virtual UdpListenerTable GetUdpTable() = 0;

  virtual NetResult<std::unique_ptr<UdpSocket>> CreateUdp() = 0;
  // A listening TCP socket (SO_REUSEADDR when asked) bound to `local`.
  virtual NetResult<std::unique_ptr<TcpListener>> ListenTcp(const Endpoint& local, int backlog,
                                                            bool reuse_address) = 0;
  // A non-blocking connect that gives up after `timeout`; the stream is
  // blocking afterwards.
  virtual NetResult<std::unique_ptr<TcpStream>> ConnectTcp(const Endpoint& to, Millis timeout) = 0;
  // Waits until one of `sockets` is readable, or `timeout` passes.
  virtual SelectResult SelectReadable(std::span<UdpSocket* const> sockets, Millis timeout) = 0;

  // Why this process must not broadcast (the native adapter refuses outside
  // a lab network namespace), or nullopt when broadcasting is allowed.
  virtual std::optional<std::string> BroadcastRefusal() const = 0;
};

// True when this process runs inside one of the lab's named network
// namespaces (/run/netns/vx*). On a real Windows PC there are none (false);
// under Wine the check looks at the Linux process running the program.
bool InLabNetworkNamespace();

// The network of this platform: Winsock and IP Helper on Windows, the POSIX
// socket API, getifaddrs and /proc/net/udp elsewhere.
std::unique_ptr<NetworkPort> MakeSystemNetwork();

}  // namespace vx::net
