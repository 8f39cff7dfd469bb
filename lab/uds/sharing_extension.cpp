// The device-sharing side of vx-uds: every simulated server that comes up
// gets its sharing service on its own address, TCP 20005 (or the server's
// "sharing_port"), with the devices of its "devices" list.
#include <cstdio>

#include "sharing_hooks.h"
#include "sharing_service.h"

namespace vx::lab {
namespace {

class DeviceSharing final : public SharingExtension {
 public:
  void ServerUp(const SimServerView& server) override {
    std::string why;
    auto devices = SharingService::DevicesFromJson(server.config, &why);
    if (!devices) {
      std::fprintf(stderr, "vx-uds: %s: devices ignored: %s\n", server.name.c_str(), why.c_str());
      devices.emplace();
    }
    uint16_t port = 20005;
    if (server.config.is_object() && server.config.contains("sharing_port") &&
        server.config["sharing_port"].is_number_unsigned())
      port = uint16_t(server.config["sharing_port"].get<unsigned>());
    why = service_.AddServer(server.name, server.ip, port, std::move(*devices));
    if (!why.empty())
      std::fprintf(stderr, "vx-uds: %s: device sharing not started: %s\n", server.name.c_str(), why.c_str());
  }
  void ServerDown(const std::string& name) override { service_.RemoveServer(name); }
  std::optional<std::string> Control(const std::vector<std::string>& words) override {
    return service_.Control(words);
  }

 private:
  SharingService service_;
};

}  // namespace

std::unique_ptr<SharingExtension> MakeSharingExtension() { return std::make_unique<DeviceSharing>(); }

}  // namespace vx::lab
