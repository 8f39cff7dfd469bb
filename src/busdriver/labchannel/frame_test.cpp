#include "busdriver/labchannel/frame.h"

#include <gtest/gtest.h>

namespace vx::lab {
namespace {

TEST(Frame, RoundTripsWhateverTheChunking) {
  Frame a;
  a.type = FrameType::kReply;
  a.id = 77;
  a.handle = 3;
  a.op = 0x222044;
  a.status = -30;
  a.payload = {1, 2, 3, 4, 5};
  Frame b;
  b.type = FrameType::kNotify;
  b.op = kOpDevicesChanged;
  std::vector<uint8_t> stream = EncodeFrame(a);
  auto second = EncodeFrame(b);
  stream.insert(stream.end(), second.begin(), second.end());
  ASSERT_EQ(stream.size(), 2 * kFrameHeader + 5);

  FrameDecoder d;
  std::vector<Frame> got;
  for (uint8_t byte : stream) {  // one byte at a time
    d.Feed(std::span<const uint8_t>(&byte, 1));
    while (auto f = d.Next()) got.push_back(*f);
  }
  ASSERT_EQ(got.size(), 2u);
  EXPECT_EQ(got[0].id, 77u);
  EXPECT_EQ(got[0].handle, 3u);
  EXPECT_EQ(got[0].op, 0x222044u);
  EXPECT_EQ(got[0].status, -30);
  EXPECT_EQ(got[0].payload, a.payload);
  EXPECT_EQ(got[1].type, FrameType::kNotify);
  EXPECT_FALSE(d.Broken());
}

TEST(Frame, BadHeadersBreakTheStream) {
  auto broken_by = [](auto mutate) {
    Frame f;
    auto bytes = EncodeFrame(f);
    mutate(bytes);
    FrameDecoder d;
    d.Feed(bytes);
    EXPECT_FALSE(d.Next());
    return d.Broken();
  };
  EXPECT_TRUE(broken_by([](auto& b) { b[0] = 0x01, b[1] = 0x40, b[2] = 0; }));  // 16385 bytes
  EXPECT_TRUE(broken_by([](auto& b) { b[4] = 9; }));                            // unknown type
  EXPECT_TRUE(broken_by([](auto& b) { b[6] = 1; }));                            // padding
  EXPECT_FALSE(broken_by([](auto& b) { b.resize(10); }));                       // just incomplete
}

}  // namespace
}  // namespace vx::lab
