// Natively there is no data source manager: the library never loads, memory
// comes from the heap and the loop has no messages.
#include "scan/twain/twain_ports.h"

namespace vx::scan::twain {
namespace {

class NoManager final : public TwainManagerLibrary {
 public:
  bool Load() override { return false; }
  void Unload() override {}
  bool Loaded() const override { return false; }
  uint16_t Call(TW_IDENTITY*, TW_IDENTITY*, uint32_t, uint16_t, uint16_t, void*) override {
    return TWRC_FAILURE;
  }
  bool AnySourceInstalled() const override { return false; }
  std::string Name() const override { return "TWAIN_32.DLL"; }
};

class NoMessages final : public TwainMessageLoop {
 public:
  void* ParentWindow() override { return nullptr; }
  bool PumpUntil(const std::function<bool()>& done, std::chrono::milliseconds) override { return done(); }
};

}  // namespace

TwainManagerLibrary& SystemTwainLibrary() {
  static NoManager library;
  return library;
}

GlobalMemory& SystemGlobalMemory() { return HeapMemory(); }

std::unique_ptr<TwainMessageLoop> MakeSystemMessageLoop(ApplicationMessages&) {
  return std::make_unique<NoMessages>();
}

}  // namespace vx::scan::twain
