// A scripted driver for tests: IOCTL answers per code, recorded calls, and
// held reads fed by PushEvent and completed (with no record) by Abort.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <vector>

#include "busdriver/driver_channel.h"

namespace vx::bus::testing {

struct Answer {
  bool ok = true;
  int32_t last_error = 0;
  std::vector<uint8_t> out;  // bytes returned (may be longer than the buffer)
};

struct RecordedCall {
  uint32_t code;
  std::vector<uint8_t> input;
  size_t room;
};

class FakeHandle final : public DriverHandle {
 public:
  // Answers given in order for `code`; the last one repeats.
  void Script(uint32_t code, std::vector<Answer> answers);
  std::vector<RecordedCall> Calls() const;
  std::vector<RecordedCall> CallsOf(uint32_t code) const;
  void PushEvent(std::vector<uint8_t> record);
  // Waits (real time, bounded) until a read is held by the driver.
  bool WaitForHeldRead(int timeout_ms = 5000);
  int ReadsIssued() const;

  IoResult Ioctl(uint32_t code, std::span<uint8_t> buffer, size_t in_size) override;
  IoResult Read(std::span<uint8_t> buffer) override;
  void InterruptReads() override;
  bool Close() override;
  uint32_t TraceId() const override { return 0x1234ABCD; }

 private:
  mutable std::mutex mutex_;
  std::condition_variable cv_;
  std::map<uint32_t, std::deque<Answer>> answers_;
  std::vector<RecordedCall> calls_;
  std::deque<std::vector<uint8_t>> events_;
  int held_ = 0, reads_ = 0;
  bool abort_pending_ = false, interrupted_ = false, closed_ = false;
};

class FakeChannel final : public DriverChannel {
 public:
  std::shared_ptr<FakeHandle> master = std::make_shared<FakeHandle>();
  std::map<std::string, std::shared_ptr<FakeHandle>> paths;
  bool driver_present = true;
  std::shared_ptr<DriverHandle> OpenMasterBus() override { return driver_present ? master : nullptr; }
  std::shared_ptr<DriverHandle> OpenPath(const std::string& path, uint32_t* last_error) override;
};

}  // namespace vx::bus::testing
