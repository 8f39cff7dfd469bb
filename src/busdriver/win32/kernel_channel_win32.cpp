#if !defined(_WIN32)
#error "Windows only"
#endif

#include <windows.h>
// windows.h first
#include <setupapi.h>

#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <vector>

#include "busdriver/kernel_channel.h"
#include "platform/text_codec.h"
#include "platform/trace.h"

namespace vx::bus {
namespace {

// {A341E6CC-EA99-4FD3-9623-B16B3094DAE9}
const GUID kMasterBusClass = {0xA341E6CC, 0xEA99, 0x4FD3, {0x96, 0x23, 0xB1, 0x6B, 0x30, 0x94, 0xDA, 0xE9}};

std::string Hex8(unsigned long v) {
  char t[16];
  std::snprintf(t, sizeof t, "%08lX", v);
  return t;
}

class KernelHandle final : public DriverHandle {
 public:
  KernelHandle(HANDLE h, bool overlapped)
      : h_(h),
        overlapped_(overlapped),
        read_event_(CreateEventW(nullptr, TRUE, FALSE, nullptr)),
        io_event_(CreateEventW(nullptr, TRUE, FALSE, nullptr)),
        interrupt_(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}
  ~KernelHandle() override {
    Close();
    CloseHandle(read_event_);
    CloseHandle(io_event_);
    CloseHandle(interrupt_);
  }

  IoResult Ioctl(uint32_t code, std::span<uint8_t> buffer, size_t in_size) override {
    IoResult r;
    if (!Enter()) {
      r.last_error = kErrorInvalidHandle;
      return r;
    }
    DWORD n = 0;
    BOOL ok;
    if (!overlapped_) {
      ok = DeviceIoControl(h_, code, buffer.data(), DWORD(in_size), buffer.data(), DWORD(buffer.size()), &n,
                           nullptr);
    } else {
      // The master bus was opened for overlapped reads: an IOCTL on it must
      // carry an OVERLAPPED; it is still waited for before returning.
      std::lock_guard lock(io_mutex_);
      OVERLAPPED ov{};
      ov.hEvent = io_event_;
      ResetEvent(io_event_);
      ok = DeviceIoControl(h_, code, buffer.data(), DWORD(in_size), buffer.data(), DWORD(buffer.size()), &n,
                           &ov);
      if (!ok && GetLastError() == ERROR_IO_PENDING) ok = GetOverlappedResult(h_, &ov, &n, TRUE);
    }
    r.ok = ok != FALSE;
    r.last_error = ok ? 0 : GetLastError();
    r.bytes = n;
    Leave();
    return r;
  }

  IoResult Read(std::span<uint8_t> buffer) override {
    IoResult r;
    if (!Enter()) {
      r.last_error = kErrorInvalidHandle;
      return r;
    }
    std::lock_guard lock(read_mutex_);  // one OVERLAPPED, one read at a time
    if (WaitForSingleObject(interrupt_, 0) == WAIT_OBJECT_0) {
      r.last_error = kErrorOperationAborted;
      Leave();
      return r;
    }
    OVERLAPPED ov{};
    ov.hEvent = read_event_;
    ResetEvent(read_event_);
    DWORD n = 0;
    BOOL ok = ReadFile(h_, buffer.data(), DWORD(buffer.size()), &n, &ov);
    DWORD err = ok ? 0 : GetLastError();
    if (!ok && err == ERROR_IO_PENDING) {
      // Never let go of the buffer and the OVERLAPPED while the read is
      // pending: wait for its completion, or cancel it and wait for that.
      HANDLE both[2] = {read_event_, interrupt_};
      DWORD w = WaitForMultipleObjects(2, both, FALSE, INFINITE);
      if (w != WAIT_OBJECT_0) CancelIoEx(h_, &ov);
      ok = GetOverlappedResult(h_, &ov, &n, TRUE);
      err = ok ? 0 : GetLastError();
    } else if (!ok && err == ERROR_HANDLE_EOF) {
      ok = GetOverlappedResult(h_, &ov, &n, FALSE);
      err = ok ? 0 : GetLastError();
    }
    r.ok = ok != FALSE;
    r.bytes = n;
    r.last_error = err;
    Leave();
    return r;
  }

