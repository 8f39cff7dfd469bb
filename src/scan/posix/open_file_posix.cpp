#include <cstdio>
#include <string>

#include "scan/file_store.h"

namespace vx::scan {

std::FILE* OpenUtf8File(const std::string& path, const char* mode) { return std::fopen(path.c_str(), mode); }

char PathSeparator() { return '/'; }

}  // namespace vx::scan
