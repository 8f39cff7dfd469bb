#include "busdriver/labchannel/frame.h"

#include <cstring>

namespace vx::lab {
namespace {

uint32_t Load32(const uint8_t* p) {
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}
void Store32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = uint8_t(v >> (8 * i));
}

}  // namespace

std::vector<uint8_t> EncodeFrame(const Frame& f) {
  std::vector<uint8_t> out(kFrameHeader + f.payload.size(), 0);
  Store32(&out[0], uint32_t(f.payload.size()));
  out[4] = uint8_t(f.type);
  Store32(&out[8], f.id);
  Store32(&out[12], f.handle);
  Store32(&out[16], f.op);
  Store32(&out[20], uint32_t(f.status));
  if (!f.payload.empty()) std::memcpy(&out[kFrameHeader], f.payload.data(), f.payload.size());
  return out;
}

void FrameDecoder::Feed(std::span<const uint8_t> bytes) {
  if (broken_) return;
  if (start_ > 0 && start_ == buf_.size()) {
    buf_.clear();
    start_ = 0;
  }
  buf_.insert(buf_.end(), bytes.begin(), bytes.end());
}

std::optional<Frame> FrameDecoder::Next() {
  if (broken_) return std::nullopt;
  size_t avail = buf_.size() - start_;
  if (avail < kFrameHeader) return std::nullopt;
  const uint8_t* h = buf_.data() + start_;
  uint32_t len = Load32(h);
  uint8_t type = h[4];
  if (len > kMaxPayload || type < 1 || type > 3 || h[5] || h[6] || h[7]) {
    broken_ = true;
    buf_.clear();
    start_ = 0;
    return std::nullopt;
  }
  if (avail < kFrameHeader + len) return std::nullopt;
  Frame f;
  f.type = FrameType(type);
  f.id = Load32(h + 8);
  f.handle = Load32(h + 12);
  f.op = Load32(h + 16);
  f.status = int32_t(Load32(h + 20));
  f.payload.assign(h + kFrameHeader, h + kFrameHeader + len);
  start_ += kFrameHeader + len;
  if (start_ > 65536) {  // compact now and then
    buf_.erase(buf_.begin(), buf_.begin() + long(start_));
    start_ = 0;
  }
  return f;
}

}  // namespace vx::lab
