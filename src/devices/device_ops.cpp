#include "devices/device_ops.h"

#include <cctype>

#include "platform/trace.h"

namespace vx::devices {

std::string UpperAscii(std::string text) {
  for (char& c : text) c = char(std::toupper(static_cast<unsigned char>(c)));
  return text;
}

bool IsMassStorage(const std::string& usb_class) { return UpperAscii(usb_class) == "MASS STORAGE"; }

uint32_t LockTimeFor(const std::string& usb_class) {
  return IsMassStorage(usb_class) ? kStorageLockTime : kLockTime;
}

std::string EjectTraceLine(const std::string& display_name, int result) {
  return "Eject \"" + display_name + "\"" +
         (EjectLetsDisconnectGoOn(result) ? " OK ! return : " : " Failed ! return : ") +
         std::to_string(result);
}

const char* ConnectResultName(ConnectResult r) {
  switch (r) {
    case ConnectResult::kConnected:
      return "connected";
    case ConnectResult::kClaimFailed:
      return "claim-failed";
    case ConnectResult::kLockFailed:
      return "lock-failed";
  }
  return "?";
}

const char* DisconnectResultName(DisconnectResult r) {
  switch (r) {
    case DisconnectResult::kDisconnected:
      return "disconnected";
    case DisconnectResult::kEjectFailed:
      return "eject-failed";
    case DisconnectResult::kReleaseFailed:
      return "release-failed";
  }
  return "?";
}

ConnectResult ConnectDevice(bus::DriverHandle& tcp_bus, const DeviceRef& device, bus::ClaimNotice* notice) {
  if (!bus::ClaimDevice(tcp_bus, device.device_no, notice)) return ConnectResult::kClaimFailed;
  TraceLine(">>> Manual Connect device ok !");
  uint32_t lock_time = LockTimeFor(device.usb_class);
  TraceLine(">>> Lock Timeout : " + std::to_string(lock_time));
  if (!bus::LockDevice(tcp_bus, device.device_no, kManualLockType, lock_time)) {
    // Held without a lock, any other PC's automatic flow could not see it as
    // taken by hand, and nobody could ask for it: give the claim back.
    bool released = bus::ReleaseDevice(tcp_bus, device.device_no);
    TraceLine(std::string(">>> Lock failed; claim given back : ") +
              (released ? "released" : "release failed"));
    return ConnectResult::kLockFailed;
  }
  return ConnectResult::kConnected;
}

DisconnectOutcome DisconnectDevice(bus::DriverHandle& tcp_bus, const DeviceRef& device, Ejector& ejector,
                                   ViewerCloser* viewer) {
  DisconnectOutcome out;
  bool seg_clip = device.product == kSegClipProduct;
  if (seg_clip && viewer) viewer->CloseViewer(kSegClipWindowTitle);
  if (IsMassStorage(device.usb_class) && !seg_clip) {
    out.ejected = true;
    out.eject_result = ejector.Eject(device.vid, device.pid, device.serial);
    TraceLine(EjectTraceLine(device.display_name, out.eject_result));
    if (!EjectLetsDisconnectGoOn(out.eject_result)) {
      out.result = DisconnectResult::kEjectFailed;
      return out;
    }
  }
  out.unlocked = bus::UnlockDevice(tcp_bus, device.device_no, kManualLockType, kUnlockTime);
  if (!out.unlocked) TraceLine("Unlock device failed !");
  if (!bus::ReleaseDevice(tcp_bus, device.device_no)) {
    out.result = DisconnectResult::kReleaseFailed;
    return out;
  }
  TraceLine(">>> Manual Disconnect device ok !");
  return out;
}

}  // namespace vx::devices
