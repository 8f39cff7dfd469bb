// This PC's computer name: the owner a server records for the devices this PC
// holds.
#pragma once

#include <cstddef>
#include <string>

namespace vx::devices {

// On Windows the system's computer name; elsewhere VESSIX_COMPUTER_NAME when
// set and not empty, else the host name upper-cased. Empty when none can be
// read.
std::string ComputerName();

// The name held in a fixed buffer of `size` bytes as a system call filled it:
// up to the first NUL, or the whole buffer when it has none.
std::string NameFromBuffer(const char* buffer, size_t size);

}  // namespace vx::devices
