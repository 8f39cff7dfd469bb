#include "devices/ejection.h"

namespace vx::devices {
namespace {
class NothingRegistered final : public Ejector {
 public:
  int Eject(uint16_t, uint16_t, const std::string&) override { return kEjectOk; }
};
}  // namespace

std::unique_ptr<Ejector> MakeSystemEjector() { return std::make_unique<NothingRegistered>(); }

}  // namespace vx::devices
