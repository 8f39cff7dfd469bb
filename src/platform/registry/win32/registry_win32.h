// The registry port on the Windows registry (RegOpenKeyExW, RegCreateKeyExW,
// RegQueryValueExW, RegSetValueExW, RegEnumKeyExW). UTF-8 texts are converted
// to and from UTF-16 here and nowhere else.
#pragma once
#if !defined(_WIN32)
#error "registry_win32.h is for Windows builds only"
#endif

#include "platform/registry/registry.h"

namespace vx {

// The process-wide adapter; it holds no state of its own.
Registry& Win32Registry();

// Maps a Win32 error code (ERROR_FILE_NOT_FOUND, ERROR_ACCESS_DENIED, ...) to
// the port's status.
RegStatus RegStatusFromWin32(long error);

}  // namespace vx
