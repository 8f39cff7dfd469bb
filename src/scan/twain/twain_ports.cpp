#include "scan/twain/twain_ports.h"

#include <cmath>
#include <map>
#include <mutex>
#include <vector>

namespace vx::scan::twain {

double Fix32ToDouble(TW_FIX32 value) { return value.Whole + value.Frac / 65536.0; }

TW_FIX32 DoubleToFix32(double value) {
  // The standard's conversion: whole part and fraction, rounded to 1/65536.
  const int32_t scaled = static_cast<int32_t>(std::lround(value * 65536.0));
  TW_FIX32 fix;
  fix.Whole = static_cast<int16_t>(scaled >> 16);
  fix.Frac = static_cast<uint16_t>(scaled & 0xFFFF);
  return fix;
}

int RoundedDpi(TW_FIX32 value) { return static_cast<int>(std::lround(Fix32ToDouble(value))); }

namespace {

// Handles are keys into a table, so a stale or foreign handle is refused
// rather than followed.
class HeapGlobalMemory final : public GlobalMemory {
 public:
  void* Alloc(size_t size) override {
    std::lock_guard lock(mutex_);
    auto key = reinterpret_cast<void*>(++last_);
    blocks_[key].resize(size);
    return key;
  }
  void* Lock(void* handle) override {
    std::lock_guard lock(mutex_);
    auto it = blocks_.find(handle);
    if (it == blocks_.end()) return nullptr;
    // A zero-sized block still locks to a distinct address.
    return it->second.empty() ? static_cast<void*>(&it->second) : it->second.data();
  }
  void Unlock(void*) override {}
  void Free(void* handle) override {
    std::lock_guard lock(mutex_);
    blocks_.erase(handle);
  }
  size_t Size(void* handle) override {
    std::lock_guard lock(mutex_);
    auto it = blocks_.find(handle);
    return it == blocks_.end() ? 0 : it->second.size();
  }

 private:
  std::mutex mutex_;
  uintptr_t last_ = 0x1000;
  std::map<void*, std::vector<uint8_t>> blocks_;
};

}  // namespace

GlobalMemory& HeapMemory() {
  static HeapGlobalMemory memory;
  return memory;
}

GlobalBlock& GlobalBlock::operator=(GlobalBlock&& other) noexcept {
  if (this != &other) {
    Reset();
    memory_ = other.memory_;
    handle_ = other.handle_;
    other.handle_ = nullptr;
  }
  return *this;
}

void GlobalBlock::Reset() {
  if (handle_ && memory_) memory_->Free(handle_);
  handle_ = nullptr;
}

bool GlobalBlock::WithBytes(const std::function<void(std::span<const uint8_t>)>& use) const {
  if (!handle_ || !memory_) {
    use({});
    return false;
  }
  const size_t size = memory_->Size(handle_);
  auto* bytes = static_cast<const uint8_t*>(memory_->Lock(handle_));
  if (!bytes) {
    use({});
    return false;
  }
  use(std::span<const uint8_t>(bytes, size));
  memory_->Unlock(handle_);
  return true;
}

bool ApplicationMessages::Filter(void* message) const {
  bool handled = false;
  if (handler_) handler_(message, handled);
  return handled;
}

ApplicationMessages& TheApplicationMessages() {
  static ApplicationMessages messages;
  return messages;
}

}  // namespace vx::scan::twain
