// The server record parser with records of any length and content.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "discovery/protocol.h"
#include "discovery/server_info.h"

using namespace vx::discovery;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::span<const uint8_t> bytes(data, size);
  auto info = ParseServerInfo(bytes, vx::IdentityTextCodec());
  if (info.has_value() != (size == kRecordSize)) std::abort();
  Record r{};
  std::memcpy(r.data(), data, std::min(size, kRecordSize));
  ServerInfo s = ParseServerInfo(r, vx::IdentityTextCodec());
  if (s.mac_address.size() != 17 || s.model.size() > 20 || s.configd_version.size() > 4) std::abort();
  if (s.adapter_index != 0 || s.config_socket != 0) std::abort();
  if (info && !(*info == s)) std::abort();
  (void)ContainsKeyword(bytes, kReplyMagic);
  (void)ContainsBytes(bytes, kRequestMagic);
  return 0;
}
