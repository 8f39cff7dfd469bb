// The request block that vx-auto writes into the target process for
// vx-auto-menu.dll's VxAutoReadMenu; the answer follows it in `data`.
#pragma once

#include <cstdint>

namespace vx::automation {

struct MenuRequest {
  uint64_t window;    // the window whose menu bar is read
  uint32_t capacity;  // bytes available in `data`
  uint32_t used;      // bytes of JSON written by the reader
  char data[1];       // a JSON array of {depth,id,text,state,type,popup}
};

constexpr size_t kMenuAnswerBytes = 256 * 1024;

}  // namespace vx::automation
