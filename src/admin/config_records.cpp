#include "admin/config_records.h"

#include <algorithm>
#include <cstring>

namespace vx::admin {
namespace {

// Header offsets.
constexpr size_t kServerMacAt = 0, kOpcodeAt = 6, kDirectionAt = 10, kClientMacAt = 14, kUserAt = 20,
                 kPasswordAt = 36, kLoginWidth = 16;
// Reply offsets.
constexpr size_t kResultAt = 14;

// GeneralConfig offsets.
namespace gen {
constexpr size_t Description = 0, DescriptionWidth = 52, ServerName = 52, Workgroup = 68, NameWidth = 16,
                 Reserved84 = 84, Codepage = 88, ExtendedWrite = 92;
}

// TcpIpConfig offsets.
namespace tcp {
constexpr size_t IpAddress = 0, SubnetMask = 4, Gateway = 8, DnsServer = 12, ManualDns = 16,
                 DhcpServerAddress = 20, DhcpOn = 24, ManualDnsOn = 25, DhcpFailed = 26, LeaseTime = 28,
                 ExtendedWrite = 32;
}

// WirelessConfig offsets.
namespace wl {
constexpr size_t Region = 0, StationName = 4, NetworkType = 24, Ssid = 28, Bssid = 64, Channel = 100,
                 Security = 104, WepAuth = 108, WepKeySize = 112, WepDefaultKey = 116, WepKey = 120,
                 WepKeyWidth = 28, PskFormat = 232, PreSharedKey = 236, Encryption = 304, LinkQuality = 308,
                 SignalStrength = 312, CurrentChannel = 316;
}

constexpr size_t kQueueWidth = 96;

// The text of a fixed field: up to its first zero byte.
std::string Text(std::span<const uint8_t> bytes, size_t offset, size_t width, const TextCodec& codec) {
  if (offset >= bytes.size()) return {};
  width = std::min(width, bytes.size() - offset);
  const auto* begin = reinterpret_cast<const char*>(bytes.data() + offset);
  size_t n = 0;
  while (n < width && begin[n] != 0) ++n;
  return codec.AnsiToUtf8(std::string_view(begin, n));
}

// Writes `text` into a zero-filled field, cut so that a zero byte ends it.
void PutText(std::span<uint8_t> bytes, size_t offset, size_t width, const std::string& text,
             const TextCodec& codec) {
  const std::string ansi = codec.Utf8ToAnsi(text);
  const size_t n = std::min(ansi.size(), width - 1);
  std::memcpy(bytes.data() + offset, ansi.data(), n);
}

Mac ReadMac(std::span<const uint8_t> bytes, size_t offset) {
  Mac m{};
  std::copy_n(bytes.begin() + static_cast<long>(offset), 6, m.begin());
  return m;
}

net::Ipv4 ReadIp(std::span<const uint8_t> bytes, size_t offset) {
  net::Ipv4 ip;
  std::copy_n(bytes.begin() + static_cast<long>(offset), 4, ip.bytes.begin());
  return ip;
}

void PutIp(std::span<uint8_t> bytes, size_t offset, const net::Ipv4& ip) {
  std::copy(ip.bytes.begin(), ip.bytes.end(), bytes.begin() + static_cast<long>(offset));
}

// A byte flag reads as 0 unless it is 1.
uint8_t Flag01(uint8_t v) { return v == 1 ? 1 : 0; }

int32_t InRange(int32_t v, int32_t low, int32_t high) { return v < low || v > high ? 0 : v; }

}  // namespace

int32_t ReadI32(std::span<const uint8_t> bytes, size_t offset) {
  if (offset > bytes.size() || bytes.size() - offset < 4) return 0;
  uint32_t v = static_cast<uint32_t>(bytes[offset]) | static_cast<uint32_t>(bytes[offset + 1]) << 8 |
               static_cast<uint32_t>(bytes[offset + 2]) << 16 |
               static_cast<uint32_t>(bytes[offset + 3]) << 24;
  return static_cast<int32_t>(v);
}

void WriteI32(std::span<uint8_t> bytes, size_t offset, int32_t value) {
  if (offset > bytes.size() || bytes.size() - offset < 4) return;
  const auto v = static_cast<uint32_t>(value);
  for (size_t i = 0; i < 4; ++i) bytes[offset + i] = static_cast<uint8_t>(v >> (8 * i));
}

// --- frames ----------------------------------------------------------------

std::array<uint8_t, kHeaderSize> EncodeHeader(const ConfigHeader& h, const TextCodec& codec) {
  std::array<uint8_t, kHeaderSize> b{};
  std::copy(h.ServerMac.begin(), h.ServerMac.end(), b.begin() + kServerMacAt);
  WriteI32(b, kOpcodeAt, h.Opcode);
  WriteI32(b, kDirectionAt, h.Direction);
  std::copy(h.ClientMac.begin(), h.ClientMac.end(), b.begin() + kClientMacAt);
  PutText(b, kUserAt, kLoginWidth, h.LoginUser, codec);
  PutText(b, kPasswordAt, kLoginWidth, h.LoginPassword, codec);
  return b;
}

Frame EncodeFrame(const ConfigHeader& h, std::span<const uint8_t> record, const TextCodec& codec) {
  // Sized once and filled (growing a vector by insert trips GCC's -O3
  // array-bounds false positive).
  const auto head = EncodeHeader(h, codec);
  Frame f(kHeaderSize + record.size());
  std::copy(head.begin(), head.end(), f.begin());
  if (!record.empty()) std::memcpy(f.data() + kHeaderSize, record.data(), record.size());
  return f;
}

std::optional<ConfigHeader> DecodeHeader(std::span<const uint8_t> bytes, const TextCodec& codec) {
  if (bytes.size() < kHeaderSize) return std::nullopt;
  ConfigHeader h;
  h.ServerMac = ReadMac(bytes, kServerMacAt);
  h.Opcode = ReadI32(bytes, kOpcodeAt);
  h.Direction = ReadI32(bytes, kDirectionAt);
  h.ClientMac = ReadMac(bytes, kClientMacAt);
  h.LoginUser = Text(bytes, kUserAt, kLoginWidth, codec);
  h.LoginPassword = Text(bytes, kPasswordAt, kLoginWidth, codec);
  return h;
}

std::optional<ConfigReply> ParseReply(std::span<const uint8_t> bytes) {
  if (bytes.size() < kReplyHeaderSize) return std::nullopt;
  ConfigReply r;
  r.ServerMac = ReadMac(bytes, kServerMacAt);
  r.Opcode = ReadI32(bytes, kOpcodeAt);
  r.Direction = ReadI32(bytes, kDirectionAt);
  r.Result = ReadI32(bytes, kResultAt);
  r.record = bytes.subspan(kReplyHeaderSize);
  return r;
}

bool AcceptsReply(std::span<const uint8_t> reply, const ConfigHeader& request) {
  auto r = ParseReply(reply);
  if (!r) return false;
  if (r->ServerMac != request.ServerMac || r->Opcode != request.Opcode || r->Direction != request.Direction)
    return false;
  return !std::equal(request.ClientMac.begin(), request.ClientMac.end(), reply.begin() + kClientMacAt);
}

Frame EncodeReply(const Mac& server, int32_t opcode, int32_t direction, int32_t result,
                  std::span<const uint8_t> record) {
  Frame f(kReplyHeaderSize + record.size(), 0);
  std::copy(server.begin(), server.end(), f.begin());
  WriteI32(f, kOpcodeAt, opcode);
  WriteI32(f, kDirectionAt, direction);
  WriteI32(f, kResultAt, result);
  if (!record.empty()) std::memcpy(f.data() + kReplyHeaderSize, record.data(), record.size());
  return f;
}

// --- records ---------------------------------------------------------------

std::span<const ProtocolField> ProtocolFields() {
  static constexpr ProtocolField kFields[] = {
      {"IppOn", proto::IppOn, 1},
      {"InternetOn", proto::InternetOn, 1},
      {"FtpOn", proto::FtpOn, 1},
      {"SaneOn", proto::SaneOn, 1},
      {"FtpPassiveOn", proto::FtpPassiveOn, 1},
      {"LprOn", proto::LprOn, 1},
      {"RawOn", proto::RawOn, 1},
      {"SmbOn", proto::SmbOn, 1},
      {"FtpMaxSessionOn", proto::FtpMaxSessionOn, 1},
      {"FtpAuthOn", proto::FtpAuthOn, 1},
      {"RawPort1", proto::RawPort1, 4},
      {"RawPort2", proto::RawPort2, 4},
      {"FtpPort", proto::FtpPort, 4},
      {"SanePort", proto::SanePort, 4},
      {"FtpMaxSessions", proto::FtpMaxSessions, 4},
      {"InternetOn2", proto::InternetOn2, 1},
      {"FileAuthOn", proto::FileAuthOn, 1},
      {"FtpAnonymousOn", proto::FtpAnonymousOn, 1},
      {"UpnpOn", proto::UpnpOn, 1},
      {"StorageMode", proto::StorageMode, 1},
  };
  return kFields;
}

int32_t ProtocolConfig::Int(size_t offset) const { return ReadI32(bytes, offset); }
void ProtocolConfig::SetInt(size_t offset, int32_t value) { WriteI32(bytes, offset, value); }

std::optional<GeneralConfig> DecodeGeneral(std::span<const uint8_t> b, const TextCodec& codec) {
  if (b.size() < kGeneralSize) return std::nullopt;
  GeneralConfig g;
  g.Description = Text(b, gen::Description, gen::DescriptionWidth, codec);
  g.ServerName = Text(b, gen::ServerName, gen::NameWidth, codec);
  g.Workgroup = Text(b, gen::Workgroup, gen::NameWidth, codec);
  g.Reserved84 = ReadI32(b, gen::Reserved84);
  g.Codepage = ReadI32(b, gen::Codepage);
  g.ExtendedWrite = ReadI32(b, gen::ExtendedWrite);
  Normalise(g);
  return g;
}

void Normalise(GeneralConfig& g) {
  g.Reserved84 = g.Reserved84 == 1 ? 1 : 0;
  g.Codepage = InRange(g.Codepage, 0, 9);
}

std::array<uint8_t, kGeneralSize> EncodeGeneral(const GeneralConfig& g, const TextCodec& codec) {
  std::array<uint8_t, kGeneralSize> b{};
  PutText(b, gen::Description, gen::DescriptionWidth, g.Description, codec);
  PutText(b, gen::ServerName, gen::NameWidth, g.ServerName, codec);
  PutText(b, gen::Workgroup, gen::NameWidth, g.Workgroup, codec);
  WriteI32(b, gen::Reserved84, g.Reserved84);
  WriteI32(b, gen::Codepage, g.Codepage);
  WriteI32(b, gen::ExtendedWrite, g.ExtendedWrite);
  return b;
}

std::optional<TcpIpConfig> DecodeTcpIp(std::span<const uint8_t> b) {
  if (b.size() < kTcpIpSize) return std::nullopt;
  TcpIpConfig t;
  t.IpAddress = ReadIp(b, tcp::IpAddress);
  t.SubnetMask = ReadIp(b, tcp::SubnetMask);
  t.Gateway = ReadIp(b, tcp::Gateway);
  t.DnsServer = ReadIp(b, tcp::DnsServer);
  t.ManualDns = ReadIp(b, tcp::ManualDns);
  t.DhcpServerAddress = ReadIp(b, tcp::DhcpServerAddress);
  t.DhcpOn = b[tcp::DhcpOn];
  t.ManualDnsOn = b[tcp::ManualDnsOn];
  t.DhcpFailed = b[tcp::DhcpFailed];
  t.LeaseTime = ReadI32(b, tcp::LeaseTime);
  t.ExtendedWrite = ReadI32(b, tcp::ExtendedWrite);
  Normalise(t);
  return t;
}

void Normalise(TcpIpConfig& t) {
  t.DhcpOn = Flag01(t.DhcpOn);
  t.ManualDnsOn = Flag01(t.ManualDnsOn);
  t.DhcpFailed = Flag01(t.DhcpFailed);
}

std::array<uint8_t, kTcpIpSize> EncodeTcpIp(const TcpIpConfig& t) {
  std::array<uint8_t, kTcpIpSize> b{};
  PutIp(b, tcp::IpAddress, t.IpAddress);
  PutIp(b, tcp::SubnetMask, t.SubnetMask);
  PutIp(b, tcp::Gateway, t.Gateway);
  PutIp(b, tcp::DnsServer, t.DnsServer);
  PutIp(b, tcp::ManualDns, t.ManualDns);
  PutIp(b, tcp::DhcpServerAddress, t.DhcpServerAddress);
  b[tcp::DhcpOn] = t.DhcpOn;
  b[tcp::ManualDnsOn] = t.ManualDnsOn;
  b[tcp::DhcpFailed] = t.DhcpFailed;
  WriteI32(b, tcp::LeaseTime, t.LeaseTime);
  WriteI32(b, tcp::ExtendedWrite, t.ExtendedWrite);
  return b;
}

std::optional<ProtocolConfig> DecodeProtocol(std::span<const uint8_t> b) {
  if (b.size() < kProtocolSize) return std::nullopt;
  ProtocolConfig p;
  std::copy_n(b.begin(), kProtocolSize, p.bytes.begin());
  Normalise(p);
  return p;
}

void Normalise(ProtocolConfig& p) {
  for (size_t i = 0; i < 12; ++i) p.bytes[i] = Flag01(p.bytes[i]);
  for (size_t i = 32; i < 56; ++i) p.bytes[i] = Flag01(p.bytes[i]);
  if (p.Int(proto::FtpPort) == 0) p.SetInt(proto::FtpPort, 21);
  if (p.Int(proto::SanePort) == 0) p.SetInt(proto::SanePort, 6566);
}

std::optional<PrinterPortInfo> DecodePrinterInfo(std::span<const uint8_t> b, const TextCodec& codec) {
  if (b.size() < kPrinterInfoSize) return std::nullopt;
  PrinterPortInfo p;
  std::copy_n(b.begin(), kPrinterInfoSize, p.bytes.begin());
  p.Port1QueueName = Text(b, 0, kQueueWidth, codec);
  p.Port2QueueName = Text(b, kQueueWidth, kQueueWidth, codec);
  return p;
}

std::array<uint8_t, kPrinterInfoSize> EncodePrinterInfo(const PrinterPortInfo& p, const TextCodec& codec) {
  std::array<uint8_t, kPrinterInfoSize> b{};
  PutText(b, 0, kQueueWidth, p.Port1QueueName, codec);
  PutText(b, kQueueWidth, kQueueWidth, p.Port2QueueName, codec);
  return b;
}

std::optional<WirelessConfig> DecodeWireless(std::span<const uint8_t> b, const TextCodec& codec) {
  if (b.size() < kWirelessSize) return std::nullopt;
  WirelessConfig w;
  w.Region = ReadI32(b, wl::Region);
  w.StationName = Text(b, wl::StationName, 20, codec);
  w.NetworkType = ReadI32(b, wl::NetworkType);
  w.Ssid = Text(b, wl::Ssid, 36, codec);
  w.Bssid = Text(b, wl::Bssid, 36, codec);
  w.Channel = ReadI32(b, wl::Channel);
  w.Security = ReadI32(b, wl::Security);
  w.WepAuth = ReadI32(b, wl::WepAuth);
  w.WepKeySize = ReadI32(b, wl::WepKeySize);
  w.WepDefaultKey = ReadI32(b, wl::WepDefaultKey);
  for (size_t k = 0; k < 4; ++k)
    w.WepKey[k] = Text(b, wl::WepKey + k * wl::WepKeyWidth, wl::WepKeyWidth, codec);
  w.PskFormat = ReadI32(b, wl::PskFormat);
  w.PreSharedKey = Text(b, wl::PreSharedKey, 68, codec);
  w.Encryption = ReadI32(b, wl::Encryption);
  w.LinkQuality = ReadI32(b, wl::LinkQuality);
  w.SignalStrength = ReadI32(b, wl::SignalStrength);
  w.CurrentChannel = ReadI32(b, wl::CurrentChannel);
  Normalise(w);
  return w;
}

void Normalise(WirelessConfig& w) {
  w.Region = InRange(w.Region, 0, 3);
  w.NetworkType = InRange(w.NetworkType, 0, 1);
  w.Channel = InRange(w.Channel, 0, 14);
  w.Security = InRange(w.Security, 0, 4);
  w.WepAuth = InRange(w.WepAuth, 0, 1);
  w.WepKeySize = InRange(w.WepKeySize, 0, 3);
  w.WepDefaultKey = InRange(w.WepDefaultKey, 0, 3);
  w.PskFormat = InRange(w.PskFormat, 0, 1);
  w.Encryption = InRange(w.Encryption, 0, 1);
  w.LinkQuality = InRange(w.LinkQuality, 0, 100);
  w.SignalStrength = InRange(w.SignalStrength, 0, 100);
  w.CurrentChannel = InRange(w.CurrentChannel, 0, 14);
}

std::array<uint8_t, kWirelessSize> EncodeWireless(const WirelessConfig& w, const TextCodec& codec) {
  std::array<uint8_t, kWirelessSize> b{};
  WriteI32(b, wl::Region, w.Region);
  PutText(b, wl::StationName, 20, w.StationName, codec);
  WriteI32(b, wl::NetworkType, w.NetworkType);
  PutText(b, wl::Ssid, 36, w.Ssid, codec);
  PutText(b, wl::Bssid, 36, w.Bssid, codec);
  WriteI32(b, wl::Channel, w.Channel);
  WriteI32(b, wl::Security, w.Security);
  WriteI32(b, wl::WepAuth, w.WepAuth);
  WriteI32(b, wl::WepKeySize, w.WepKeySize);
  WriteI32(b, wl::WepDefaultKey, w.WepDefaultKey);
  for (size_t k = 0; k < 4; ++k)
    PutText(b, wl::WepKey + k * wl::WepKeyWidth, wl::WepKeyWidth, w.WepKey[k], codec);
  WriteI32(b, wl::PskFormat, w.PskFormat);
  PutText(b, wl::PreSharedKey, 68, w.PreSharedKey, codec);
  WriteI32(b, wl::Encryption, w.Encryption);
  WriteI32(b, wl::LinkQuality, w.LinkQuality);
  WriteI32(b, wl::SignalStrength, w.SignalStrength);
  WriteI32(b, wl::CurrentChannel, w.CurrentChannel);
  return b;
}

std::optional<FirmwareChunk> DecodeFirmwareChunk(std::span<const uint8_t> b) {
  if (b.size() < kFirmwareChunkSize) return std::nullopt;
  FirmwareChunk c;
  c.Marker = ReadI32(b, 0);
  c.Offset = ReadI32(b, 4);
  c.Length = ReadI32(b, 8);
  std::copy_n(b.begin() + 12, kChunkData, c.Data.begin());
  return c;
}

std::array<uint8_t, kFirmwareChunkSize> EncodeFirmwareChunk(const FirmwareChunk& c) {
  std::array<uint8_t, kFirmwareChunkSize> b{};
  WriteI32(b, 0, c.Marker);
  WriteI32(b, 4, c.Offset);
  WriteI32(b, 8, c.Length);
  std::copy(c.Data.begin(), c.Data.end(), b.begin() + 12);
  return b;
}

}  // namespace vx::admin
