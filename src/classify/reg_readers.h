// The registry readers of device classification: small read-only helpers on
// HKEY_LOCAL_MACHINE that never fail loudly. Each opens its key for query,
// reads, closes it again, and gives an empty result (empty text, empty list,
// 0) on any failure: a missing key or value, a value of another type, a
// value larger than the reader's buffer.
//
// Key paths are below HKEY_LOCAL_MACHINE; a trailing "\" (as device key texts
// carry) is allowed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/registry/registry.h"

namespace vx::classify {

// Buffer sizes of the readers, in bytes as the registry stores the data
// (UTF-16: a 256-byte text holds at most 127 characters and its terminator).
inline constexpr size_t kRegSzBytes = 256;
inline constexpr size_t kRegMultiSzBytes = 1024;

// Splits the stored data of a REG_MULTI_SZ value (UTF-16LE) into its strings
// in order, stopping at the first empty string. A last string without its
// terminator is kept; an odd last byte is dropped; what cannot be decoded
// becomes U+FFFD.
std::vector<std::string> ParseMultiSz(std::string_view utf16le);

class RegReaders {
 public:
  explicit RegReaders(Registry& registry) : registry_(registry) {}

  // A REG_SZ or REG_EXPAND_SZ value of at most kRegSzBytes.
  std::string ReadRegSz(std::string_view key, std::string_view value) const;
  // A REG_MULTI_SZ value of at most kRegMultiSzBytes, as ParseMultiSz splits it.
  std::vector<std::string> ReadRegMultiSz(std::string_view key, std::string_view value) const;
  // A REG_DWORD value (exactly four bytes); 0 otherwise.
  uint32_t ReadRegDword(std::string_view key, std::string_view value) const;
  // The name of subkey number `index` in the registry's order; empty when
  // `index` is negative, the key cannot be opened or there is no such subkey.
  std::string EnumRegSubKey(std::string_view key, int index) const;
  // The names of the first `limit` subkeys (fewer when there are fewer): one
  // listing for a walk over indices 0 to limit-1.
  std::vector<std::string> EnumRegSubKeys(std::string_view key, size_t limit) const;

 private:
  std::unique_ptr<RegistryKey> Open(std::string_view key) const;

  Registry& registry_;
};

}  // namespace vx::classify
