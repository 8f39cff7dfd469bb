// The discovery protocol's records: the 53-byte discovery request, the
// 173-byte server record (reply and long announcement) and the keyword tests.
// All numbers are little-endian; texts are 8-bit and NUL-padded.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "platform/clock.h"
#include "platform/net/network.h"

namespace vx::discovery {

inline constexpr uint16_t kDiscoveryPort = 7419;
inline constexpr uint16_t kConfigPort = 7305;
inline constexpr size_t kRequestSize = 53;
inline constexpr size_t kRecordSize = 173;
inline constexpr size_t kReceiveBufferSize = 1024;

inline constexpr std::string_view kRequestMagic = "WHERE ARE YOU RV550";
inline constexpr std::string_view kReplyMagic = "THIS IS RV550";
inline constexpr std::string_view kBootKeyword = "RBOOTUP";
inline constexpr std::string_view kAnnounceKeyword = "RANNOU";

// Offsets in the server record.
namespace off {
inline constexpr size_t kMac = 13;             // 6 bytes
inline constexpr size_t kModel = 35;           // 20 bytes, NUL-terminated text
inline constexpr size_t kName = 55;            // 32 bytes, text the client does not read
inline constexpr size_t kFirmware = 87;        // 8 bytes, text the client does not read
inline constexpr size_t kConfigdVersion = 95;  // 4 characters
inline constexpr size_t kMacBytes = 99;        // 6 bytes
inline constexpr size_t kNetworkType = 105;
inline constexpr size_t kSoftwareBus = 109;
inline constexpr size_t kConfigdType = 113;
inline constexpr size_t kUsbPorts = 117;
inline constexpr size_t kStorageMode = 121;
inline constexpr size_t kAddress = 125;  // 4 bytes, network order
}  // namespace off

using Mac = std::array<uint8_t, 6>;
using Request = std::array<uint8_t, kRequestSize>;
using Record = std::array<uint8_t, kRecordSize>;

// The configuration service type of a USB device server; only such servers
// are kept and forwarded.
inline constexpr uint32_t kUsbDeviceServerType = 1;

// The request a client sends, from the adapter with `mac` at local time `t`.
Request BuildDiscoveryRequest(const Mac& mac, const LocalTime& t);

struct DecodedRequest {
  Mac mac{};
  LocalTime time;
};

// A request is valid when it is exactly 53 bytes, starts with the magic and
// its checksum equals the sum of the six date fields (modulo 2^32).
std::optional<DecodedRequest> DecodeDiscoveryRequest(std::span<const uint8_t> bytes);

// The values a server puts into its record.
struct ServerRecordFields {
  Mac mac{};
  std::string model;            // at most 19 characters kept
  std::string name;             // at most 31
  std::string firmware;         // at most 7
  std::string configd_version;  // at most 4
  Mac mac_bytes{};
  uint32_t network_type = 0;
  uint32_t software_bus = 0;
  uint32_t configd_type = kUsbDeviceServerType;
  uint32_t usb_ports = 0;
  uint32_t storage_mode = 0;
  net::Ipv4 address;
};

// A server record led by `leading` ("THIS IS RV550" for a reply, "RANNOU"
// for a long announcement), zero-padded to 13 bytes.
Record EncodeServerRecord(const ServerRecordFields& fields, std::string_view leading = kReplyMagic);

// True when `keyword` occurs before the first NUL byte of `bytes`.
bool ContainsKeyword(std::span<const uint8_t> bytes, std::string_view keyword);

// True when `keyword` occurs anywhere in `bytes`, NUL bytes included.
bool ContainsBytes(std::span<const uint8_t> bytes, std::string_view keyword);

uint32_t ReadU32(std::span<const uint8_t> bytes, size_t offset);
void WriteU32(std::span<uint8_t> bytes, size_t offset, uint32_t value);

// "AA:BB:CC:DD:EE:FF": two upper-case hex digits per byte, in record order.
std::string MacText(std::span<const uint8_t, 6> mac);
// Parses "aa:bb:cc:dd:ee:ff" (either case, ':' or '-' separators).
std::optional<Mac> ParseMac(std::string_view text);

}  // namespace vx::discovery
