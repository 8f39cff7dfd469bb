// The records exchanged with the virtual USB bus driver: IOCTL codes, the
// bus list, the device list, the version record, the lock and request
// records, the forwarded discovery datagram, the TCP bus device path and the
// event records read from the master bus.
//
// Every parser works on the bytes the driver actually returned (never past
// them) and rejects a malformed record whole: the caller gets std::nullopt
// and treats it like a failed call. Encoders exist for every record so the
// lab's driver emulator speaks exactly what the parsers accept.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace vx::bus {

// IOCTL codes (METHOD_BUFFERED, device type 0x22, any access).
inline constexpr uint32_t kIoctlGetBusList = 0x222000;
inline constexpr uint32_t kIoctlBuildTcpBus = 0x222010;
inline constexpr uint32_t kIoctlAbort = 0x222018;
inline constexpr uint32_t kIoctlSendUdpPacket = 0x22201C;
inline constexpr uint32_t kIoctlGetDriverVersion = 0x222020;
inline constexpr uint32_t kIoctlGetDeviceList = 0x222044;
inline constexpr uint32_t kIoctlClaimDevice = 0x222048;
inline constexpr uint32_t kIoctlReleaseDevice = 0x22204C;
inline constexpr uint32_t kIoctlGetTcpBusVersion = 0x22205C;
inline constexpr uint32_t kIoctlLockDevice = 0x222060;
inline constexpr uint32_t kIoctlUnlockDevice = 0x222064;
inline constexpr uint32_t kIoctlRequestDevice = 0x222068;

// Buffer sizes the program passes.
inline constexpr size_t kBusListSize = 1024;
inline constexpr size_t kSmallRecordSize = 64;  // build bus, abort, versions
inline constexpr size_t kUdpPacketBufferSize = 2048;
inline constexpr size_t kDeviceListSize = 2048;
inline constexpr size_t kEventBufferSize = 4096;
// A text field of the driver's records holds at most this many bytes.
inline constexpr size_t kMaxTextBytes = 63;

// Last errors the driver reports (as the 32-bit Win32 last error).
inline constexpr int32_t kErrorPortIsPrinterServer = -30;  // claim refused
inline constexpr int32_t kErrorNotHeld = -32;              // release: device not held by this PC

// Interface class of the master bus and interface GUID of the TCP buses.
inline constexpr const char* kMasterBusInterfaceClass = "{A341E6CC-EA99-4FD3-9623-B16B3094DAE9}";
inline constexpr const char* kTcpBusInterfaceGuid = "{BB0ED04A-2086-43D7-B179-6CBD49A93E7B}";

// IPv4 addresses are kept as the 32-bit value of inet_addr: the four bytes in
// network order, read as a little-endian number (192.168.0.10 -> 0x0A00A8C0),
// which is net::Ipv4::NetworkOrder(). Dotted text is parsed by net::Ipv4::Parse.
std::string Ipv4Text(uint32_t ip);  // net::Ipv4::FromNetworkOrder(ip).ToString()
uint32_t LoadIpv4(const uint8_t* p);
void StoreIpv4(uint8_t* p, uint32_t ip);

// ---- bus list --------------------------------------------------------------
struct BusEntry {
  uint32_t ip = 0;
  int location = 0;  // 1 local, 3 remote, 0 and 2 another subnet
  std::string name;
};
struct BusList {
  std::vector<BusEntry> entries;  // empty for a count of 0 or less
};
enum class BusListError { kNone, kStatusZero, kTooLong, kMalformed };
// `returned` is the byte count the driver reported; only that many bytes of
// `buf` are read. Counts of 0 or less give an empty list.
std::optional<BusList> ParseBusList(std::span<const uint8_t> buf, size_t returned,
                                    BusListError* why = nullptr);
std::vector<uint8_t> EncodeBusList(const BusList& list);

