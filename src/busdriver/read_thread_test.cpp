#include "busdriver/read_thread.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <stdexcept>

#include "busdriver/operations.h"
#include "busdriver/records.h"
#include "busdriver/testing/fake_driver.h"
#include "platform/testing/queue_main_thread.h"
#include "platform/trace.h"

namespace vx::bus {
namespace {

using testing::FakeHandle;
using vx::testing::QueueMainThread;
using Clock_ = std::chrono::steady_clock;

struct Seen {
  uint8_t code;
  int length;
  int reads_when_handled;
  bool on_main;
};

class RecordingHandler final : public ReadInfoHandler {
 public:
  RecordingHandler(FakeHandle& h, QueueMainThread& main) : h_(h), main_(main) {}
  void GetReadInfo(std::span<const uint8_t> record, int length) override {
    {
      std::lock_guard l(mutex_);
      EXPECT_EQ(record.size(), kEventBufferSize);
      seen_.push_back({record[0], length, h_.ReadsIssued(), std::this_thread::get_id() == main_.id()});
      cv_.notify_all();
    }
    if (record[0] == throw_on) throw std::runtime_error("tree update failed");
  }
  uint8_t throw_on = 0xFF;  // a record with this code makes the handler throw
  std::vector<Seen> WaitFor(size_t n) {
    std::unique_lock l(mutex_);
    cv_.wait_for(l, std::chrono::seconds(10), [&] { return seen_.size() >= n; });
    return seen_;
  }

 private:
  FakeHandle& h_;
  QueueMainThread& main_;
  std::mutex mutex_;
  std::condition_variable cv_;
  std::vector<Seen> seen_;
};

std::vector<uint8_t> Event(uint8_t code) {
  EventRecord e;
  e.code = code;
  return EncodeEvent(e);
}

TEST(TReadThread, HandsRecordsOverInDriverOrderOneAtATime) {
  auto h = std::make_shared<FakeHandle>();
  QueueMainThread main;
  RecordingHandler handler(*h, main);
  for (uint8_t code : {2, 1, 4, 6}) h->PushEvent(Event(code));
  TReadThread reader(h, main, handler);
  reader.Start();
  auto seen = handler.WaitFor(4);
  ASSERT_EQ(seen.size(), 4u);
  for (size_t i = 0; i < 4; ++i) {
    EXPECT_TRUE(seen[i].on_main);
    // The next read is issued only after the handler of this record returned.
    EXPECT_EQ(seen[i].reads_when_handled, int(i + 1));
  }
  EXPECT_EQ(seen[0].code, 2);
  EXPECT_EQ(seen[1].code, 1);
  EXPECT_EQ(seen[1].length, 13);
  EXPECT_EQ(seen[2].code, 4);
  EXPECT_EQ(seen[3].code, 6);
  reader.Stop();
  EXPECT_FALSE(reader.Running());
}

TEST(TReadThread, AbortCompletesTheHeldReadAndStopEndsTheThread) {
  auto h = std::make_shared<FakeHandle>();
  QueueMainThread main;
  RecordingHandler handler(*h, main);
  TReadThread reader(h, main, handler);
  reader.Start();
  ASSERT_TRUE(h->WaitForHeldRead());
  // Abort alone returns the held read: the handler sees an empty record.
  auto t0 = Clock_::now();
  EXPECT_TRUE(Abort(*h));
  auto seen = handler.WaitFor(1);
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0].code, 0);
  EXPECT_EQ(seen[0].length, 0);
  EXPECT_LT(Clock_::now() - t0, std::chrono::milliseconds(100));

  ASSERT_TRUE(h->WaitForHeldRead());
  t0 = Clock_::now();
  reader.Stop();
  EXPECT_LT(Clock_::now() - t0, std::chrono::milliseconds(100));
  EXPECT_FALSE(reader.Running());
  EXPECT_EQ(h->CallsOf(kIoctlAbort).size(), 2u);
}

