// The configuration protocol's frames and records: the 52-byte request
// header, the 22-byte reply header and the fixed-size records that follow
// them, with their codecs and the normalisation applied after every read.
// All integers are 32-bit little-endian and signed; IPv4 addresses are the
// four wire bytes; texts are zero-terminated ANSI text with a zero tail,
// converted through the text codec at the boundary.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "discovery/protocol.h"
#include "platform/net/network.h"
#include "platform/text_codec.h"

namespace vx::admin {

using Mac = discovery::Mac;

// Opcodes (the `Opcode` field).
inline constexpr int32_t CFG_LOGIN = 1;
inline constexpr int32_t CFG_GENERAL = 2;
inline constexpr int32_t CFG_PRINTER_INFO = 3;
inline constexpr int32_t CFG_TCPIP = 4;
inline constexpr int32_t CFG_TCPIP_STATUS = 5;
inline constexpr int32_t CFG_PROTOCOL = 6;
inline constexpr int32_t CFG_RESTART = 9;
inline constexpr int32_t CFG_FACTORY_DEFAULT = 16;
inline constexpr int32_t CFG_FIRMWARE = 17;
inline constexpr int32_t CFG_WIRELESS = 19;
inline constexpr int32_t CFG_PROTOCOL_EX = 48;
inline constexpr int32_t CFG_GENERAL_EX = 50;

inline constexpr int32_t kRead = 0;
inline constexpr int32_t kWrite = 1;

inline constexpr size_t kHeaderSize = 52;
inline constexpr size_t kReplyHeaderSize = 22;
inline constexpr size_t kGeneralSize = 220;
inline constexpr size_t kTcpIpSize = 96;
inline constexpr size_t kProtocolSize = 200;
inline constexpr size_t kPrinterInfoSize = 848;
inline constexpr size_t kWirelessSize = 468;
inline constexpr size_t kFirmwareChunkSize = 524;
inline constexpr size_t kChunkData = 512;
inline constexpr size_t kReceiveBufferSize = 1024;

// Reply results with a meaning of their own.
inline constexpr int32_t kResultOk = 0;
inline constexpr int32_t kResultWrongLogin = 1;
inline constexpr int32_t kResultAdminBusy = 80;
inline constexpr int32_t kResultChunkFailed = 20;

using Frame = std::vector<uint8_t>;

// Request header (`ConfigHeader`).
struct ConfigHeader {
  Mac ServerMac{};
  int32_t Opcode = 0;
  int32_t Direction = kRead;
  Mac ClientMac{};
  std::string LoginUser;      // only in CFG_LOGIN
  std::string LoginPassword;  // only in CFG_LOGIN; never traced
};

// The 52-byte header; texts longer than their 16-byte field are cut.
std::array<uint8_t, kHeaderSize> EncodeHeader(const ConfigHeader& h, const TextCodec& codec);
// The header followed by `record` (a write), or the header alone.
Frame EncodeFrame(const ConfigHeader& h, std::span<const uint8_t> record, const TextCodec& codec);
// Reads a header; nullopt when fewer than 52 bytes are given.
std::optional<ConfigHeader> DecodeHeader(std::span<const uint8_t> bytes, const TextCodec& codec);

// Reply (`ConfigReply`): the 22-byte header and, for a read, the record.
struct ConfigReply {
  Mac ServerMac{};
  int32_t Opcode = 0;
  int32_t Direction = 0;
  int32_t Result = 0;
  std::span<const uint8_t> record;  // the bytes after offset 22 (may be empty)
};

// Any datagram of at least 22 bytes reads as a reply; nullopt otherwise.
std::optional<ConfigReply> ParseReply(std::span<const uint8_t> bytes);
// The acceptance rule: same `ServerMac` (all six bytes), `Opcode` and
// `Direction` as the request, and bytes 14-19 differ from the request's
// `ClientMac` (an echoed request carries the client's MAC there).
bool AcceptsReply(std::span<const uint8_t> reply, const ConfigHeader& request);
// A reply's bytes: header with `result`, then `record`.
Frame EncodeReply(const Mac& server, int32_t opcode, int32_t direction, int32_t result,
                  std::span<const uint8_t> record);

// --- records -------------------------------------------------------------

struct GeneralConfig {
  std::string Description;  // up to 48 characters
  std::string ServerName;   // up to 15
  std::string Workgroup;    // up to 15
  int32_t Reserved84 = 0;
  int32_t Codepage = 0;  // 0..9
  int32_t ExtendedWrite = 1;
};

struct TcpIpConfig {
  net::Ipv4 IpAddress, SubnetMask, Gateway, DnsServer, ManualDns, DhcpServerAddress;
  uint8_t DhcpOn = 0;
  uint8_t ManualDnsOn = 0;
  uint8_t DhcpFailed = 0;
  int32_t LeaseTime = 0;
  int32_t ExtendedWrite = 0;
};

struct ProtocolConfig {
  // The record's bytes; the named accessors below read them. Kept whole so
  // that the flag bytes without a name survive a read.
  std::array<uint8_t, kProtocolSize> bytes{};

