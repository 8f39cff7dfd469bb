#include "platform/net/proc_net_udp.h"

#include <gtest/gtest.h>

namespace vx::net {
namespace {

TEST(ProcNetUdp, ReadsTheLocalPortOfEverySocketLine) {
  const char* text =
      "   sl  local_address rem_address   st tx_queue rx_queue tr tm->when retrnsmt   uid  timeout inode ref "
      "pointer drops\n"
      "  118: 00000000:1CFB 00000000:0000 07 00000000:00000000 00:00000000 00000000     0        0 1 2 0 0\n"
      " 2063: 0100007F:0035 00000000:0000 07 00000000:00000000 00:00000000 00000000     0        0 1 2 0 0\n"
      "  731: 00000000000000000000000000000000:E0A1 00000000000000000000000000000000:0000 07 0\n";
  EXPECT_EQ(ParseProcNetUdp(text), (std::vector<uint16_t>{7419, 53, 0xE0A1}));
}

TEST(ProcNetUdp, SkipsMalformedAndCutLines) {
  EXPECT_TRUE(ParseProcNetUdp("").empty());
  EXPECT_TRUE(ParseProcNetUdp("  1: 0000000:1CFB 0\n").empty());                    // 7-digit address
  EXPECT_TRUE(ParseProcNetUdp("  1: 00000000:1CFBA 0\n").empty());                  // 5-digit port
  EXPECT_TRUE(ParseProcNetUdp("  1: 00000000:\n").empty());                         // no port
  EXPECT_TRUE(ParseProcNetUdp("  x: 00000000:1CFB 0\n").empty());                   // no slot
  EXPECT_TRUE(ParseProcNetUdp("  1: 00000000:1CFBzz 0\n").empty());                 // junk after port
  EXPECT_EQ(ParseProcNetUdp("  1: 00000000:1CFB"), (std::vector<uint16_t>{7419}));  // cut after port
}

}  // namespace
}  // namespace vx::net
