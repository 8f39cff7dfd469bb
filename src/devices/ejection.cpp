#include "devices/ejection.h"

#include <cstdio>
#include <vector>

#include "platform/trace.h"

namespace vx::devices {

std::string UsbEnumKeyPath(uint16_t vid, uint16_t pid) {
  char t[40];
  std::snprintf(t, sizeof t, "Vid_%04x&Pid_%04X\\", unsigned(vid), unsigned(pid));
  return std::string("SYSTEM\\CurrentControlSet\\Enum\\USB\\") + t;
}

std::string DeviceInstanceId(uint16_t vid, uint16_t pid, const std::string& instance) {
  char t[40];
  std::snprintf(t, sizeof t, "USB\\Vid_%04x&Pid_%04x\\", unsigned(vid), unsigned(pid));
  return t + instance;
}

int ejectDevice(Registry& registry, ConfigManager& config_manager, uint16_t vid, uint16_t pid,
                const std::string& serial) {
  std::string path = UsbEnumKeyPath(vid, pid);
  // The port takes paths without a trailing separator.
  RegOpen key = registry.Open(RegRoot::kLocalMachine, path.substr(0, path.size() - 1), RegAccess::kQuery);
  if (key.status != RegStatus::kOk) {
    TraceLine("ejectDevice : Registry->OpenKey Failed : " + path);
    return kEjectNoKey;
  }
  std::vector<std::string> instances;
  if (key.key->EnumSubKeys(&instances) != RegStatus::kOk) instances.clear();
  const std::string* chosen = nullptr;
  for (const auto& name : instances) {
    if (serial == "0" || name == serial) {
      chosen = &name;
      break;
    }
  }
  if (!chosen) return kEjectOk;  // nothing registered: nothing to eject
  std::string id = DeviceInstanceId(vid, pid, *chosen);
  TraceLine("ejectDevice : " + id);
  uint32_t node = 0;
  if (!config_manager.Locate(id, &node)) {
    TraceLine("ejectDevice : CM_Locate_DevNode Failed : not error : Device not exist?? " + *chosen);
    return kEjectNotPresent;
  }
  if (!config_manager.RequestEject(node)) {
    TraceLine("ejectDevice : CM_Request_Device_Eject Failed : " + *chosen);
    return kEjectVetoed;
  }
  TraceLine("ejectDevice : CM_Request_Device_Eject OK : " + *chosen);
  return kEjectOk;
}

}  // namespace vx::devices
