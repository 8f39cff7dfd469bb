// No device sharing: the servers only take part in discovery.
#include "sharing_hooks.h"

namespace vx::lab {
namespace {

class NoSharing final : public SharingExtension {
 public:
  void ServerUp(const SimServerView&) override {}
  void ServerDown(const std::string&) override {}
  std::optional<std::string> Control(const std::vector<std::string>&) override { return std::nullopt; }
};

}  // namespace

std::unique_ptr<SharingExtension> MakeSharingExtension() { return std::make_unique<NoSharing>(); }

}  // namespace vx::lab
