#include "platform/main_thread.h"

#include <mutex>

namespace vx {
namespace {

class Inline final : public MainThread {
 public:
  void RunSync(const std::function<void()>& work) override {
    std::lock_guard lock(mutex_);
    work();
  }

 private:
  std::recursive_mutex mutex_;
};

}  // namespace

MainThread& InlineMainThread() {
  static Inline instance;
  return instance;
}

}  // namespace vx
