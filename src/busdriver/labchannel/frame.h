// Framing of the lab channel ("IOCTL over loopback TCP" between the program
// and the vx-busd driver emulator) and of the device-sharing protocol between
// vx-busd and the simulated servers (TCP 20005). Both carry the driver's
// records unchanged inside frames of this one layout, little-endian:
//
//   0  u32  payload length (at most kMaxPayload)
//   4  u8   type (request, reply, notify)
//   5  u8   0
//   6  u16  0
//   8  u32  id: chosen by the requester, echoed by the reply
//  12  u32  handle (lab channel) or 0
//  16  u32  op: an IOCTL code or one of the ops below
//  20  i32  status: replies: 0 success, else the Win32 last error;
//           requests: the output room in bytes
//  24  ...  payload
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace vx::lab {

inline constexpr size_t kFrameHeader = 24;
inline constexpr uint32_t kMaxPayload = 16384;

enum class FrameType : uint8_t { kRequest = 1, kReply = 2, kNotify = 3 };

// Lab channel ops besides the IOCTL codes.
inline constexpr uint32_t kOpOpenMaster = 1;  // reply: handle, or status 2 (no driver)
inline constexpr uint32_t kOpOpenPath = 2;    // payload: device path; reply: handle, or status 2
inline constexpr uint32_t kOpClose = 3;       // closes `handle`
inline constexpr uint32_t kOpRead = 4;        // held until an event; reply payload: the record

// Sharing protocol ops (TCP 20005) besides the IOCTL codes it relays.
inline constexpr uint32_t kOpHello = 0x100;  // payload: the PC's computer name
inline constexpr uint32_t kOpDeviceReport =
    0x101;  // payload: device number; reply: the device as JSON (lab only)
inline constexpr uint32_t kOpDevicesChanged = 0x200;  // notify: the device list changed
inline constexpr uint32_t kOpRequestEvent = 0x201;    // notify: payload: an event record of code 4

struct Frame {
  FrameType type = FrameType::kRequest;
  uint32_t id = 0;
  uint32_t handle = 0;
  uint32_t op = 0;
  int32_t status = 0;
  std::vector<uint8_t> payload;
};

std::vector<uint8_t> EncodeFrame(const Frame& f);

// Accumulates stream bytes and yields whole frames. A header with a payload
// length over kMaxPayload, an unknown type or non-zero padding poisons the
// decoder: the connection must be dropped.
class FrameDecoder {
 public:
  void Feed(std::span<const uint8_t> bytes);
  // The next whole frame, or nullopt (need more bytes, or Broken()).
  std::optional<Frame> Next();
  bool Broken() const { return broken_; }

 private:
  std::vector<uint8_t> buf_;
  size_t start_ = 0;
  bool broken_ = false;
};

}  // namespace vx::lab
