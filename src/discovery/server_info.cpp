#include "discovery/server_info.h"

#include <algorithm>
#include <cstring>

namespace vx::discovery {
namespace {

// A text field: its bytes up to the first NUL, never past `width`.
std::string_view Field(const Record& r, size_t offset, size_t width) {
  const char* begin = reinterpret_cast<const char*>(r.data() + offset);
  return std::string_view(begin, static_cast<size_t>(std::find(begin, begin + width, '\0') - begin));
}

}  // namespace

ServerInfo ParseServerInfo(const Record& r, const TextCodec& codec) {
  ServerInfo info;
  info.mac_address = MacText(std::span<const uint8_t, 6>(r.data() + off::kMac, 6));
  info.model = codec.AnsiToUtf8(Field(r, off::kModel, 20));
  std::memcpy(info.mac_bytes.data(), r.data() + off::kMacBytes, 6);
  info.configd_version = codec.AnsiToUtf8(Field(r, off::kConfigdVersion, 4));
  info.network_type = ReadU32(r, off::kNetworkType);
  info.software_bus = ReadU32(r, off::kSoftwareBus);
  info.adapter_index = 0;
  info.config_socket = 0;
  info.configd_type = ReadU32(r, off::kConfigdType);
  info.usb_ports = ReadU32(r, off::kUsbPorts);
  info.storage_mode = ReadU32(r, off::kStorageMode);
  return info;
}

std::optional<ServerInfo> ParseServerInfo(std::span<const uint8_t> record, const TextCodec& codec) {
  if (record.size() != kRecordSize) return std::nullopt;
  Record r;
  std::memcpy(r.data(), record.data(), kRecordSize);
  return ParseServerInfo(r, codec);
}

}  // namespace vx::discovery