  void InterruptReads() override { SetEvent(interrupt_); }

  bool Close() override {
    std::unique_lock lock(mutex_);
    if (closed_) return false;
    closed_ = true;
    SetEvent(interrupt_);
    cv_.wait(lock, [&] { return in_flight_ == 0; });
    return CloseHandle(h_) != FALSE;
  }

  uint32_t TraceId() const override { return uint32_t(reinterpret_cast<uintptr_t>(h_)); }

 private:
  bool Enter() {
    std::lock_guard lock(mutex_);
    if (closed_) return false;
    ++in_flight_;
    return true;
  }
  void Leave() {
    std::lock_guard lock(mutex_);
    --in_flight_;
    cv_.notify_all();
  }

  HANDLE h_;
  bool overlapped_;
  HANDLE read_event_, io_event_, interrupt_;
  std::mutex mutex_, read_mutex_, io_mutex_;
  std::condition_variable cv_;
  int in_flight_ = 0;
  bool closed_ = false;
};

class KernelChannel final : public DriverChannel {
 public:
  std::shared_ptr<DriverHandle> OpenMasterBus() override {
    HDEVINFO info =
        SetupDiGetClassDevsW(&kMasterBusClass, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
    if (info == INVALID_HANDLE_VALUE) {
      TraceLine("GetMasterBus() : Fail to get hardwareDeviceInfo err = " + Hex8(GetLastError()) + "\n");
      return nullptr;
    }
    std::wstring path;
    for (DWORD index = 0; index < 64 && path.empty(); ++index) {
      SP_DEVICE_INTERFACE_DATA ifd{};
      ifd.cbSize = sizeof ifd;
      if (!SetupDiEnumDeviceInterfaces(info, nullptr, &kMasterBusClass, index, &ifd)) {
        if (GetLastError() == ERROR_NO_MORE_ITEMS) {
          TraceLine("GetMasterBus() : SetupDiEnumDeviceInterfaces failed : No More Items !\n");
          break;
        }
        TraceLine(
            "GetMasterBus() : SetupDiEnumDeviceInterfaces failed : Failed but might have more items ? \n");
        continue;
      }
      DWORD required = 0;
      SetupDiGetDeviceInterfaceDetailW(info, &ifd, nullptr, 0, &required, nullptr);
      if (required < sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W))
        required = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W);
      std::vector<uint8_t> storage(required + sizeof(wchar_t), 0);
      auto* detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_W*>(storage.data());
      detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W);
      if (!SetupDiGetDeviceInterfaceDetailW(info, &ifd, detail, required, nullptr, nullptr)) {
        TraceLine("GetMasterBus() : SetupDiGetDeviceInterfaceDetail failed err = " + Hex8(GetLastError()) +
                  "\n");
        continue;
      }
      path = detail->DevicePath;
    }
    SetupDiDestroyDeviceInfoList(info);
    if (path.empty()) return nullptr;
    TraceLine("GetMasterBus() : funcClassDeviceData->DevicePath : " + Narrow(path));
    HANDLE h = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                           nullptr, OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
      TraceLine("GetMasterBus() : Fail to CreateFile : " + std::to_string(GetLastError()) +
                " : ERROR_FILE_NOT_FOUND");
      return nullptr;
    }
    return std::make_shared<KernelHandle>(h, true);
  }

  std::shared_ptr<DriverHandle> OpenPath(const std::string& path, uint32_t* last_error) override {
    HANDLE h = CreateFileW(Widen(path).c_str(), FILE_READ_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
      if (last_error) *last_error = GetLastError();
      return nullptr;
    }
    return std::make_shared<KernelHandle>(h, false);
  }
};

}  // namespace

std::unique_ptr<DriverChannel> MakeKernelChannel() { return std::make_unique<KernelChannel>(); }

}  // namespace vx::bus
