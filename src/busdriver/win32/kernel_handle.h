// The kernel channel's handle over any Windows handle, for tests that stand
// a named pipe in for the driver (an IOCTL that the pipe holds shows how the
// handle behaves around a call held in the driver).
#pragma once
#if !defined(_WIN32)
#error "Windows only"
#endif

#include <memory>

#include "busdriver/driver_channel.h"

namespace vx::bus {

// Takes ownership of `handle` (a HANDLE); `overlapped`: it was opened with
// FILE_FLAG_OVERLAPPED, as the master bus is.
std::shared_ptr<DriverHandle> WrapKernelHandle(void* handle, bool overlapped);

}  // namespace vx::bus
