// The two transports of the configuration protocol: UDP broadcast over the
// discovery sockets (one per local adapter, shared with discovery) and one
// TCP connection slot, with the attempts, waits and acceptance rule of each
// request kind, and the transport selection made before a series of
// requests to one server.
#pragma once

#include <chrono>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "admin/config_records.h"
#include "platform/main_thread.h"
#include "platform/net/network.h"
#include "platform/text_codec.h"

namespace vx::admin {

using Millis = std::chrono::milliseconds;

// Ports, attempts and time-outs; the defaults are the product's, tests
// shorten the waits.
struct ConfigSettings {
  uint16_t udp_port = discovery::kDiscoveryPort;
  uint16_t tcp_port = discovery::kConfigPort;
  net::Ipv4 broadcast = net::Ipv4::Broadcast();
  int attempts_per_adapter = 10;             // N adapters -> N x 10 attempts and sends
  Millis readable_wait{1000};                // UDP: wait for the socket to become readable
  Millis tcp_receive_timeout{1000};          // SO_RCVTIMEO of the TCP connection
  Millis connect_timeout{5000};              // the transport selection's connect
  int chunk_sends = 7;                       // firmware chunk: sends of one frame ...
  int chunk_receives = 1000;                 // ... receives after each send ...
  int chunk_timeout_budget = 2;              // ... receive time-outs before the next send
  int last_chunk_timeout_budget = 30;        // ... for the chunk marked 1
  std::string configd_tcp_version = "1.24";  // lowest service version configured over TCP
};

// One local adapter as the transport sees it: its discovery socket and MAC.
struct AdapterSocket {
  std::shared_ptr<net::UdpSocket> socket;
  Mac mac{};
};

// The symbolic name of a Winsock error number; empty for codes without one.
std::string WinsockErrorName(int code);

// Opening the configuration connection: a socket, or one of these codes.
inline constexpr int kConnectNotStarted = -1;  // socket library not started
inline constexpr int kConnectNoSocket = -2;
inline constexpr int kConnectFailedAtOnce = -7;
inline constexpr int kConnectTimedOut = -8;

struct ConnectOutcome {
  std::unique_ptr<net::TcpStream> stream;
  int code = 0;  // 0 with a stream, else a code above
  net::NetError error;
};

// Connects to `server`'s TCP port with the given time-out and sets the
// receive time-out of the connection.
ConnectOutcome OpenConfigConnection(net::NetworkPort& net, bool library_started, const net::Ipv4& server,
                                    const ConfigSettings& settings, Millis connect_timeout);

// What the transport selection needs to know of one server.
struct ConfigTarget {
  std::string ip;               // dotted address text
  Mac mac_bytes{};              // `MacBytes`: the `ServerMac` of every request
  int location = 0;             // 1 and 3 may be configured over TCP
  std::string configd_version;  // compared as text
  size_t adapter_index = 0;     // `AdapterIndex`
};

// The location of a server for the transport selection: 1 (local, may be
// configured over TCP) when `server` lies on the subnet of one of the
// adapters' addresses, else 0 (another subnet).
int LocationOf(const net::Ipv4& server, const net::AdapterList& adapters);

class ConfigTransport {
 public:
  ConfigTransport(net::NetworkPort& net, std::vector<AdapterSocket> adapters, MainThread& main_thread,
                  const TextCodec& codec, ConfigSettings settings = {});
  ConfigTransport(const ConfigTransport&) = delete;
  ConfigTransport& operator=(const ConfigTransport&) = delete;

  // --- selection ---
  // Opens the TCP connection when the target qualifies (location 1 or 3,
  // service version at least "1.24", no connection yet) and selects TCP
  // when a connection is open, else the target's adapter. `caller` names
  // the caller in the log ("Configure", "ShowInfoDetail").
  void Select(const ConfigTarget& target, const std::string& caller, bool library_started = true);
  // Ends a series: closes the connection and selects the adapter again.
  void Close(const ConfigTarget& target);
  // Puts an open connection into the TCP slot (or clears it) and selects it.
  void UseTcp(std::unique_ptr<net::TcpStream> stream);
  std::unique_ptr<net::TcpStream> TakeTcp();
  bool UsesTcp() const { return use_tcp_ && tcp_ != nullptr; }
  size_t AdapterCount() const { return adapters_.size(); }

  // --- requests ---
  // Sends `request` (the header alone) and waits for the reply; copies the
  // reply's record into `record` when it carries one of that size. Returns
  // -1 when no valid reply arrived, else the reply's `Result`.
  int Read(ConfigHeader request, std::span<uint8_t> record);
  // Sends the header and `record` without awaiting a reply: 0 when the last
  // UDP send (or a TCP send) succeeded, else -1.
  int Write(ConfigHeader request, std::span<const uint8_t> record);
  // One firmware chunk over TCP: 0 when the server confirmed it, -1 when it
  // refused it (`Result` 20), nothing came or the connection failed.
  int ChunkWrite(ConfigHeader request, std::span<const uint8_t> chunk, int timeout_budget);

  // The `Result` of the last accepted reply of the last request, if any.
  std::optional<int32_t> LastReplyResult() const { return last_result_; }
  const ConfigSettings& Settings() const { return settings_; }
  const TextCodec& Codec() const { return codec_; }

 private:
  int ReadUdp(const ConfigHeader& request, std::span<uint8_t> record);
  int ReadTcp(ConfigHeader request, std::span<uint8_t> record);
  // Checks a candidate reply; on acceptance copies the record and returns true.
  bool Take(std::span<const uint8_t> reply, const ConfigHeader& request, std::span<uint8_t> record);
  int Attempts() const;
  Mac FirstMac() const;

  net::NetworkPort& net_;
  std::vector<AdapterSocket> adapters_;
  MainThread& main_thread_;
  const TextCodec& codec_;
  ConfigSettings settings_;
  std::unique_ptr<net::TcpStream> tcp_;
  bool use_tcp_ = false;
  size_t adapter_index_ = 0;
  std::optional<int32_t> last_result_;
};

}  // namespace vx::admin
