// The lab channel / device-sharing framing, fed in chunks whose sizes come
// from the input itself.
#include <vector>

#include "busdriver/labchannel/frame.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  vx::lab::FrameDecoder d;
  size_t pos = 0;
  while (pos < size) {
    size_t chunk = 1 + data[pos] % 64;
    ++pos;
    if (chunk > size - pos) chunk = size - pos;
    std::vector<uint8_t> piece(data + pos, data + pos + chunk);
    d.Feed(piece);
    pos += chunk;
    while (auto f = d.Next()) {
      if (f->payload.size() > vx::lab::kMaxPayload) __builtin_trap();
      auto bytes = vx::lab::EncodeFrame(*f);
      vx::lab::FrameDecoder again;
      again.Feed(bytes);
      auto g = again.Next();
      if (!g || g->payload != f->payload || g->id != f->id || g->status != f->status) __builtin_trap();
    }
  }
  return 0;
}
