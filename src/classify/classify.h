// Device classification: which USB functions a device connected to this PC
// presents, and which print queues and still-image entries belong to it, as
// Windows' Plug and Play enumeration left them under HKEY_LOCAL_MACHINE.
// Nothing is cached and nothing is written: every call reads the registry
// afresh, bounded (20 instances per lookup, 10 interfaces, 100 x 10
// printer-class instances, 100 print queues, 10 DOT4 functions).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "classify/reg_readers.h"
#include "platform/registry/registry.h"

namespace vx::classify {

// The bit set of a device's functions; 0: the device was not found on this PC.
using USBClass = uint32_t;
inline constexpr USBClass USBCLASS_AUDIO = 0x00000001;
inline constexpr USBClass USBCLASS_HID = 0x00000002;
inline constexpr USBClass USBCLASS_PRINTER = 0x00000004;
inline constexpr USBClass USBCLASS_STORAGE = 0x00000008;
inline constexpr USBClass USBCLASS_HUB = 0x00000010;
inline constexpr USBClass USBCLASS_SCANNER = 0x00000020;
inline constexpr USBClass USBCLASS_CAMERA = 0x00000040;
inline constexpr USBClass USBCLASS_VIDEO = 0x00000080;
inline constexpr USBClass USBCLASS_COMPOSITE = 0x00000400;
inline constexpr USBClass USBCLASS_DOT4 = 0x00000800;
inline constexpr USBClass USBCLASS_PRINTER_SECOND = 0x00004000;
inline constexpr USBClass USBCLASS_UNKNOWN = 0x10000000;

// The names of the set bits ("USBCLASS_PRINTER", ...) in bit order.
std::vector<std::string> USBClassNames(USBClass flags);

// The Windows objects of a device's functions; all empty when none was found.
struct DeviceDriverInfo {
  std::string PrinterName;    // the printer function's queue
  std::string PrinterPort;    // that queue's "Port"
  std::string FaxName;        // the queue that serves the fax function
  std::string FaxPort;        // that queue's "Port"
  std::string ScanNameWIA;    // the still-image device's "FriendlyName"
  std::string ScanNameTwain;  // its TWAIN data source ("DeviceData\TwainDS")
  std::string ScanDeviceID;   // its "DeviceID"

  friend bool operator==(const DeviceDriverInfo&, const DeviceDriverInfo&) = default;
};

// Still-image device types of a driver key.
inline constexpr uint32_t kStillImageScanner = 1;
inline constexpr uint32_t kStillImageCamera = 2;
inline constexpr uint32_t kStillImageVideo = 3;

class DeviceClassifier {
 public:
  explicit DeviceClassifier(Registry& registry) : reg_(registry) {}

  // The functions of the device with these ids (vid and pid as four upper-case
  // hexadecimal digits, the serial as its server reports it), filling `info`
  // when given. With `use_serial` false the first instance of the model is
  // taken, whatever its serial. DeviceIDStr() tells the node it ended on.
  USBClass WhatInterface(std::string_view vid, std::string_view pid, std::string_view serial,
                         DeviceDriverInfo* info, bool use_serial = true);

  // The registry path (below HKEY_LOCAL_MACHINE, ending in "\") of the node
  // the last WhatInterface examined last: the device node, an interface node
  // or the DOT4 node; empty when the device was not found.
  const std::string& DeviceIDStr() const { return device_id_str_; }

  // The key of a device node (`interface` -1; `key_text` its serial, "0" for
  // its first instance) or of one of its interface nodes (`interface` 0 to 9;
  // `key_text` the device's "ParentIdPrefix"); empty when not found.
  std::string FindDeviceKey(std::string_view vid, std::string_view pid, int interface,
                            std::string_view key_text) const;
  // The DOT4 function node "Enum\DOT4\<name>\..." and the DOT4 bridge node
  // "Enum\DOT4USB\<name>\..." whose instance name contains `prefix` (the last
  // such; "0": the first instance); empty when none.
  std::string FindDot4Key(std::string_view name, std::string_view prefix) const;
  std::string FindDot4UsbKey(std::string_view name, std::string_view prefix) const;

  // Adds the bits of one node to `flags`; false (and nothing added) when the
  // node has no compatible ids.
  bool ClassifyDeviceKey(std::string_view device_id_str, USBClass* flags) const;

  // The still-image device type of a driver key (0: not a still-image
  // device); for a scanner fills the outputs that are given.
  uint32_t GetScanDriver(std::string_view driver_key, std::string* scan_name_wia,
                         std::string* scan_name_twain, std::string* scan_device_id) const;

  // The print queue of the printer function whose node has "ParentIdPrefix"
  // `prefix`, under enumerator "USBPRINT" or "DOT4PRT", and the fax queue of
  // the same driver family; true when a print queue was found.
  bool FindPrinterQueues(std::string_view enumerator, std::string_view prefix, DeviceDriverInfo* info) const;

  const RegReaders& Readers() const { return readers_; }

 private:
  struct Handlers;
  void InterfaceWalk(std::string_view vid, std::string_view pid, DeviceDriverInfo* info, USBClass* flags);
  void Dot4FunctionWalk(DeviceDriverInfo* info, USBClass* flags);
  std::string FindInstance(const std::string& parent, std::string_view key_text, bool last_match) const;

  Registry& reg_;
  RegReaders readers_{reg_};
  std::string device_id_str_;
};

}  // namespace vx::classify
