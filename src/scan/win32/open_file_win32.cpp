#include <cstdio>
#include <string>

#include "platform/text_codec.h"
#include "scan/file_store.h"

namespace vx::scan {

std::FILE* OpenUtf8File(const std::string& path, const char* mode) {
  return _wfopen(Widen(path).c_str(), Widen(mode).c_str());
}

char PathSeparator() { return '\\'; }

}  // namespace vx::scan
