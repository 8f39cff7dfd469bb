#include "platform/trace.h"

#include <memory>
#include <mutex>

namespace vx {
namespace {

std::mutex& SinkMutex() {
  static std::mutex m;
  return m;
}

TraceSink& Sink() {
  static TraceSink sink;
  return sink;
}

}  // namespace

void TraceLine(std::string_view text) {
  TraceSink sink;
  {
    std::lock_guard lock(SinkMutex());
    sink = Sink();
  }
  if (sink) sink(text);
}

TraceSink SetTraceSink(TraceSink sink) {
  std::lock_guard lock(SinkMutex());
  TraceSink previous = std::move(Sink());
  Sink() = std::move(sink);
  return previous;
}

struct TraceCapture::State {
  mutable std::mutex mutex;
  std::vector<std::string> lines;
};

TraceCapture::TraceCapture() : state_(new State) {
  State* s = state_;
  previous_ = SetTraceSink([s](std::string_view line) {
    std::lock_guard lock(s->mutex);
    s->lines.emplace_back(line);
  });
}

TraceCapture::~TraceCapture() {
  SetTraceSink(std::move(previous_));
  delete state_;
}

std::vector<std::string> TraceCapture::Lines() const {
  std::lock_guard lock(state_->mutex);
  return state_->lines;
}

bool TraceCapture::Contains(std::string_view needle) const {
  std::lock_guard lock(state_->mutex);
  for (const auto& l : state_->lines)
    if (l.find(needle) != std::string::npos) return true;
  return false;
}

}  // namespace vx
