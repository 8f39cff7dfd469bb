// The device operations of this PC on a server's TCP bus: connect (claim,
// then the manual lock) and disconnect (storage ejection, unlock, release).
// The main window and vessix-cli use them alike; what the user sees of a
// failure is the caller's.
#pragma once

#include <cstdint>
#include <string>

#include "busdriver/driver_channel.h"
#include "busdriver/operations.h"

namespace vx::devices {

inline constexpr int kManualLockType = 2;
inline constexpr uint32_t kStorageLockTime = 259200;  // three days
inline constexpr uint32_t kLockTime = 3600;           // one hour
inline constexpr uint32_t kUnlockTime = 0;
// The clip scanner that is never ejected; its viewer is ended before a
// disconnect instead.
inline constexpr const char* kSegClipProduct = "GV-SC400 SEGCLIP";
inline constexpr const char* kSegClipWindowTitle = "SEG CLIP";

std::string UpperAscii(std::string text);
bool IsMassStorage(const std::string& usb_class);
// 259200 for "MASS STORAGE" (any case), 3600 for every other class.
uint32_t LockTimeFor(const std::string& usb_class);

// What the operations need to know of a device.
struct DeviceRef {
  std::string device_no;  // decimal text
  std::string usb_class;
  std::string product;
  uint16_t vid = 0, pid = 0;
  std::string serial;        // "0" when the device has none
  std::string display_name;  // for trace lines
};

// Ejection result codes.
inline constexpr int kEjectOk = 0;
inline constexpr int kEjectNoKey = -1;
inline constexpr int kEjectNotPresent = -2;
inline constexpr int kEjectVetoed = -3;
// 0 and -2 let a disconnect go on.
inline bool EjectLetsDisconnectGoOn(int result) { return result == kEjectOk || result == kEjectNotPresent; }

// Asks the system to stop using a storage device (ejection.h has the real one).
class Ejector {
 public:
  virtual ~Ejector() = default;
  virtual int Eject(uint16_t vid, uint16_t pid, const std::string& serial) = 0;
};

// Ends the process of the clip scanner's viewer window, if one is open.
class ViewerCloser {
 public:
  virtual ~ViewerCloser() = default;
  virtual void CloseViewer(const std::string& window_title) = 0;
};

// "Eject "<name>" OK ! return : -2" and the like.
std::string EjectTraceLine(const std::string& display_name, int result);

enum class ConnectResult {
  kConnected,
  kClaimFailed,
  // The lock was refused after the claim; the claim was given back (released)
  // so that the device is not left held by this PC without a lock.
  kLockFailed,
};
const char* ConnectResultName(ConnectResult r);

// Claims the device and locks it with the manual lock type and the lock time
// of its class. A claim refused because the server's port serves printing
// (-30) is told to `notice`.
ConnectResult ConnectDevice(bus::DriverHandle& tcp_bus, const DeviceRef& device,
                            bus::ClaimNotice* notice = nullptr);

enum class DisconnectResult {
  kDisconnected,
  kEjectFailed,    // the device stays connected and locked
  kReleaseFailed,  // unlocked (or tried), but the release was refused
};
const char* DisconnectResultName(DisconnectResult r);
struct DisconnectOutcome {
  DisconnectResult result = DisconnectResult::kDisconnected;
  bool ejected = false;   // ejection was asked
  int eject_result = 0;   // its result when asked
  bool unlocked = false;  // the unlock succeeded
};

// Ends the clip scanner's viewer (that product only), ejects a storage device
// (not the clip scanner), then unlocks (lock time 0) and releases it.
// `viewer` may be null.
DisconnectOutcome DisconnectDevice(bus::DriverHandle& tcp_bus, const DeviceRef& device, Ejector& ejector,
                                   ViewerCloser* viewer = nullptr);

}  // namespace vx::devices