  bool Flag(size_t offset) const { return bytes[offset] == 1; }
  int32_t Int(size_t offset) const;
  void SetInt(size_t offset, int32_t value);
};

// Offsets of the named `ProtocolConfig` fields.
namespace proto {
inline constexpr size_t IppOn = 0, InternetOn = 1, FtpOn = 2, SaneOn = 3, FtpPassiveOn = 4, LprOn = 5,
                        RawOn = 6, SmbOn = 7, FtpMaxSessionOn = 10, FtpAuthOn = 11, RawPort1 = 12,
                        RawPort2 = 16, FtpPort = 20, SanePort = 24, FtpMaxSessions = 28, InternetOn2 = 32,
                        FileAuthOn = 33, FtpAnonymousOn = 40, UpnpOn = 48, StorageMode = 52;
}

// The named fields of `ProtocolConfig` in record order: flags are one
// byte wide, numbers four.
struct ProtocolField {
  const char* name;
  size_t offset;
  size_t width;
};
std::span<const ProtocolField> ProtocolFields();

struct PrinterPortInfo {
  std::string Port1QueueName;  // empty = no printer
  std::string Port2QueueName;
  std::array<uint8_t, kPrinterInfoSize> bytes{};  // the whole record as read
};

struct WirelessConfig {
  int32_t Region = 0;
  std::string StationName;
  int32_t NetworkType = 0;
  std::string Ssid;
  std::string Bssid;
  int32_t Channel = 0;
  int32_t Security = 0;
  int32_t WepAuth = 0;
  int32_t WepKeySize = 0;
  int32_t WepDefaultKey = 0;
  std::array<std::string, 4> WepKey;
  int32_t PskFormat = 0;
  std::string PreSharedKey;
  int32_t Encryption = 0;
  int32_t LinkQuality = 0;
  int32_t SignalStrength = 0;
  int32_t CurrentChannel = 0;
};

struct FirmwareChunk {
  int32_t Marker = 0;
  int32_t Offset = 0;
  int32_t Length = 0;
  std::array<uint8_t, kChunkData> Data{};
};

// Decoders take exactly the record's size or more (extra bytes are
// ignored) and return nullopt for fewer: a short record is never half read.
// They apply the normalisation of each record.
std::optional<GeneralConfig> DecodeGeneral(std::span<const uint8_t> bytes, const TextCodec& codec);
std::optional<TcpIpConfig> DecodeTcpIp(std::span<const uint8_t> bytes);
std::optional<ProtocolConfig> DecodeProtocol(std::span<const uint8_t> bytes);
std::optional<PrinterPortInfo> DecodePrinterInfo(std::span<const uint8_t> bytes, const TextCodec& codec);
std::optional<WirelessConfig> DecodeWireless(std::span<const uint8_t> bytes, const TextCodec& codec);
std::optional<FirmwareChunk> DecodeFirmwareChunk(std::span<const uint8_t> bytes);

// Normalisation after a read, on the decoded values.
void Normalise(GeneralConfig& g);
void Normalise(TcpIpConfig& t);
void Normalise(ProtocolConfig& p);
void Normalise(WirelessConfig& w);

// Encoders write the values as given and zero-fill every reserved byte
// (the record operations set the fields a write fixes, such as
// `ExtendedWrite`). Texts longer than their field are cut so that a zero
// byte always ends them.
std::array<uint8_t, kGeneralSize> EncodeGeneral(const GeneralConfig& g, const TextCodec& codec);
std::array<uint8_t, kTcpIpSize> EncodeTcpIp(const TcpIpConfig& t);
std::array<uint8_t, kPrinterInfoSize> EncodePrinterInfo(const PrinterPortInfo& p, const TextCodec& codec);
std::array<uint8_t, kWirelessSize> EncodeWireless(const WirelessConfig& w, const TextCodec& codec);
std::array<uint8_t, kFirmwareChunkSize> EncodeFirmwareChunk(const FirmwareChunk& c);

// Little-endian helpers bounded by the span (out of range reads 0).
int32_t ReadI32(std::span<const uint8_t> bytes, size_t offset);
void WriteI32(std::span<uint8_t> bytes, size_t offset, int32_t value);

}  // namespace vx::admin
