#include "discovery/protocol.h"

#include <algorithm>
#include <cstring>

namespace vx::discovery {
namespace {

void PutText(std::span<uint8_t> record, size_t offset, size_t width, std::string_view text, bool keep_nul) {
  // Text fields are NUL-padded; a NUL-terminated field keeps room for it.
  size_t n = std::min(text.size(), keep_nul ? width - 1 : width);
  std::memcpy(record.data() + offset, text.data(), n);
}

}  // namespace

uint32_t ReadU32(std::span<const uint8_t> bytes, size_t offset) {
  return static_cast<uint32_t>(bytes[offset]) | static_cast<uint32_t>(bytes[offset + 1]) << 8 |
         static_cast<uint32_t>(bytes[offset + 2]) << 16 | static_cast<uint32_t>(bytes[offset + 3]) << 24;
}

void WriteU32(std::span<uint8_t> bytes, size_t offset, uint32_t value) {
  for (int i = 0; i < 4; ++i) bytes[offset + i] = static_cast<uint8_t>(value >> (8 * i));
}

Request BuildDiscoveryRequest(const Mac& mac, const LocalTime& t) {
  Request r{};
  std::memcpy(r.data(), kRequestMagic.data(), kRequestMagic.size());
  std::memcpy(r.data() + 19, mac.data(), 6);
  const uint32_t fields[6] = {t.year, t.month, t.day, t.hour, t.minute, t.second};
  uint32_t sum = 0;
  for (int i = 0; i < 6; ++i) {
    WriteU32(r, 25 + 4 * i, fields[i]);
    sum += fields[i];
  }
  WriteU32(r, 49, sum);
  return r;
}

std::optional<DecodedRequest> DecodeDiscoveryRequest(std::span<const uint8_t> bytes) {
  if (bytes.size() != kRequestSize) return std::nullopt;
  if (std::memcmp(bytes.data(), kRequestMagic.data(), kRequestMagic.size()) != 0) return std::nullopt;
  DecodedRequest d;
  std::memcpy(d.mac.data(), bytes.data() + 19, 6);
  uint32_t f[6];
  uint32_t sum = 0;
  for (int i = 0; i < 6; ++i) {
    f[i] = ReadU32(bytes, 25 + 4 * i);
    sum += f[i];
  }
  if (sum != ReadU32(bytes, 49)) return std::nullopt;
  d.time = LocalTime{f[0], f[1], f[2], f[3], f[4], f[5]};
  return d;
}

Record EncodeServerRecord(const ServerRecordFields& fields, std::string_view leading) {
  Record r{};
  PutText(r, 0, 13, leading, false);
  std::memcpy(r.data() + off::kMac, fields.mac.data(), 6);
  PutText(r, off::kModel, 20, fields.model, true);
  PutText(r, off::kName, 32, fields.name, true);
  PutText(r, off::kFirmware, 8, fields.firmware, true);
  PutText(r, off::kConfigdVersion, 4, fields.configd_version, false);
  std::memcpy(r.data() + off::kMacBytes, fields.mac_bytes.data(), 6);
  WriteU32(r, off::kNetworkType, fields.network_type);
  WriteU32(r, off::kSoftwareBus, fields.software_bus);
  WriteU32(r, off::kConfigdType, fields.configd_type);
  WriteU32(r, off::kUsbPorts, fields.usb_ports);
  WriteU32(r, off::kStorageMode, fields.storage_mode);
  std::memcpy(r.data() + off::kAddress, fields.address.bytes.data(), 4);
  return r;
}

bool ContainsKeyword(std::span<const uint8_t> bytes, std::string_view keyword) {
  auto end = std::find(bytes.begin(), bytes.end(), uint8_t{0});
  std::string_view text(reinterpret_cast<const char*>(bytes.data()),
                        static_cast<size_t>(end - bytes.begin()));
  return text.find(keyword) != std::string_view::npos;
}

bool ContainsBytes(std::span<const uint8_t> bytes, std::string_view keyword) {
  std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  return text.find(keyword) != std::string_view::npos;
}

std::string MacText(std::span<const uint8_t, 6> mac) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string s;
  for (size_t i = 0; i < 6; ++i) {
    if (i) s += ':';
    s += kHex[mac[i] >> 4];
    s += kHex[mac[i] & 15];
  }
  return s;
}

std::optional<Mac> ParseMac(std::string_view text) {
  if (text.size() != 17) return std::nullopt;
  Mac mac{};
  auto hex = [](char c) -> int {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
  };
  for (size_t i = 0; i < 6; ++i) {
    int hi = hex(text[3 * i]), lo = hex(text[3 * i + 1]);
    if (hi < 0 || lo < 0) return std::nullopt;
    if (i < 5 && text[3 * i + 2] != ':' && text[3 * i + 2] != '-') return std::nullopt;
    mac[i] = static_cast<uint8_t>(hi * 16 + lo);
  }
  return mac;
}

}  // namespace vx::discovery
