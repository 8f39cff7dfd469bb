// The event reader with the Windows program's main-thread hand-over: a
// handler that throws ends the handling of one record, not the program, and
// the reader keeps reading.
#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>

#include "busdriver/read_thread.h"
#include "busdriver/records.h"
#include "busdriver/testing/fake_driver.h"
#include "platform/trace.h"
#include "winui/main_thread_win32.h"
#include "winui/message_loop.h"

namespace vx::bus {
namespace {

using namespace std::chrono_literals;

class ThrowingHandler final : public ReadInfoHandler {
 public:
  void GetReadInfo(std::span<const uint8_t> record, int) override {
    if (GetCurrentThreadId() == main_id) codes.push_back(record[0]);
    if (record[0] == 1) throw std::runtime_error("server node missing");
  }
  DWORD main_id = GetCurrentThreadId();
  std::vector<uint8_t> codes;  // main thread only
};

std::vector<uint8_t> Event(uint8_t code) {
  EventRecord e;
  e.code = code;
  return EncodeEvent(e);
}

TEST(TReadThreadOnWindows, AThrowingHandlerEndsOnlyThatRecordsHandling) {
  winui::Win32MainThread main;
  auto h = std::make_shared<testing::FakeHandle>();
  ThrowingHandler handler;
  TraceCapture trace;
  for (uint8_t code : {1, 2, 1, 3}) h->PushEvent(Event(code));
  TReadThread reader(h, main, handler);
  reader.Start();
  ASSERT_TRUE(winui::PumpUntil([&] { return handler.codes.size() == 4; }, 5000ms));
  EXPECT_EQ(handler.codes, (std::vector<uint8_t>{1, 2, 1, 3}));
  EXPECT_TRUE(reader.Running());
  EXPECT_TRUE(trace.Contains("TReadThread : exception in a main-thread step : server node missing"));
  reader.Stop();
  EXPECT_FALSE(reader.Running());
}

TEST(TReadThreadOnWindows, AClosedMainThreadEndsTheReader) {
  winui::Win32MainThread main;
  auto h = std::make_shared<testing::FakeHandle>();
  ThrowingHandler handler;
  TReadThread reader(h, main, handler);
  reader.Start();
  ASSERT_TRUE(h->WaitForHeldRead());
  main.Close();
  h->PushEvent(Event(2));
  ASSERT_TRUE(winui::PumpUntil([&] { return !reader.Running(); }, 5000ms));
  EXPECT_TRUE(handler.codes.empty());
  reader.Stop();
}

}  // namespace
}  // namespace vx::bus
