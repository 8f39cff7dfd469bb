// The diagnostic trace sink. Every subsystem reports its steps with
// TraceLine(); by default the line is discarded, as the product has no debug
// output. Tests (and a developer at a debugger) can install a sink to see them.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace vx {

// Hands one diagnostic line to the installed sink; discards it when none is set.
void TraceLine(std::string_view text);

using TraceSink = std::function<void(std::string_view)>;

// Replaces the process-wide sink; returns the previous one. Thread-safe.
TraceSink SetTraceSink(TraceSink sink);

// Collects every trace line while it lives (for tests). Thread-safe.
class TraceCapture {
 public:
  TraceCapture();
  ~TraceCapture();
  TraceCapture(const TraceCapture&) = delete;
  TraceCapture& operator=(const TraceCapture&) = delete;

  std::vector<std::string> Lines() const;
  // True when some captured line contains `needle`.
  bool Contains(std::string_view needle) const;

 private:
  struct State;
  State* state_;
  TraceSink previous_;
};

}  // namespace vx
