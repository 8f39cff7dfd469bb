// One auto-connect registry entry: the subkey of the auto-connect key that
// remembers a server device from run to run, keyed by the server's MAC
// address and the device's vendor id, product id and serial number. Every
// value is a string (REG_SZ); numbers and flags are decimal text. A write
// writes all 22 values in the order of `kEntryValueNames`; a read applies
// the checks of each value (a flag is 0 unless it reads exactly as 0 or 1,
// the scanner interface is 0 unless it reads as 1 or 2).
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/registry/registry.h"

namespace vx::autoconnect {

// The auto-connect key below the program's settings key.
inline constexpr std::string_view kAutoConnectSubKey = "Auto-Connect";

// The values of an entry, in the order a write writes them.
inline constexpr std::array<std::string_view, 22> kEntryValueNames = {
    "ServerName",  "ServerIP",    "ServerMAC",          "DeviceVid",         "DevicePid",
    "DeviceSNo",   "DeviceType",  "DeviceManufacturer", "DeviceProduct",     "PrinterEnable",
    "PrinterName", "PrinterPort", "FaxEnable",          "FaxName",           "FaxPort",
    "ScanIndex",   "ScanNameWIA", "ScanNameTwain",      "ScanToTwainEnable", "AutoAskUser",
    "Reserve2",    "Reserve3"};

// ScanIndex values: which scanner interface network scanning uses.
inline constexpr int32_t kScanNone = 0;
inline constexpr int32_t kScanWia = 1;
inline constexpr int32_t kScanTwain = 2;

// One entry in memory, field by field in the order of the values. Whoever
// needs an entry fills the four key texts (ServerMAC, DeviceVid, DevicePid,
// DeviceSNo), reads it, changes it and writes it back.
struct AutoConnectInfo {
  std::string ServerName;  // server name at registration (display only)
  std::string ServerIP;    // server address text at registration (display only)
  std::string ServerMAC;   // key part
  std::string DeviceVid;   // key part, as the device list writes it
  std::string DevicePid;   // key part
  std::string DeviceSNo;   // key part; "0" when the device has none
  std::string DeviceType;  // class text from the device list ("PRINTER", "MFP", ...)
  std::string DeviceManufacturer;
  std::string DeviceProduct;
  bool PrinterEnable = false;  // the printer function is registered
  std::string PrinterName;     // Windows queue watched for print jobs
  std::string PrinterPort;     // its port name at registration
  bool FaxEnable = false;      // the fax function is registered
  std::string FaxName;
  std::string FaxPort;
  int32_t ScanIndex = kScanNone;  // kScanNone, kScanWia or kScanTwain; kept as read
  std::string ScanNameWIA;
  std::string ScanNameTwain;
  bool ScanToTwainEnable = false;  // kept as read
  bool AutoAskUser = false;        // kept as read
  std::string Reserve2;            // kept as read
  std::string Reserve3;            // kept as read

  friend bool operator==(const AutoConnectInfo&, const AutoConnectInfo&) = default;
};

// "MAC_" + ServerMAC + "&Vid_" + DeviceVid + "&Pid_" + DevicePid + "&SNo_" +
// DeviceSNo, from the texts exactly as they are (no case change, no padding).
std::string EntryKeyName(const AutoConnectInfo& info);
std::string EntryKeyName(std::string_view mac, std::string_view vid, std::string_view pid,
                         std::string_view sno);

// Whether the name can be one subkey: a "\" would make the registry create a
// nested key (and the entry would be written where no load finds it).
bool IsStorableKeyName(std::string_view name);

// `base_key` + "\Auto-Connect".
std::string AutoConnectKeyPath(std::string_view base_key);

// The 22 values of an open entry key with the read checks: an absent or
// unreadable value reads as empty text or as the number's default.
AutoConnectInfo ReadEntryValues(RegistryKey& key);

// The decimal text of a flag / number as written ("1", "0", "2").
std::string FlagText(bool on);

// The read checks of the flags and of ScanIndex.
bool ReadFlag(std::string_view text);
int32_t ReadScanIndex(std::string_view text);

// Opens the entry named by the record's four key texts under
// `base_key` + "\Auto-Connect" (full access, never creating it) and reads
// all 22 values into `info`. False, with `info` unchanged, when the entry
// does not exist or cannot be opened (or its name cannot be a subkey).
bool ReadDeviceReg(Registry& registry, std::string_view base_key, AutoConnectInfo& info);

// Opens `base_key` + "\Auto-Connect" and then the entry key, creating either
// when missing, and writes all 22 values in order. False when a key cannot
// be opened or created, when the entry's name cannot be a subkey, or when a
// value could not be written (the others are still written).
bool WriteDeviceReg(Registry& registry, std::string_view base_key, const AutoConnectInfo& info);

}  // namespace vx::autoconnect
