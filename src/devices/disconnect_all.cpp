#include "devices/disconnect_all.h"

#include <chrono>

#include "busdriver/operations.h"
#include "platform/trace.h"

namespace vx::devices {

TDisconnectThread::TDisconnectThread(MainThread& main, std::shared_ptr<bus::DriverHandle> tcp_bus,
                                     DisconnectAllItem item, const DeviceRef& device, Ejector& ejector,
                                     DisconnectCounter& counter)
    : tcp_bus_(std::move(tcp_bus)),
      item_(std::move(item)),
      device_(device),
      ejector_(ejector),
      counter_(counter),
      thread_(main, "TDisconnectThread", WorkerThread::Priority::kAboveNormal) {}

TDisconnectThread::~TDisconnectThread() { thread_.WaitFor(); }

bool TDisconnectThread::Start() {
  counter_.Add();
  if (thread_.Start([this](Worker&) { Run(); })) return true;
  counter_.Done();
  return false;
}

void TDisconnectThread::Run() {
  struct CountDown {
    DisconnectCounter& c;
    ~CountDown() { c.Done(); }
  } count_down{counter_};
  if (IsMassStorage(device_.usb_class)) {
    item_.ejected = true;
    item_.eject_result = ejector_.Eject(device_.vid, device_.pid, device_.serial);
    TraceLine(EjectTraceLine(device_.display_name, item_.eject_result));
  }
  item_.released = bus::ReleaseDevice(*tcp_bus_, device_.device_no);
  TraceLine((item_.released ? "=======> DisconnectAllDevice(o) : " : "=======> DisconnectAllDevice(x) : ") +
            device_.display_name);
}

std::vector<DisconnectAllItem> DisconnectAll(MainThread& main, const std::vector<ServerDevices>& servers,
                                             const std::string& this_pc,
                                             const std::optional<std::string>& only_ip, Ejector& ejector) {
  if (only_ip) TraceLine("Starting Disconnect " + *only_ip);
  DisconnectCounter counter;
  std::vector<std::unique_ptr<TDisconnectThread>> workers;
  std::vector<DisconnectAllItem> not_started;
  for (const auto& server : servers) {
    if (only_ip && server.ip != *only_ip) continue;
    if (!server.tcp_bus) continue;
    for (const auto& d : server.devices) {
      if (d.owner != this_pc || this_pc.empty()) continue;
      DisconnectAllItem item{server.ip, d.device.device_no, d.device.display_name};
      auto w = std::make_unique<TDisconnectThread>(main, server.tcp_bus, item, d.device, ejector, counter);
      TraceLine("Disconnect Thread Start ---------------------------------");
      if (w->Start())
        workers.push_back(std::move(w));
      else
        not_started.push_back(item);
    }
  }
  WaitServingMainThread(main, [&] { return counter.Running() == 0; });
  std::vector<DisconnectAllItem> items;
  for (auto& w : workers) items.push_back(w->Item());
  for (auto& i : not_started) items.push_back(i);
  return items;
}

}  // namespace vx::devices