TEST(TReadThread, StopOnTheMainThreadWhileAHandOverWaitsForIt) {
  auto h = std::make_shared<FakeHandle>();
  QueueMainThread main;
  RecordingHandler handler(*h, main);
  TReadThread reader(h, main, handler);
  bool stopped = false;
  // The main thread is busy (the close sequence) when the reader hands over
  // an event: Stop must serve that hand-over instead of waiting for ever.
  main.RunSync([&] {
    reader.Start();
    h->PushEvent(Event(2));
    ASSERT_TRUE(main.WaitForPending());
    reader.Stop();
    stopped = true;
  });
  EXPECT_TRUE(stopped);
  EXPECT_FALSE(reader.Running());
  EXPECT_TRUE(handler.WaitFor(0).empty()) << "stopping: the handler is not called";
}

TEST(TReadThread, StopBeforeTheFirstReadStillEnds) {
  auto h = std::make_shared<FakeHandle>();
  QueueMainThread main;
  RecordingHandler handler(*h, main);
  TReadThread reader(h, main, handler);
  reader.Start();
  reader.Stop();  // whether or not the read was issued yet
  EXPECT_FALSE(reader.Running());
}

TEST(TReadThread, NotWaitedForItNeverCallsTheHandlerAgain) {
  auto h = std::make_shared<FakeHandle>();
  auto main = std::make_unique<QueueMainThread>();
  auto handler = std::make_unique<RecordingHandler>(*h, *main);
  auto reader = std::make_unique<TReadThread>(h, *main, *handler);
  reader->Start();
  ASSERT_TRUE(h->WaitForHeldRead());
  main->RunSync([&] { reader->Stop(false); });  // Stop runs on the main thread
  handler.reset();                              // gone: the reader must not call it
  h->PushEvent(Event(2));
  reader.reset();
  main.reset();
}

TEST(TReadThread, AHandlerThatThrowsEndsOnlyTheHandlingOfThatRecord) {
  auto h = std::make_shared<FakeHandle>();
  QueueMainThread main;
  RecordingHandler handler(*h, main);
  handler.throw_on = 1;
  TraceCapture trace;
  for (uint8_t code : {1, 2, 1, 6}) h->PushEvent(Event(code));
  TReadThread reader(h, main, handler);
  reader.Start();
  auto seen = handler.WaitFor(4);
  ASSERT_EQ(seen.size(), 4u);
  EXPECT_EQ(seen[3].code, 6);
  EXPECT_TRUE(reader.Running());
  EXPECT_TRUE(trace.Contains("TReadThread : exception in a main-thread step : tree update failed"));
  reader.Stop();
}

TEST(TReadThread, AMainThreadThatTakesNoMoreWorkEndsTheReader) {
  auto h = std::make_shared<FakeHandle>();
  QueueMainThread main;
  RecordingHandler handler(*h, main);
  TReadThread reader(h, main, handler);
  reader.Start();
  ASSERT_TRUE(h->WaitForHeldRead());
  main.Close();
  h->PushEvent(Event(2));
  // The refused hand-over ends the thread; no further read is issued.
  const auto deadline = Clock_::now() + std::chrono::seconds(10);
  while (reader.Running() && Clock_::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  EXPECT_FALSE(reader.Running());
  EXPECT_EQ(h->ReadsIssued(), 1);
  EXPECT_TRUE(handler.WaitFor(0).empty());
  reader.Stop();
}

TEST(TReadThread, ClosedHandleEndsWithoutSpinning) {
  auto h = std::make_shared<FakeHandle>();
  QueueMainThread main;
  RecordingHandler handler(*h, main);
  TReadThread reader(h, main, handler);
  reader.Start();
  ASSERT_TRUE(h->WaitForHeldRead());
  h->Close();
  handler.WaitFor(1);
  reader.Stop();
  // Reads that fail at once are spaced out, not repeated in a tight loop.
  EXPECT_LT(h->ReadsIssued(), 50);
}

}  // namespace
}  // namespace vx::bus
