// This PC's ViewerCloser: ends the process that owns the top-level window of
// a given title (Windows); elsewhere there are no such windows.
#pragma once

#include <memory>

#include "devices/device_ops.h"

namespace vx::devices {

std::unique_ptr<ViewerCloser> MakeSystemViewerCloser();

}  // namespace vx::devices