// ---- device list -----------------------------------------------------------
struct ExtraPair {
  std::string key, value;
};
struct DeviceEntry {
  uint8_t device_no = 0;
  uint16_t vid = 0, pid = 0;
  int lock_type = 0;   // signed byte
  int lock_count = 0;  // signed byte
  std::string usb_class, owner, manufacturer, product, serial;
  std::vector<ExtraPair> extra;
};
struct DeviceList {
  std::vector<DeviceEntry> devices;
};
enum class DeviceListError { kNone, kStatusZero, kTooLong, kNegativeCount, kMalformed };
std::optional<DeviceList> ParseDeviceList(std::span<const uint8_t> buf, size_t returned,
                                          DeviceListError* why = nullptr);
// Fails (empty vector) when the list does not fit 2048 bytes or a text is
// longer than 63 bytes or more than 127 devices are given.
std::vector<uint8_t> EncodeDeviceList(const DeviceList& list);

// ---- version record --------------------------------------------------------
struct VersionRecord {
  int a = 0, b = 0, c = 0;
};
std::optional<VersionRecord> ParseVersion(std::span<const uint8_t> buf, size_t returned);
std::vector<uint8_t> EncodeVersion(const VersionRecord& v);  // 64 bytes
std::string FullVersionText(const VersionRecord& v);         // "a.b.c"
std::string DriverShortVersion(const VersionRecord& v);      // "a.c"
std::string TcpBusShortVersion(const VersionRecord& v);      // "c"

// ---- lock and request records (6 bytes each) -------------------------------
struct LockRecord {
  uint8_t device_no = 0;
  uint32_t lock_time = 0;
  uint8_t lock_type = 0;
};
std::vector<uint8_t> EncodeLock(const LockRecord& r);
std::optional<LockRecord> ParseLock(std::span<const uint8_t> buf);

struct RequestRecord {
  uint8_t device_no = 0;
  uint8_t command = 0;
  uint32_t ip = 0;  // 0 when the caller gives none
};
std::vector<uint8_t> EncodeRequest(const RequestRecord& r);
std::optional<RequestRecord> ParseRequest(std::span<const uint8_t> buf);

// ---- forwarded discovery datagram ------------------------------------------
struct UdpForward {
  uint32_t source_ip = 0;
  std::vector<uint8_t> bytes;
};
// 4 + 4 + n bytes; fails (empty) when it would not fit the 2048-byte buffer.
std::vector<uint8_t> EncodeUdpForward(uint32_t source_ip, std::span<const uint8_t> bytes);
std::optional<UdpForward> ParseUdpForward(std::span<const uint8_t> buf);

// ---- TCP bus device path ---------------------------------------------------
std::string TcpBusPath(uint32_t ip);
// The server address inside a TCP bus path, or nullopt when it is not one.
std::optional<uint32_t> ParseTcpBusPath(std::string_view path);

// ---- event records ---------------------------------------------------------
inline constexpr uint8_t kEventUpdateDeviceList = 1;  // OP_UBUS_UPDATE_DEVICE_LIST
inline constexpr uint8_t kEventUpdateBusList = 2;     // OP_MBUS_UPDATE_BUS_LIST
inline constexpr uint8_t kEventUpdateIp = 3;          // UPDATE_IP
inline constexpr uint8_t kEventRequestToUse = 4;      // OP_UBUS_REQUEST_TO_USE_DEVICE
inline constexpr uint8_t kEventAudioData = 5;         // OP_UBUS_AUDIO_DATA
inline constexpr uint8_t kEventErrorCode = 6;         // OP_UBUS_ERROR_CODE_EVENT

struct EventRecord {
  uint8_t code = 0;
  uint32_t server_ip = 0;  // codes 1, 4 and 6 (error code 1)
  // code 4
  uint8_t command = 0;
  int device_no = 0;  // signed byte
  uint32_t asker_ip = 0;
  std::string host_name;
  // code 6
  uint8_t error_code = 0;
  uint32_t error_values[4] = {0, 0, 0, 0};  // error codes other than 1
};
// Names used in trace lines ("UPDATE_DEVICE_LIST", ...); empty for unknown codes.
std::string_view EventName(uint8_t code);
// Parses one record of `length` bytes. Unknown codes, and records too short
// for the fields their code carries, give nullopt.
std::optional<EventRecord> ParseEvent(std::span<const uint8_t> record);
std::vector<uint8_t> EncodeEvent(const EventRecord& e);

}  // namespace vx::bus
