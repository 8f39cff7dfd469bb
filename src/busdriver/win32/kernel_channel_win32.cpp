#if !defined(_WIN32)
#error "Windows only"
#endif

#include <windows.h>
// windows.h first
#include <setupapi.h>

#include <cstdio>
#include <mutex>
#include <vector>

#include "busdriver/call_gate.h"
#include "busdriver/kernel_channel.h"
#include "busdriver/win32/kernel_handle.h"
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
        interrupt_(CreateEventW(nullptr, TRUE, FALSE, nullptr)),
        gate_([this] { return CloseHandle(h_) != FALSE; }) {}
  ~KernelHandle() override {
    Close();  // nothing is in flight any more: the handle is closed here
    CloseHandle(read_event_);
    CloseHandle(interrupt_);
  }

  IoResult Ioctl(uint32_t code, std::span<uint8_t> buffer, size_t in_size) override {
    IoResult r;
    if (!gate_.Enter()) {
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
      // carry an OVERLAPPED; it is still waited for before returning. Each
      // call has its own event, so calls are not serialised: an Abort never
      // waits behind another call.
      OVERLAPPED ov{};
      ov.hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
      if (!ov.hEvent) {
        r.last_error = GetLastError();
        gate_.Leave();
        return r;
      }
      ok = DeviceIoControl(h_, code, buffer.data(), DWORD(in_size), buffer.data(), DWORD(buffer.size()), &n,
                           &ov);
      if (!ok && GetLastError() == ERROR_IO_PENDING) ok = GetOverlappedResult(h_, &ov, &n, TRUE);
      DWORD err = ok ? 0 : GetLastError();
      CloseHandle(ov.hEvent);
      SetLastError(err);
    }
    r.ok = ok != FALSE;
    r.last_error = ok ? 0 : GetLastError();
    r.bytes = n;
    gate_.Leave();
    return r;
  }

  IoResult Read(std::span<uint8_t> buffer) override {
    IoResult r;
    if (!gate_.Enter()) {
      r.last_error = kErrorInvalidHandle;
      return r;
    }
    std::lock_guard lock(read_mutex_);  // one OVERLAPPED, one read at a time
    if (WaitForSingleObject(interrupt_, 0) == WAIT_OBJECT_0) {
      r.last_error = kErrorOperationAborted;
      gate_.Leave();
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
    gate_.Leave();
    return r;
  }

  void InterruptReads() override { SetEvent(interrupt_); }

  // Never waits behind a call: the calls in flight are cancelled, and the
  // handle itself is closed by the last of them to return.
  bool Close() override {
    return gate_.Close([this] {
      SetEvent(interrupt_);
      CancelIoEx(h_, nullptr);
    });
  }

  uint32_t TraceId() const override { return uint32_t(reinterpret_cast<uintptr_t>(h_)); }

 private:
  HANDLE h_;
  bool overlapped_;
  HANDLE read_event_, interrupt_;
  std::mutex read_mutex_;
  CallGate gate_;
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

std::shared_ptr<DriverHandle> WrapKernelHandle(void* handle, bool overlapped) {
  return std::make_shared<KernelHandle>(static_cast<HANDLE>(handle), overlapped);
}

}  // namespace vx::bus
