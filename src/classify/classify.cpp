#include "classify/classify.h"

#include <array>
#include <utility>

namespace vx::classify {
namespace {

constexpr std::string_view kEnum = "SYSTEM\\CurrentControlSet\\Enum\\";
constexpr std::string_view kClassKey = "SYSTEM\\CurrentControlSet\\Control\\Class\\";
constexpr std::string_view kPrinters = "SYSTEM\\CurrentControlSet\\Control\\Print\\Printers";

constexpr size_t kInstances = 20;  // instance subkeys looked at per lookup
constexpr int kInterfaces = 10;    // interfaces of a composite device
constexpr size_t kPrinterHardwareIds = 100;
constexpr size_t kPrinterInstances = 10;
constexpr size_t kQueues = 100;
constexpr size_t kDot4Functions = 10;

char Upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

std::string UpperText(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = Upper(c);
  return out;
}

// "equals": ASCII case-insensitive.
bool Equals(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (Upper(a[i]) != Upper(b[i])) return false;
  return true;
}

bool Contains(std::string_view text, std::string_view part) {
  return text.find(part) != std::string_view::npos;
}

bool IsScannerService(std::string_view service) {
  return Equals(service, "usbscan") || Equals(service, "StillCam") || Equals(service, "Dot4Scan");
}

USBClass StillImageBit(uint32_t type) {
  switch (type) {
    case kStillImageScanner:
      return USBCLASS_SCANNER;
    case kStillImageCamera:
      return USBCLASS_CAMERA;
    case kStillImageVideo:
      return USBCLASS_VIDEO;
    default:
      return 0;
  }
}

// The models whose instance key may differ from the serial their server reports.
bool InstanceMayDifferFromSerial(std::string_view vid, std::string_view pid) {
  return (vid == "04B8" && pid == "085C") || (vid == "04E8" && pid == "3413");
}

std::string_view DropPrefix(std::string_view s, size_t n) {
  return s.size() > n ? s.substr(n) : std::string_view();
}

struct BitName {
  USBClass bit;
  const char* name;
};
constexpr std::array<BitName, 12> kBitNames = {{
    {USBCLASS_AUDIO, "USBCLASS_AUDIO"},
    {USBCLASS_HID, "USBCLASS_HID"},
    {USBCLASS_PRINTER, "USBCLASS_PRINTER"},
    {USBCLASS_STORAGE, "USBCLASS_STORAGE"},
    {USBCLASS_HUB, "USBCLASS_HUB"},
    {USBCLASS_SCANNER, "USBCLASS_SCANNER"},
    {USBCLASS_CAMERA, "USBCLASS_CAMERA"},
    {USBCLASS_VIDEO, "USBCLASS_VIDEO"},
    {USBCLASS_COMPOSITE, "USBCLASS_COMPOSITE"},
    {USBCLASS_DOT4, "USBCLASS_DOT4"},
    {USBCLASS_PRINTER_SECOND, "USBCLASS_PRINTER_SECOND"},
    {USBCLASS_UNKNOWN, "USBCLASS_UNKNOWN"},
}};

}  // namespace

std::vector<std::string> USBClassNames(USBClass flags) {
  std::vector<std::string> names;
  for (const auto& b : kBitNames)
    if (flags & b.bit) names.emplace_back(b.name);
  return names;
}

// The instance subkey of `parent` that `key_text` selects: "0" the first; with
// `last_match` the last whose name contains `key_text`, otherwise the one
// whose name is identical to it. Only existing subkeys are looked at, so a
// lookup never ends on the position after the last one.
std::string DeviceClassifier::FindInstance(const std::string& parent, std::string_view key_text,
                                           bool last_match) const {
  const auto names = readers_.EnumRegSubKeys(parent, kInstances);
  if (key_text == "0") return names.empty() ? std::string() : parent + names.front() + "\\";
  std::string candidate;
  for (const auto& name : names) {
    if (last_match) {
      if (Contains(name, key_text)) candidate = name;
    } else if (name == key_text) {
      return parent + name + "\\";
    }
  }
  return candidate.empty() ? std::string() : parent + candidate + "\\";
}

std::string DeviceClassifier::FindDeviceKey(std::string_view vid, std::string_view pid, int interface,
                                            std::string_view key_text) const {
  if (interface < -1) return {};
  std::string base = std::string(kEnum) + "USB\\Vid_" + std::string(vid) + "&Pid_" + std::string(pid);
  if (interface >= 0) return FindInstance(base + "&MI_0" + std::to_string(interface) + "\\", key_text, true);
  const std::string parent = base + "\\";
  if (key_text == "0") return FindInstance(parent, key_text, false);
  const auto names = readers_.EnumRegSubKeys(parent, kInstances);
  if (key_text.empty()) {
    // A device without a serial number: Windows names its instance after the
    // port it sits on ("5&1c2d3e4f&0&3"), never after a serial, so the first
    // such instance is it; an instance named after a serial belongs to
    // another device of the same model.
    for (const auto& name : names)
      if (Contains(name, "&")) return parent + name + "\\";
    return {};
  }
  for (const auto& name : names)
    if (name == key_text) return parent + name + "\\";
  // Two models whose instance key may differ from the serial their server
  // reports: the first instance whose name does not begin with the serial.
  // An instance named exactly after the serial is preferred wherever it is.
  if (InstanceMayDifferFromSerial(vid, pid))
    for (const auto& name : names)
      if (std::string_view(name).substr(0, key_text.size()) != key_text) return parent + name + "\\";
  return {};
}

std::string DeviceClassifier::FindDot4Key(std::string_view name, std::string_view prefix) const {
  return FindInstance(std::string(kEnum) + "DOT4\\" + std::string(name) + "\\", prefix, true);
}

std::string DeviceClassifier::FindDot4UsbKey(std::string_view name, std::string_view prefix) const {
  return FindInstance(std::string(kEnum) + "DOT4USB\\" + std::string(name) + "\\", prefix, true);
}

bool DeviceClassifier::ClassifyDeviceKey(std::string_view device_id_str, USBClass* flags) const {
  if (device_id_str.empty()) return false;
  const auto ids = readers_.ReadRegMultiSz(device_id_str, "CompatibleIDs");
  if (ids.empty()) return false;
  const USBClass before = *flags;
  static constexpr std::pair<std::string_view, USBClass> kPatterns[] = {
      {"USB\\COMPOSITE", USBCLASS_COMPOSITE}, {"USB\\Class_07&SubClass_01&Prot_03", USBCLASS_DOT4},
      {"USB\\Class_07", USBCLASS_PRINTER},    {"USB\\Class_08", USBCLASS_STORAGE},
      {"USB\\Class_01", USBCLASS_AUDIO},      {"USB\\Class_03", USBCLASS_HID},
      {"USB\\Class_09", USBCLASS_HUB},
  };
  bool matched = false;
  for (const auto& id : ids) {
    for (const auto& [pattern, bit] : kPatterns) {
      if (!Equals(id, pattern)) continue;
      USBClass add = bit;
      if (bit == USBCLASS_PRINTER && (*flags & USBCLASS_PRINTER)) add = USBCLASS_PRINTER_SECOND;
      *flags |= add;
      matched = true;
      break;
    }
    if (matched) break;
  }
  if (*flags == before && Equals(readers_.ReadRegSz(device_id_str, "Class"), "Image")) {
    if (IsScannerService(readers_.ReadRegSz(device_id_str, "Service")))
      *flags |= USBCLASS_SCANNER;
    else
      *flags |= StillImageBit(
          GetScanDriver(readers_.ReadRegSz(device_id_str, "Driver"), nullptr, nullptr, nullptr));
  }
  if (*flags == before) *flags |= USBCLASS_UNKNOWN;
  return true;
}

uint32_t DeviceClassifier::GetScanDriver(std::string_view driver_key, std::string* scan_name_wia,
                                         std::string* scan_name_twain, std::string* scan_device_id) const {
  if (driver_key.empty()) return 0;
  const std::string key = std::string(kClassKey) + std::string(driver_key);
  if (!Equals(readers_.ReadRegSz(key, "SubClass"), "StillImage")) return 0;
  const uint32_t type = readers_.ReadRegDword(key, "DeviceType");
  if (type == kStillImageScanner) {
    if (scan_name_wia) *scan_name_wia = readers_.ReadRegSz(key, "FriendlyName");
    if (scan_name_twain) *scan_name_twain = readers_.ReadRegSz(key + "\\DeviceData", "TwainDS");
    if (scan_device_id) *scan_device_id = readers_.ReadRegSz(key, "DeviceID");
  }
  return type;
}

bool DeviceClassifier::FindPrinterQueues(std::string_view enumerator, std::string_view prefix,
                                         DeviceDriverInfo* info) const {
  if (prefix.empty() || !info) return false;
  info->PrinterName.clear();
  info->PrinterPort.clear();
  info->FaxName.clear();
  info->FaxPort.clear();

  // The printer-class child of the node: the first instance under any of the
  // enumerator's hardware ids whose name holds the node's prefix and that
  // has a driver installed.
  const std::string enum_key = std::string(kEnum) + std::string(enumerator);
  std::string instance_id;
  for (const auto& hardware_id : readers_.EnumRegSubKeys(enum_key, kPrinterHardwareIds)) {
    const std::string hw_key = enum_key + "\\" + hardware_id;
    for (const auto& instance : readers_.EnumRegSubKeys(hw_key, kPrinterInstances)) {
      if (Contains(instance, prefix) && !readers_.ReadRegSz(hw_key + "\\" + instance, "Driver").empty()) {
        instance_id = std::string(enumerator) + "\\" + hardware_id + "\\" + instance;
        break;
      }
    }
    if (!instance_id.empty()) break;
  }
  if (instance_id.empty()) return false;

  // Its queue: the last whose Plug and Play data names that instance.
  const auto queues = readers_.EnumRegSubKeys(kPrinters, kQueues);
  const std::string printers = std::string(kPrinters) + "\\";
  std::string driver;
  for (const auto& queue : queues) {
    const std::string id = readers_.ReadRegSz(printers + queue + "\\PnPData", "DeviceInstanceId");
    if (id.empty() || !Equals(id, instance_id)) continue;
    info->PrinterName = queue;
    info->PrinterPort = readers_.ReadRegSz(printers + queue, "Port");
    driver = readers_.ReadRegSz(printers + queue, "Printer Driver");
  }
  if (info->PrinterName.empty()) return false;

  // The fax queue of the same driver family: the words of the printer's
  // driver name, without the family word "Series" and without the empty
  // words that doubled blanks would give (every name contains those).
  std::vector<std::string> words;
  for (size_t start = 0; start <= driver.size();) {
    size_t blank = driver.find(' ', start);
    size_t end = blank == std::string::npos ? driver.size() : blank;
    std::string word = driver.substr(start, end - start);
    if (!word.empty() && !Contains(UpperText(word), "SERIES")) words.push_back(std::move(word));
    start = end + 1;
  }
  size_t best = 0;
  for (const auto& queue : queues) {
    const std::string fax_driver = readers_.ReadRegSz(printers + queue, "Printer Driver");
    if (Equals(fax_driver, driver) || !Contains(UpperText(fax_driver), "FAX")) continue;
    const std::string port = readers_.ReadRegSz(printers + queue, "Port");
    if (port.empty()) continue;
    size_t score = 0;
    for (const auto& w : words)
      if (Contains(fax_driver, w)) ++score;
    if (score > 0 && score > best) {
      best = score;
      info->FaxName = queue;
      info->FaxPort = port;
    }
  }
  // One shared word (the maker's name, say) does not make a family.
  if (best == 1) {
    info->FaxName.clear();
    info->FaxPort.clear();
  }
  return true;
}

USBClass DeviceClassifier::WhatInterface(std::string_view vid, std::string_view pid, std::string_view serial,
                                         DeviceDriverInfo* info, bool use_serial) {
  if (info) *info = DeviceDriverInfo{};
  device_id_str_ = FindDeviceKey(vid, pid, -1, use_serial ? serial : std::string_view("0"));
  if (device_id_str_.empty()) return 0;
  USBClass flags = 0;
  ClassifyDeviceKey(device_id_str_, &flags);
  if ((flags & USBCLASS_PRINTER) && info) {
    FindPrinterQueues("USBPRINT", readers_.ReadRegSz(device_id_str_, "ParentIdPrefix"), info);
  } else if ((flags & USBCLASS_SCANNER) && info) {
    GetScanDriver(readers_.ReadRegSz(device_id_str_, "Driver"), &info->ScanNameWIA, &info->ScanNameTwain,
                  &info->ScanDeviceID);
  } else if (flags & USBCLASS_COMPOSITE) {
    InterfaceWalk(vid, pid, info, &flags);
  }
  if (flags & USBCLASS_DOT4) Dot4FunctionWalk(info, &flags);
  if (vid == "04E8") flags |= USBCLASS_SCANNER;
  return flags;
}

void DeviceClassifier::InterfaceWalk(std::string_view vid, std::string_view pid, DeviceDriverInfo* info,
                                     USBClass* flags) {
  const std::string prefix = readers_.ReadRegSz(device_id_str_, "ParentIdPrefix");
  bool printer_done = false, second_done = false, scanner_done = false, dot4_done = false;
  std::string dot4_node;
  for (int n = 0; n < kInterfaces; ++n) {
    device_id_str_ = FindDeviceKey(vid, pid, n, prefix);
    ClassifyDeviceKey(device_id_str_, flags);
    const std::string& node = device_id_str_;
    auto node_prefix = [&] { return readers_.ReadRegSz(node, "ParentIdPrefix"); };

    if (!printer_done && (*flags & USBCLASS_PRINTER)) {
      printer_done = true;
      if (info) FindPrinterQueues("USBPRINT", node_prefix(), info);
    }
    if (!second_done && (*flags & USBCLASS_PRINTER_SECOND)) {
      second_done = true;
      if (info) {
        DeviceDriverInfo second;
        FindPrinterQueues("USBPRINT", node_prefix(), &second);
        if (Contains(UpperText(info->PrinterName), "FAX")) {
          // The first printer function is the fax: exchange the two.
          info->FaxName = std::exchange(info->PrinterName, second.PrinterName);
          info->FaxPort = std::exchange(info->PrinterPort, second.PrinterPort);
        } else if (!second.PrinterName.empty() && info->FaxName != second.PrinterName) {
          // The second function is the fax; its own queue wins over the
          // one found by driver-name words (a missing one does not).
          info->FaxName = second.PrinterName;
          info->FaxPort = second.PrinterPort;
        }
      }
    }
    if (!scanner_done && (*flags & USBCLASS_SCANNER)) {
      scanner_done = true;
      if (info)
        GetScanDriver(readers_.ReadRegSz(node, "Driver"), &info->ScanNameWIA, &info->ScanNameTwain,
                      &info->ScanDeviceID);
    }
    if (!dot4_done && (*flags & USBCLASS_DOT4)) {
      if (Equals(readers_.ReadRegSz(node, "Service"), "Dot4")) {
        dot4_node = node;
      } else {
        const std::string p = node_prefix();
        for (const auto& hardware_id : readers_.ReadRegMultiSz(node, "HardwareID")) {
          dot4_node = FindDot4UsbKey(std::string(DropPrefix(hardware_id, 4)) + "&DOT4", p);
          if (!dot4_node.empty()) break;
        }
      }
      dot4_done = !dot4_node.empty();
    }
  }
  if (!dot4_node.empty()) device_id_str_ = dot4_node;
}

void DeviceClassifier::Dot4FunctionWalk(DeviceDriverInfo* info, USBClass* flags) {
  if (device_id_str_.empty()) return;
  const auto functions =
      readers_.EnumRegSubKeys(device_id_str_ + "Device Parameters\\Functions", kDot4Functions);
  if (functions.empty()) return;
  const auto hardware_ids = readers_.ReadRegMultiSz(device_id_str_, "HardwareID");
  const std::string prefix = readers_.ReadRegSz(device_id_str_, "ParentIdPrefix");
  const bool bridge =
      Equals(std::string_view(device_id_str_).substr(0, kEnum.size() + 8), std::string(kEnum) + "DOT4USB\\");
  const size_t cut = bridge ? 8 : 4;  // "DOT4USB\" or "USB\"
  for (const auto& hardware_id : hardware_ids) {
    for (const auto& function : functions) {
      const std::string key = FindDot4Key(std::string(DropPrefix(hardware_id, cut)) + "&" + function, prefix);
      if (key.empty()) continue;
      const std::string cls = readers_.ReadRegSz(key, "Class");
      if (Equals(cls, "Dot4Print")) {
        *flags |= USBCLASS_PRINTER;
        if (info) {
          // Each print function found overwrites the printer fields.
          DeviceDriverInfo found = *info;
          if (FindPrinterQueues("DOT4PRT", readers_.ReadRegSz(key, "ParentIdPrefix"), &found)) *info = found;
        }
      } else if (Equals(cls, "Image")) {
        if (IsScannerService(readers_.ReadRegSz(key, "Service"))) *flags |= USBCLASS_SCANNER;
        const std::string driver = readers_.ReadRegSz(key, "Driver");
        *flags |= StillImageBit(
            info ? GetScanDriver(driver, &info->ScanNameWIA, &info->ScanNameTwain, &info->ScanDeviceID)
                 : GetScanDriver(driver, nullptr, nullptr, nullptr));
      }
    }
  }
}

}  // namespace vx::classify
