// The registry port: the few operations on the system registry this program
// needs (open a key, create a key, read and write string values, list
// subkeys), with failures as values that keep "not there" apart from "not
// allowed". Texts are UTF-8; the Windows adapter converts to UTF-16 at its
// boundary. Key paths use "\" between components and have no leading "\".
//
// Implementations: the Win32 adapter (win32/registry_win32.h) and the
// in-memory FakeRegistry (fake_registry.h), which also reads and writes
// REGEDIT4 text.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace vx {

enum class RegRoot : uint8_t {
  kCurrentUser,   // HKEY_CURRENT_USER
  kLocalMachine,  // HKEY_LOCAL_MACHINE
};

// What a key handle may do. kQuery reads values and lists subkeys, kSetValue
// writes values, kAll does both.
enum class RegAccess : uint8_t { kQuery, kSetValue, kAll };

enum class RegStatus : uint8_t {
  kOk,
  kNotFound,      // key or value does not exist
  kAccessDenied,  // the key exists but may not be opened or changed this way
  kWrongType,     // the value exists but is not a string (REG_SZ / REG_EXPAND_SZ)
  kMoreData,      // the value is larger than the caller's byte limit
  kBadPath,       // the key path or value name is malformed
  kFailed,        // any other failure
};

// "kNotFound", "kAccessDenied", ... for trace lines and test messages.
const char* RegStatusName(RegStatus status);

// Registry value types as the system numbers them.
inline constexpr uint32_t kRegNone = 0;
inline constexpr uint32_t kRegSz = 1;
inline constexpr uint32_t kRegExpandSz = 2;
inline constexpr uint32_t kRegBinary = 3;
inline constexpr uint32_t kRegDword = 4;
inline constexpr uint32_t kRegMultiSz = 7;
inline constexpr uint32_t kRegQword = 11;

// Data of a value read. For string values the text up to the first NUL.
struct RegRead {
  RegStatus status = RegStatus::kFailed;
  std::string text;  // UTF-8; meaningful only when status is kOk
};

// The limit used when a caller sets none: values larger than this are
// refused with kMoreData rather than read (the system itself stores values
// of at most about 1 MB).
inline constexpr size_t kRegDefaultReadLimit = 1u << 20;

// A value as the system stores it: its type and its data bytes, string types
// (REG_SZ, REG_EXPAND_SZ, REG_MULTI_SZ) as UTF-16LE exactly as stored (a
// terminator may be missing, the length may be odd), other types raw.
struct RegValueRead {
  RegStatus status = RegStatus::kFailed;
  uint32_t type = kRegNone;
  std::string data;  // meaningful only when status is kOk
};

// An open key. Closing happens when the object is destroyed.
class RegistryKey {
 public:
  virtual ~RegistryKey() = default;

  // Reads a REG_SZ or REG_EXPAND_SZ value (no expansion). `max_bytes` bounds
  // the stored data as the system measures it: UTF-16 code units of two bytes
  // including the terminating NUL, so 256 bytes hold at most 127 characters.
  // A larger value gives kMoreData; a value of another type kWrongType; an
  // absent value kNotFound. Needs kQuery or kAll access.
  virtual RegRead ReadString(std::string_view name, size_t max_bytes = kRegDefaultReadLimit) = 0;

  // Reads a value of any type with its stored data (see RegValueRead). Data
  // larger than `max_bytes` gives kMoreData; an absent value kNotFound.
  // Needs kQuery or kAll access. Adapters that cannot read raw data fail.
  virtual RegValueRead ReadValue(std::string_view /*name*/, size_t /*max_bytes*/ = kRegDefaultReadLimit) {
    return {};
  }

  // Writes `text` as REG_SZ, or REG_EXPAND_SZ when `expandable`. An empty
  // name is the key's default value. Needs kSetValue or kAll access.
  virtual RegStatus WriteString(std::string_view name, std::string_view text, bool expandable) = 0;

  // Names of the direct subkeys, in the order the registry lists them.
  // Needs kQuery or kAll access.
  virtual RegStatus EnumSubKeys(std::vector<std::string>* names) = 0;
};

struct RegOpen {
  RegStatus status = RegStatus::kFailed;
  std::unique_ptr<RegistryKey> key;  // set exactly when status is kOk
};

class Registry {
 public:
  virtual ~Registry() = default;

  // Opens an existing key; never creates one. An empty path opens the root.
  virtual RegOpen Open(RegRoot root, std::string_view path, RegAccess access) = 0;

  // Opens the key, creating it and its missing parents first.
  virtual RegOpen Create(RegRoot root, std::string_view path, RegAccess access) = 0;
};

}  // namespace vx
