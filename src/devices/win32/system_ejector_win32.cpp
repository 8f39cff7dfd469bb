// The configuration manager adapter and this PC's ejector.
#include <windows.h>
// windows.h first
#include <cfgmgr32.h>

#include "devices/ejection.h"
#include "platform/registry/win32/registry_win32.h"

namespace vx::devices {
namespace {

class Win32ConfigManager final : public ConfigManager {
 public:
  bool Locate(const std::string& instance_id, uint32_t* node) override {
    DEVINST inst = 0;
    std::string id = instance_id;
    if (CM_Locate_DevNodeA(&inst, id.data(), CM_LOCATE_DEVNODE_NORMAL) != CR_SUCCESS) return false;
    *node = inst;
    return true;
  }
  bool RequestEject(uint32_t node) override {
    PNP_VETO_TYPE veto = PNP_VetoTypeUnknown;
    char name[MAX_PATH] = {};
    CONFIGRET cr = CM_Request_Device_EjectA(node, &veto, name, MAX_PATH, 0);
    // A refused call counts as a veto even when no veto type was given.
    return cr == CR_SUCCESS && veto == PNP_VetoTypeUnknown;
  }
};

class SystemEjector final : public Ejector {
 public:
  int Eject(uint16_t vid, uint16_t pid, const std::string& serial) override {
    return ejectDevice(Win32Registry(), cm_, vid, pid, serial);
  }

 private:
  Win32ConfigManager cm_;
};

}  // namespace

std::unique_ptr<Ejector> MakeSystemEjector() { return std::make_unique<SystemEjector>(); }

}  // namespace vx::devices
