#include "busdriver/testing/fake_driver.h"

#include <algorithm>
#include <chrono>
#include <cstring>

#include "busdriver/records.h"

namespace vx::bus::testing {

void FakeHandle::Script(uint32_t code, std::vector<Answer> answers) {
  std::lock_guard lock(mutex_);
  answers_[code] = std::deque<Answer>(answers.begin(), answers.end());
}

std::vector<RecordedCall> FakeHandle::Calls() const {
  std::lock_guard lock(mutex_);
  return calls_;
}

std::vector<RecordedCall> FakeHandle::CallsOf(uint32_t code) const {
  std::vector<RecordedCall> out;
  for (auto& c : Calls())
    if (c.code == code) out.push_back(c);
  return out;
}

void FakeHandle::PushEvent(std::vector<uint8_t> record) {
  std::lock_guard lock(mutex_);
  events_.push_back(std::move(record));
  cv_.notify_all();
}

bool FakeHandle::WaitForHeldRead(int timeout_ms) {
  std::unique_lock lock(mutex_);
  return cv_.wait_for(lock, std::chrono::milliseconds(timeout_ms), [&] { return held_ > 0; });
}

int FakeHandle::ReadsIssued() const {
  std::lock_guard lock(mutex_);
  return reads_;
}

IoResult FakeHandle::Ioctl(uint32_t code, std::span<uint8_t> buffer, size_t in_size) {
  std::unique_lock lock(mutex_);
  calls_.push_back(
      {code, std::vector<uint8_t>(buffer.begin(), buffer.begin() + long(in_size)), buffer.size()});
  if (closed_) return {false, 0, kErrorInvalidHandle};
  if (code == kIoctlAbort) {
    abort_pending_ = true;  // completes the held read, or the next one
    cv_.notify_all();
  }
  auto it = answers_.find(code);
  Answer a;
  if (it != answers_.end() && !it->second.empty()) {
    a = it->second.front();
    if (it->second.size() > 1) it->second.pop_front();
  }
  IoResult r{a.ok, uint32_t(a.out.size()), uint32_t(a.last_error)};
  if (!a.out.empty()) std::memcpy(buffer.data(), a.out.data(), std::min(buffer.size(), a.out.size()));
  return r;
}

IoResult FakeHandle::Read(std::span<uint8_t> buffer) {
  std::unique_lock lock(mutex_);
  ++reads_;
  ++held_;
  cv_.notify_all();
  cv_.wait(lock, [&] { return !events_.empty() || abort_pending_ || interrupted_ || closed_; });
  --held_;
  if (!events_.empty() && !interrupted_ && !closed_) {
    auto rec = std::move(events_.front());
    events_.pop_front();
    if (!rec.empty()) std::memcpy(buffer.data(), rec.data(), std::min(buffer.size(), rec.size()));
    return {true, uint32_t(rec.size()), 0};
  }
  if (abort_pending_) abort_pending_ = false;
  return {false, 0, closed_ ? kErrorInvalidHandle : kErrorOperationAborted};
}

void FakeHandle::InterruptReads() {
  std::lock_guard lock(mutex_);
  interrupted_ = true;
  cv_.notify_all();
}

bool FakeHandle::Close() {
  std::lock_guard lock(mutex_);
  if (closed_) return false;
  closed_ = true;
  cv_.notify_all();
  return true;
}

std::shared_ptr<DriverHandle> FakeChannel::OpenPath(const std::string& path, uint32_t* last_error) {
  auto it = paths.find(path);
  if (it == paths.end()) {
    if (last_error) *last_error = kErrorFileNotFound;
    return nullptr;
  }
  return it->second;
}

}  // namespace vx::bus::testing
