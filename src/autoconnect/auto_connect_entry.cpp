#include "autoconnect/auto_connect_entry.h"

#include <optional>

#include "app/settings_store.h"
#include "platform/registry/reg_file.h"
#include "platform/trace.h"

namespace vx::autoconnect {
namespace {

// The texts of the 22 values, in the order of kEntryValueNames.
std::array<std::string, 22> ValueTexts(const AutoConnectInfo& i) {
  return {i.ServerName,
          i.ServerIP,
          i.ServerMAC,
          i.DeviceVid,
          i.DevicePid,
          i.DeviceSNo,
          i.DeviceType,
          i.DeviceManufacturer,
          i.DeviceProduct,
          FlagText(i.PrinterEnable),
          i.PrinterName,
          i.PrinterPort,
          FlagText(i.FaxEnable),
          i.FaxName,
          i.FaxPort,
          std::to_string(i.ScanIndex),
          i.ScanNameWIA,
          i.ScanNameTwain,
          FlagText(i.ScanToTwainEnable),
          FlagText(i.AutoAskUser),
          i.Reserve2,
          i.Reserve3};
}

std::string Text(RegistryKey& key, std::string_view name) {
  RegRead r = key.ReadString(name);
  return r.status == RegStatus::kOk ? std::move(r.text) : std::string();
}

}  // namespace

std::string EntryKeyName(std::string_view mac, std::string_view vid, std::string_view pid,
                         std::string_view sno) {
  std::string name = "MAC_";
  name += mac;
  name += "&Vid_";
  name += vid;
  name += "&Pid_";
  name += pid;
  name += "&SNo_";
  name += sno;
  return name;
}

std::string EntryKeyName(const AutoConnectInfo& info) {
  return EntryKeyName(info.ServerMAC, info.DeviceVid, info.DevicePid, info.DeviceSNo);
}

bool IsStorableKeyName(std::string_view name) {
  return name.find('\\') == std::string_view::npos && Utf8Chars(name) <= kRegMaxKeyNameChars;
}

std::string AutoConnectKeyPath(std::string_view base_key) {
  std::string path(base_key);
  path += '\\';
  path += kAutoConnectSubKey;
  return path;
}

std::string FlagText(bool on) { return on ? "1" : "0"; }

bool ReadFlag(std::string_view text) { return app::ParseSettingInt(text) == 1; }

int32_t ReadScanIndex(std::string_view text) {
  std::optional<int> v = app::ParseSettingInt(text);
  return v && (*v == kScanWia || *v == kScanTwain) ? *v : kScanNone;
}

AutoConnectInfo ReadEntryValues(RegistryKey& key) {
  AutoConnectInfo i;
  i.ServerName = Text(key, "ServerName");
  i.ServerIP = Text(key, "ServerIP");
  i.ServerMAC = Text(key, "ServerMAC");
  i.DeviceVid = Text(key, "DeviceVid");
  i.DevicePid = Text(key, "DevicePid");
  i.DeviceSNo = Text(key, "DeviceSNo");
  i.DeviceType = Text(key, "DeviceType");
  i.DeviceManufacturer = Text(key, "DeviceManufacturer");
  i.DeviceProduct = Text(key, "DeviceProduct");
  i.PrinterEnable = ReadFlag(Text(key, "PrinterEnable"));
  i.PrinterName = Text(key, "PrinterName");
  i.PrinterPort = Text(key, "PrinterPort");
  i.FaxEnable = ReadFlag(Text(key, "FaxEnable"));
  i.FaxName = Text(key, "FaxName");
  i.FaxPort = Text(key, "FaxPort");
  i.ScanIndex = ReadScanIndex(Text(key, "ScanIndex"));
  i.ScanNameWIA = Text(key, "ScanNameWIA");
  i.ScanNameTwain = Text(key, "ScanNameTwain");
  i.ScanToTwainEnable = ReadFlag(Text(key, "ScanToTwainEnable"));
  i.AutoAskUser = ReadFlag(Text(key, "AutoAskUser"));
  i.Reserve2 = Text(key, "Reserve2");
  i.Reserve3 = Text(key, "Reserve3");
  return i;
}

bool ReadDeviceReg(Registry& registry, std::string_view base_key, AutoConnectInfo& info) {
  const std::string name = EntryKeyName(info);
  if (!IsStorableKeyName(name)) {
    TraceLine("ReadDeviceReg : not a key name : " + name);
    return false;
  }
  RegOpen entry =
      registry.Open(RegRoot::kCurrentUser, AutoConnectKeyPath(base_key) + "\\" + name, RegAccess::kAll);
  if (entry.status != RegStatus::kOk) return false;
  info = ReadEntryValues(*entry.key);
  return true;
}

bool WriteDeviceReg(Registry& registry, std::string_view base_key, const AutoConnectInfo& info) {
  const std::string name = EntryKeyName(info);
  if (!IsStorableKeyName(name)) {
    TraceLine("WriteDeviceReg : not a key name : " + name);
    return false;
  }
  const std::string parent = AutoConnectKeyPath(base_key);
  RegOpen auto_key = registry.Create(RegRoot::kCurrentUser, parent, RegAccess::kAll);
  if (auto_key.status != RegStatus::kOk) {
    TraceLine("WriteDeviceReg : CreateKey Fail : " + parent + " (" + RegStatusName(auto_key.status) + ")");
    return false;
  }
  RegOpen entry = registry.Create(RegRoot::kCurrentUser, parent + "\\" + name, RegAccess::kAll);
  if (entry.status != RegStatus::kOk) {
    TraceLine("WriteDeviceReg : CreateKey Fail : " + name + " (" + RegStatusName(entry.status) + ")");
    return false;
  }
  const std::array<std::string, 22> texts = ValueTexts(info);
  bool all_written = true;
  for (size_t k = 0; k < texts.size(); ++k) {
    RegStatus s = entry.key->WriteString(kEntryValueNames[k], texts[k], false);
    if (s != RegStatus::kOk) {
      TraceLine("WriteDeviceReg : RegSetValueEx Fail : " + name + " - " + std::string(kEntryValueNames[k]));
      all_written = false;
    }
  }
  return all_written;
}

}  // namespace vx::autoconnect
