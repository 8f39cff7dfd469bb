// Storage ejection: finds the device's instance among the system's USB
// device registrations (by vendor id, product id and serial number) and asks
// the configuration manager to eject it. Result codes in device_ops.h.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "devices/device_ops.h"
#include "platform/registry/registry.h"

namespace vx::devices {

// The configuration manager's part the ejection needs.
class ConfigManager {
 public:
  virtual ~ConfigManager() = default;
  // Locates the node of a device instance id; false when it is not present.
  virtual bool Locate(const std::string& instance_id, uint32_t* node) = 0;
  // Asks for the eject; true when it was not vetoed (nor refused).
  virtual bool RequestEject(uint32_t node) = 0;
};

// The registry key of the vendor/product pair, under HKEY_LOCAL_MACHINE.
std::string UsbEnumKeyPath(uint16_t vid, uint16_t pid);
// "USB\Vid_04bb&Pid_0c1a\<instance>".
std::string DeviceInstanceId(uint16_t vid, uint16_t pid, const std::string& instance);

int ejectDevice(Registry& registry, ConfigManager& config_manager, uint16_t vid, uint16_t pid,
                const std::string& serial);

class RegistryEjector final : public Ejector {
 public:
  RegistryEjector(Registry& registry, ConfigManager& config_manager) : reg_(registry), cm_(config_manager) {}
  int Eject(uint16_t vid, uint16_t pid, const std::string& serial) override {
    return ejectDevice(reg_, cm_, vid, pid, serial);
  }

 private:
  Registry& reg_;
  ConfigManager& cm_;
};

// This PC's ejector: the system registry and configuration manager on
// Windows; elsewhere no storage device of a server is registered locally, so
// every ejection is "nothing to eject" (0).
std::unique_ptr<Ejector> MakeSystemEjector();

}  // namespace vx::devices
