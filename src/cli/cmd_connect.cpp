// vessix-cli connect <server-ip> <device-no> [--json]
// vessix-cli disconnect <server-ip> <device-no> [--json]
// Connect claims a device and locks it for this PC with the manual lock;
// disconnect ejects a storage device, unlocks and releases it. Exit 0 done,
// 1 refused or failed (the reason on stderr), 2 usage.
#include <cstdio>
#include <memory>
#include <string>

#include "busdriver/operations.h"
#include "cli/bus_session.h"
#include "cli/command.h"
#include "cli/json_output.h"
#include "devices/computer_name.h"
#include "devices/device_ops.h"
#include "devices/ejection.h"
#include "devices/viewer_closer.h"

namespace vx::cli {
namespace {

struct Options {
  std::string ip;
  int device_no = 0;
  bool json = false;
};

// Prints the result (JSON on stdout when asked) and the reason on stderr.
int Report(const char* command, const Options& o, const std::string& result, const std::string& reason,
           Json extra = Json::object()) {
  if (o.json) {
    Json j{{"command", command}, {"server", o.ip}, {"device_no", o.device_no}, {"result", result}};
    for (auto it = extra.begin(); it != extra.end(); ++it) j[it.key()] = it.value();
    PrintJsonLine(j);
  } else if (reason.empty()) {
    std::printf("%s %d on %s: %s\n", command, o.device_no, o.ip.c_str(), result.c_str());
  }
  if (!reason.empty()) std::fprintf(stderr, "vessix-cli %s: %s\n", command, reason.c_str());
  std::fflush(stdout);
  return reason.empty() ? 0 : 1;
}

struct StderrNotice final : bus::ClaimNotice {
  bool printer_port = false;
  void PortSetToPrinterServer() override { printer_port = true; }
};

// Opens the server's bus and reads its device list; an empty reason when done.
std::string Prepare(const Options& o, BusSession* session, std::shared_ptr<bus::DriverHandle>* tcp_bus,
                    bus::DeviceList* list) {
  std::string why;
  auto s = OpenBusSession(&why);
  if (!s) return why;
  *session = std::move(*s);
  *tcp_bus = OpenServerBus(*session, o.ip, &why);
  if (!*tcp_bus) return why;
  if (!bus::GetDeviceList(**tcp_bus, list)) return "the device list of " + o.ip + " cannot be read";
  if (!FindDevice(*list, o.device_no)) return "no device " + std::to_string(o.device_no) + " on " + o.ip;
  return {};
}

int Connect(Options o) {
  o.ip = ServerIpArgument(o.ip);
  TraceToStderrWhenAsked();
  BusSession session;
  std::shared_ptr<bus::DriverHandle> tcp_bus;
  bus::DeviceList list;
  if (auto why = Prepare(o, &session, &tcp_bus, &list); !why.empty())
    return Report("connect", o, "failed", why);
  const bus::DeviceEntry& d = *FindDevice(list, o.device_no);
  const std::string me = devices::ComputerName();
  if (!d.owner.empty() && d.owner == me)
    return Report("connect", o, "connected", "", {{"owner", me}, {"already", true}});
  if (!d.owner.empty()) return Report("connect", o, "refused", "held by " + d.owner, {{"owner", d.owner}});
  StderrNotice notice;
  auto ref = RefOf(d);
  switch (devices::ConnectDevice(*tcp_bus, ref, &notice)) {
    case devices::ConnectResult::kConnected:
      return Report("connect", o, "connected", "",
                    {{"owner", me},
                     {"lock_type", devices::kManualLockType},
                     {"lock_time", devices::LockTimeFor(ref.usb_class)}});
    case devices::ConnectResult::kClaimFailed:
      return Report(
          "connect", o, "claim-failed",
          notice.printer_port ? "the server's port is set to printer-server use" : "the claim was refused");
    case devices::ConnectResult::kLockFailed:
      return Report("connect", o, "lock-failed", "the lock was refused; the device was released again");
  }
  return 1;
}

int Disconnect(Options o) {
  o.ip = ServerIpArgument(o.ip);
  TraceToStderrWhenAsked();
  BusSession session;
  std::shared_ptr<bus::DriverHandle> tcp_bus;
  bus::DeviceList list;
  if (auto why = Prepare(o, &session, &tcp_bus, &list); !why.empty())
    return Report("disconnect", o, "failed", why);
  const bus::DeviceEntry& d = *FindDevice(list, o.device_no);
  const std::string me = devices::ComputerName();
  if (d.owner.empty() || d.owner != me)
    return Report("disconnect", o, "not-held",
                  d.owner.empty() ? "the device is free" : "held by " + d.owner + ", not by this PC",
                  {{"owner", d.owner}});
  auto ejector = devices::MakeSystemEjector();
  auto viewer = devices::MakeSystemViewerCloser();
  auto out = devices::DisconnectDevice(*tcp_bus, RefOf(d), *ejector, viewer.get());
  Json extra{{"unlocked", out.unlocked}};
  if (out.ejected) extra["eject_result"] = out.eject_result;
  switch (out.result) {
    case devices::DisconnectResult::kDisconnected:
      return Report("disconnect", o, "disconnected", "", extra);
    case devices::DisconnectResult::kEjectFailed:
      return Report("disconnect", o, "eject-failed",
                    "the storage device is in use (eject result " + std::to_string(out.eject_result) +
                        "); it stays connected",
                    extra);
    case devices::DisconnectResult::kReleaseFailed:
      return Report("disconnect", o, "release-failed", "the release was refused", extra);
  }
  return 1;
}

void AddArguments(CLI::App* cmd, Options& o) {
  cmd->add_option("server-ip", o.ip, "the server's IPv4 address")->required();
  cmd->add_option("device-no", o.device_no, "the device's number on the server")
      ->required()
      ->transform(DecimalRange(0, 255));
  cmd->add_flag("--json", o.json, "the result as one JSON object");
}

void Register(CLI::App& root, Actions& actions) {
  auto c = std::make_shared<Options>();
  CLI::App* connect = root.add_subcommand("connect", "claim a server's device and lock it for this PC");
  AddArguments(connect, *c);
  actions.Bind(connect, [c] { return Connect(*c); });
  auto d = std::make_shared<Options>();
  CLI::App* disconnect =
      root.add_subcommand("disconnect", "eject, unlock and release a device this PC holds");
  AddArguments(disconnect, *d);
  actions.Bind(disconnect, [d] { return Disconnect(*d); });
}

CommandRegistration reg(&Register);

}  // namespace
}  // namespace vx::cli
