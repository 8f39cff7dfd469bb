#include "platform/trace.h"

#include <gtest/gtest.h>

#include <thread>

namespace vx {

TEST(Trace, DiscardsWithoutSinkAndCapturesFromAnyThread) {
  TraceLine("nobody hears this");
  {
    TraceCapture capture;
    TraceLine("GetMasterBus() : one");
    std::thread([] { TraceLine("from a worker"); }).join();
    EXPECT_EQ(capture.Lines().size(), 2u);
    EXPECT_TRUE(capture.Contains("worker"));
    EXPECT_FALSE(capture.Contains("nobody"));
  }
  TraceCapture later;
  TraceLine("x");
  EXPECT_EQ(later.Lines().size(), 1u);
}

}  // namespace vx
