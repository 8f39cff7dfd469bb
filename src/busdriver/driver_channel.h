// The port to the virtual USB bus driver: opening its handles, synchronous
// IOCTLs with one in/out buffer, and the held reads of the master bus.
//
// Two adapters exist: the kernel channel (SetupAPI, CreateFile,
// DeviceIoControl, overlapped ReadFile; Windows only) and the lab channel
// ("IOCTL over loopback TCP" to the vx-busd emulator). Tests use a fake.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>

namespace vx::bus {

// Win32 error numbers the adapters report.
inline constexpr uint32_t kErrorFileNotFound = 2;
inline constexpr uint32_t kErrorInvalidHandle = 6;
inline constexpr uint32_t kErrorHandleEof = 38;
inline constexpr uint32_t kErrorGenFailure = 31;
inline constexpr uint32_t kErrorOperationAborted = 995;
inline constexpr uint32_t kErrorIoPending = 997;
inline constexpr uint32_t kErrorNoMoreItems = 259;

struct IoResult {
  bool ok = false;
  uint32_t bytes = 0;       // bytes the driver returned (may exceed the buffer: the caller rejects)
  uint32_t last_error = 0;  // the Win32 last error when !ok (e.g. 0xFFFFFFE2 for -30)
};

// One open handle: the master bus or a TCP bus. Every member may be called
// from several threads at once.
class DriverHandle {
 public:
  virtual ~DriverHandle() = default;
  // Issues `code` synchronously. `buffer` is both input and output; its
  // first `in_size` bytes are the input, the whole span is the output room.
  virtual IoResult Ioctl(uint32_t code, std::span<uint8_t> buffer, size_t in_size) = 0;
  // Reads one event record into `buffer`, blocking until the driver completes
  // the read (an event, Abort, the handle closing) or until InterruptReads.
  // The buffer is never written after Read has returned.
  virtual IoResult Read(std::span<uint8_t> buffer) = 0;
  // Makes the current and every later Read return at once with
  // kErrorOperationAborted (a pending read is cancelled and waited for).
  virtual void InterruptReads() = 0;
  // Closes the handle (CloseHandle): a held read returns, later calls fail
  // with kErrorInvalidHandle. False when it was closed already or the close
  // failed. Destroying an open handle closes it.
  virtual bool Close() = 0;
  // The value shown in trace lines as %08X.
  virtual uint32_t TraceId() const = 0;
};

class DriverChannel {
 public:
  virtual ~DriverChannel() = default;
  // The master bus, by its device interface class; nullptr when absent.
  virtual std::shared_ptr<DriverHandle> OpenMasterBus() = 0;
  // A TCP bus by its device path; nullptr with `last_error` set when it fails.
  virtual std::shared_ptr<DriverHandle> OpenPath(const std::string& path, uint32_t* last_error) = 0;
};

// The channel of this process: the lab channel when VESSIX_BUS_EMULATOR holds
// "host:port", else the kernel channel on Windows; nullptr natively without
// the variable (no driver). `why` explains a nullptr.
std::unique_ptr<DriverChannel> MakeDriverChannel(std::string* why = nullptr);

}  // namespace vx::bus
