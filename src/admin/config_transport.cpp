#include "admin/config_transport.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "platform/trace.h"

namespace vx::admin {
namespace {

constexpr int kWsaeTimedOut = 10060;

std::string Num(uint64_t v) { return std::to_string(v); }

// A Winsock-style error number for a log line: the platform's code, with a
// time-out always reported as WSAETIMEDOUT.
int ErrorNumber(const net::NetError& e) { return e.timed_out ? kWsaeTimedOut : e.code; }

}  // namespace

std::string WinsockErrorName(int code) {
  switch (code) {
    case 10014:
      return "WSAEFAULT";
    case 10022:
      return "WSAEINVAL";
    case 10035:
      return "WSAEWOULDBLOCK";
    case 10036:
      return "WSAEINPROGRESS";
    case 10038:
      return "WSAENOTSOCK";
    case 10042:
      return "WSAENOPROTOOPT";
    case 10050:
      return "WSAENETDOWN";
    case 10052:
      return "WSAENETRESET";
    case 10054:
      return "WSAECONNRESET";
    case 10057:
      return "WSAENOTCONN";
    case 10060:
      return "WSAETIMEDOUT";
    case 10093:
      return "WSANOTINITIALISED";
    default:
      return {};
  }
}

int LocationOf(const net::Ipv4& server, const net::AdapterList& adapters) {
  for (const auto& a : adapters.adapters) {
    auto ip = net::Ipv4::Parse(a.ip);
    auto mask = net::Ipv4::Parse(a.mask);
    if (!ip || !mask || ip->IsZero() || mask->IsZero()) continue;
    bool same = true;
    for (size_t i = 0; i < 4; ++i)
      same = same && (ip->bytes[i] & mask->bytes[i]) == (server.bytes[i] & mask->bytes[i]);
    if (same) return 1;
  }
  return 0;
}

ConnectOutcome OpenConfigConnection(net::NetworkPort& net, bool library_started, const net::Ipv4& server,
                                    const ConfigSettings& settings, Millis connect_timeout) {
  ConnectOutcome out;
  if (!library_started) {
    out.code = kConnectNotStarted;
    return out;
  }
  auto r = net.ConnectTcp(net::Endpoint{server, settings.tcp_port}, connect_timeout);
  if (!r.ok() || !r.value) {
    out.error = r.error;
    out.code = r.error.timed_out ? kConnectTimedOut : r.value ? kConnectNoSocket : kConnectFailedAtOnce;
    return out;
  }
  r.value->SetReceiveTimeout(settings.tcp_receive_timeout);
  out.stream = std::move(r.value);
  return out;
}

ConfigTransport::ConfigTransport(net::NetworkPort& net, std::vector<AdapterSocket> adapters,
                                 MainThread& main_thread, const TextCodec& codec, ConfigSettings settings)
    : net_(net),
      adapters_(std::move(adapters)),
      main_thread_(main_thread),
      codec_(codec),
      settings_(std::move(settings)) {}

// --- selection ---------------------------------------------------------------

void ConfigTransport::Select(const ConfigTarget& target, const std::string& caller, bool library_started) {
  const bool tcp_capable = target.location == 1 || target.location == 3;
  if (tcp_capable && target.configd_version >= settings_.configd_tcp_version && !tcp_) {
    auto ip = net::Ipv4::Parse(target.ip);
    ConnectOutcome c =
        ip ? OpenConfigConnection(net_, library_started, *ip, settings_, settings_.connect_timeout)
           : ConnectOutcome{nullptr, kConnectFailedAtOnce, {}};
    if (c.stream)
      tcp_ = std::move(c.stream);
    else
      TraceLine("OpenSocketTCPIP Fail2 : " + target.ip + " : " + std::to_string(c.code));
  }
  if (tcp_) {
    use_tcp_ = true;
    TraceLine(target.ip + " : Use TCP to " + caller + " : " + Num(tcp_->Handle()));
  } else {
    use_tcp_ = false;
    adapter_index_ = target.adapter_index;
    TraceLine(target.ip + " : Use UDP to " + caller);
  }
}

void ConfigTransport::Close(const ConfigTarget& target) {
  if (tcp_) TraceLine(target.ip + " : Use TCP to Close : " + Num(tcp_->Handle()));
  tcp_.reset();
  use_tcp_ = false;
  adapter_index_ = target.adapter_index;
}

void ConfigTransport::UseTcp(std::unique_ptr<net::TcpStream> stream) {
  tcp_ = std::move(stream);
  use_tcp_ = tcp_ != nullptr;
}

std::unique_ptr<net::TcpStream> ConfigTransport::TakeTcp() {
  use_tcp_ = false;
  return std::move(tcp_);
}

int ConfigTransport::Attempts() const {
  // Over TCP the count follows the adapters as well; a PC without any
  // adapter still gets one round of attempts on its connection.
  const size_t n = UsesTcp() ? std::max<size_t>(adapters_.size(), 1) : adapters_.size();
  return static_cast<int>(n) * settings_.attempts_per_adapter;
}

Mac ConfigTransport::FirstMac() const { return adapters_.empty() ? Mac{} : adapters_.front().mac; }

// --- requests ----------------------------------------------------------------

bool ConfigTransport::Take(std::span<const uint8_t> reply, const ConfigHeader& request,
                           std::span<uint8_t> record) {
  if (!AcceptsReply(reply, request)) return false;
  auto r = ParseReply(reply);
  // A success must carry the whole record: a short one is never taken half.
  if (r->Result == kResultOk && r->record.size() < record.size()) return false;
  if (r->Result == kResultOk) std::copy_n(r->record.begin(), record.size(), record.begin());
  last_result_ = r->Result;
  return true;
}

int ConfigTransport::Read(ConfigHeader request, std::span<uint8_t> record) {
  last_result_.reset();
  return UsesTcp() ? ReadTcp(std::move(request), record) : ReadUdp(request, record);
}

int ConfigTransport::ReadUdp(const ConfigHeader& base, std::span<uint8_t> record) {
  const int attempts = Attempts();
  const net::Endpoint to{settings_.broadcast, settings_.udp_port};
  for (int i = 0; i < attempts; ++i) {
    main_thread_.ProcessMessages();
    const AdapterSocket& a = adapters_[static_cast<size_t>(i) % adapters_.size()];
    ConfigHeader request = base;
    request.ClientMac = a.mac;
    const auto frame = EncodeHeader(request, codec_);
    if (!a.socket->SendTo(frame, to).ok()) continue;
    net::UdpSocket* const one[] = {a.socket.get()};
    auto ready = net_.SelectReadable(one, settings_.readable_wait);
    if (!ready.error.ok() || ready.ready == 0) continue;
    std::array<uint8_t, kReceiveBufferSize> buffer{};
    for (;;) {
      auto got = a.socket->ReceiveFrom(buffer);
      if (!got.ok()) break;  // a receive error ends the attempt
      std::span<const uint8_t> bytes(buffer.data(), got.value.length);
      // Discovery replies and requests (ours included) are skipped.
      if (bytes.size() == discovery::kRecordSize || bytes.size() == kHeaderSize) continue;
      auto reply = ParseReply(bytes);
      if (!reply || reply->Opcode != request.Opcode) continue;
      if (Take(bytes, request, record)) return *last_result_;
      break;  // a reply that does not count ends the attempt
    }
  }
  return -1;
}

int ConfigTransport::ReadTcp(ConfigHeader request, std::span<uint8_t> record) {
  request.ClientMac = FirstMac();
  const auto frame = EncodeHeader(request, codec_);
  const int attempts = Attempts();
  for (int i = 0; i < attempts && tcp_; ++i) {
    main_thread_.ProcessMessages();
    if (!tcp_->Send(frame).ok()) continue;
    // One receive, as the servers answer a request with one segment; a
    // reply cut by the stream is completed by further receives (until the
    // receive time-out), so that the rest is not taken for the next reply.
    std::array<uint8_t, kReceiveBufferSize> buffer{};
    size_t have = 0;
    bool closed = false;
    for (;;) {
      auto got = tcp_->Receive(std::span<uint8_t>(buffer).subspan(have));
      if (!got.ok()) break;
      if (got.value == 0) {
        closed = true;
        break;
      }
      have += got.value;
      if (have < kReplyHeaderSize) continue;  // the rest of the header is on its way
      std::span<const uint8_t> bytes(buffer.data(), have);
      auto reply = ParseReply(bytes);
      if (reply->Result != kResultOk || reply->record.size() >= record.size()) break;  // complete
      if (!AcceptsReply(bytes, request) || have == buffer.size()) break;
    }
    if (have > 0 && Take(std::span<const uint8_t>(buffer.data(), have), request, record))
      return *last_result_;
    if (closed) return -1;  // the server closed the connection: no reply can come
  }
  return -1;
}

int ConfigTransport::Write(ConfigHeader request, std::span<const uint8_t> record) {
  last_result_.reset();
  const int sends = Attempts();
  if (UsesTcp()) {
    request.ClientMac = FirstMac();
    const Frame frame = EncodeFrame(request, record, codec_);
    for (int i = 0; i < sends && tcp_; ++i)
      if (tcp_->Send(frame).ok()) return 0;
    return -1;
  }
  const net::Endpoint to{settings_.broadcast, settings_.udp_port};
  bool last_ok = false;
  for (int i = 0; i < sends; ++i) {
    const AdapterSocket& a = adapters_[static_cast<size_t>(i) % adapters_.size()];
    request.ClientMac = a.mac;
    last_ok = a.socket->SendTo(EncodeFrame(request, record, codec_), to).ok();
  }
  return last_ok ? 0 : -1;
}

int ConfigTransport::ChunkWrite(ConfigHeader request, std::span<const uint8_t> chunk, int budget) {
  last_result_.reset();
  if (!UsesTcp()) return -1;
  request.ClientMac = FirstMac();
  const Frame frame = EncodeFrame(request, chunk, codec_);
  for (int send = 0; send < settings_.chunk_sends; ++send) {
    if (!tcp_->Send(frame).ok()) return -1;
    int timeouts = 0;
    std::array<uint8_t, kReceiveBufferSize> buffer{};
    size_t have = 0;  // bytes of a reply cut by the stream
    for (int r = 0; r < settings_.chunk_receives; ++r) {
      main_thread_.ProcessMessages();
      auto got = tcp_->Receive(std::span<uint8_t>(buffer).subspan(have));
      if (!got.ok()) {
        if (got.error.timed_out) {
          TraceLine("SetConfig() : recv : call failed! [OPCODE_DIALING_TIMEOUT] ! " +
                    std::to_string(timeouts) + " / " + std::to_string(budget));
          if (++timeouts >= budget) break;
          continue;
        }
        const int code = ErrorNumber(got.error);
        TraceLine("SetConfig() : recv : call failed! " + std::to_string(code) + " : " +
                  WinsockErrorName(code));
        break;
      }
      if (got.value == 0) return -1;  // the server closed the connection
      have += got.value;
      if (have < kReplyHeaderSize) continue;
      std::span<const uint8_t> bytes(buffer.data(), have);
      have = 0;
      if (!AcceptsReply(bytes, request)) continue;  // other replies are ignored
      const int32_t result = ParseReply(bytes)->Result;
      if (result == kResultChunkFailed) {
        last_result_ = result;
        return -1;
      }
      if (result == kResultOk) {
        last_result_ = result;
        return 0;
      }
    }
  }
  return -1;
}

}  // namespace vx::admin
