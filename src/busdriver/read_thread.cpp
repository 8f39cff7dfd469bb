#include "busdriver/read_thread.h"

#include <algorithm>
#include <array>
#include <chrono>

#include "busdriver/operations.h"
#include "platform/trace.h"

namespace vx::bus {

// What the thread uses. It is shared with the thread, so a reader that was
// not waited for keeps it alive until it ends.
struct TReadThread::State {
  std::shared_ptr<DriverHandle> master;
  ReadInfoHandler* handler;
  // The receive buffer: the driver writes it only while a read is pending,
  // and Read returns only once the read has completed or been cancelled.
  std::array<uint8_t, kEventBufferSize> buffer{};
};

TReadThread::TReadThread(std::shared_ptr<DriverHandle> master, MainThread& main_thread,
                         ReadInfoHandler& handler)
    : state_(std::make_shared<State>()),
      worker_(main_thread, "TReadThread", WorkerThread::Priority::kAboveNormal) {
  state_->master = std::move(master);
  state_->handler = &handler;
}

TReadThread::~TReadThread() { Stop(true); }

void TReadThread::Start() {
  if (worker_.Started() || !state_->master) return;
  if (worker_.Start([s = state_](Worker& w) { Loop(w, *s); }))
    TraceLine("ReadThread Start ---------------------------------");
}

void TReadThread::Stop(bool wait) {
  if (!worker_.Started() || stopped_) return;
  stopped_ = true;
  worker_.Terminate();
  Abort(*state_->master);
  // Abort completes the read the driver holds. A read issued just after the
  // abort, or a driver that ignores it, is cancelled here, and the reader
  // waits for that cancellation before the buffer is released.
  state_->master->InterruptReads();
  if (wait)
    worker_.WaitFor();
  else
    worker_.Detach();
}

void TReadThread::Loop(Worker& w, State& s) {
  while (!w.Terminated()) {
    s.buffer.fill(0);
    IoResult r = s.master->Read(s.buffer);
    const int length = r.ok ? int(std::min<uint32_t>(r.bytes, kEventBufferSize)) : 0;
    if (w.Terminated()) break;
    w.RunOnMainThread([&] {
      // Runs on the main thread, so it is ordered with Stop: once termination
      // was requested the handler (which may be gone) is not called.
      if (!w.Terminated()) s.handler->GetReadInfo(s.buffer, length);
    });
    if (!r.ok && r.last_error != kErrorOperationAborted) {
      // A broken handle fails every read at once; do not spin on it.
      w.WaitTerminated(std::chrono::milliseconds(200));
    }
  }
}

}  // namespace vx::bus
