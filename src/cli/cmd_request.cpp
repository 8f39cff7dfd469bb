// vessix-cli request <server-ip> <device-no> [--wait S] [--json]
// Asks the PC that holds a device (connected by hand) to let it go, then
// polls the device list every 2 s; once the device is free it is claimed and
// locked for this PC. Ends with connected, refused (the holder said no) or
// timeout (after --wait seconds; the request is then withdrawn).
#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <memory>
#include <mutex>
#include <string>

#include "busdriver/operations.h"
#include "busdriver/read_thread.h"
#include "cli/bus_session.h"
#include "cli/command.h"
#include "cli/json_output.h"
#include "devices/computer_name.h"
#include "devices/request_wait.h"
#include "platform/main_thread.h"
#include "platform/net/network.h"

namespace vx::cli {
namespace {

struct Options {
  std::string ip;
  int device_no = 0;
  int wait_s = 100;
  bool json = false;
};

int Report(const Options& o, const std::string& result, const std::string& reason,
           Json extra = Json::object()) {
  if (o.json) {
    Json j{{"command", "request"}, {"server", o.ip}, {"device_no", o.device_no}, {"result", result}};
    for (auto it = extra.begin(); it != extra.end(); ++it) j[it.key()] = it.value();
    PrintJsonLine(j);
  } else {
    std::printf("request %d on %s: %s\n", o.device_no, o.ip.c_str(), result.c_str());
  }
  if (!reason.empty()) std::fprintf(stderr, "vessix-cli request: %s\n", reason.c_str());
  std::fflush(stdout);
  return reason.empty() ? 0 : 1;
}

// Catches the holder's refusal of this PC's request among the driver events.
class RefusalWatch final : public bus::ReadInfoHandler {
 public:
  RefusalWatch(uint32_t server_ip, int device_no) : server_ip_(server_ip), device_no_(device_no) {}
  void GetReadInfo(std::span<const uint8_t> record, int length) override {
    if (length <= 0) return;
    auto e = bus::ParseEvent(record.first(std::min(record.size(), size_t(length))));
    if (!e || e->code != bus::kEventRequestToUse || e->command != 2) return;
    if (e->server_ip != server_ip_ || e->device_no != device_no_) return;
    std::lock_guard l(m_);
    refused_ = true;
    cv_.notify_all();
  }
  bool Wait(std::chrono::milliseconds d) {
    std::unique_lock l(m_);
    return cv_.wait_for(l, d, [&] { return refused_; });
  }

 private:
  const uint32_t server_ip_;
  const int device_no_;
  std::mutex m_;
  std::condition_variable cv_;
  bool refused_ = false;
};

int Request(Options o) {
  o.ip = ServerIpArgument(o.ip);
  TraceToStderrWhenAsked();
  std::string why;
  auto session = OpenBusSession(&why);
  if (!session) return Report(o, "failed", why);
  auto tcp_bus = OpenServerBus(*session, o.ip, &why);
  if (!tcp_bus) return Report(o, "failed", why);
  const std::string me = devices::ComputerName();
  const std::string no = std::to_string(o.device_no);
  bus::DeviceList list;
  if (!bus::GetDeviceList(*tcp_bus, &list)) return Report(o, "failed", "the device list cannot be read");
  const bus::DeviceEntry* d = FindDevice(list, o.device_no);
  if (!d) return Report(o, "failed", "no device " + no + " on " + o.ip);
  devices::DeviceRef ref = RefOf(*d);
  if (!d->owner.empty() && d->owner == me) return Report(o, "connected", "", {{"already", true}});
  if (!d->owner.empty() && d->lock_type != devices::kManualLockType)
    return Report(o, "failed",
                  "held by " + d->owner + " for its own use (not connected by hand); it cannot be asked for");
  // The event reader runs before the request goes out, so that no refusal
  // can come before it.
  RefusalWatch watch(net::Ipv4::Parse(o.ip)->NetworkOrder(), o.device_no);
  bus::TReadThread reader(session->master, InlineMainThread(), watch);
  reader.Start();
  if (!d->owner.empty() && !bus::RequestDevice(*tcp_bus, no, 1, "")) {
    reader.Stop();
    return Report(o, "failed", "the request cannot be sent");
  }
  devices::RequestWaitPorts ports{[&] {
                                    bus::DeviceList now;
                                    if (!bus::GetDeviceList(*tcp_bus, &now))
                                      return devices::PolledDevice::kListUnavailable;
                                    const bus::DeviceEntry* e = FindDevice(now, o.device_no);
                                    if (!e) return devices::PolledDevice::kMissing;
                                    if (e->owner.empty()) return devices::PolledDevice::kFree;
                                    return e->owner == me ? devices::PolledDevice::kHeldByThisPc
                                                          : devices::PolledDevice::kHeldByOther;
                                  },
                                  [&] { return devices::ConnectDevice(*tcp_bus, ref); },
                                  [&](std::chrono::milliseconds ms) { return watch.Wait(ms); },
                                  [&] { bus::RequestDevice(*tcp_bus, no, 3, ""); }};
  // A free device is taken at once; otherwise one poll per 2 s within the limit.
  devices::RequestOutcome outcome;
  if (d->owner.empty()) {
    outcome = devices::ConnectDevice(*tcp_bus, ref) == devices::ConnectResult::kConnected
                  ? devices::RequestOutcome::kConnected
                  : devices::RequestOutcome::kClaimFailed;
  } else {
    int limit = std::max(1, o.wait_s / 2);
    outcome = devices::WaitForRequestedDevice(ports, limit);
  }
  reader.Stop();
  switch (outcome) {
    case devices::RequestOutcome::kConnected:
      return Report(o, "connected", "", {{"owner", me}, {"lock_type", devices::kManualLockType}});
    case devices::RequestOutcome::kClaimFailed:
      return Report(o, "claim-failed", "the device was let go but the claim or lock failed; nothing is held");
    case devices::RequestOutcome::kRefused:
      return Report(o, "refused", "the holder refused the request");
    case devices::RequestOutcome::kTimeout:
      return Report(o, "timeout",
                    "no answer within " + std::to_string(o.wait_s) + " s; the request was withdrawn");
  }
  return 1;
}

void Register(CLI::App& root, Actions& actions) {
  auto o = std::make_shared<Options>();
  CLI::App* cmd = root.add_subcommand("request", "ask the PC holding a device to let it go, then connect it");
  cmd->add_option("server-ip", o->ip, "the server's IPv4 address")->required();
  cmd->add_option("device-no", o->device_no, "the device's number on the server")
      ->required()
      ->transform(DecimalRange(0, 255));
  cmd->add_option("--wait", o->wait_s, "seconds to wait for an answer (default 100)")
      ->transform(DecimalRange(2, 3600));
  cmd->add_flag("--json", o->json, "the result as one JSON object");
  actions.Bind(cmd, [o] { return Request(*o); });
}

CommandRegistration reg(&Register);

}  // namespace
}  // namespace vx::cli
