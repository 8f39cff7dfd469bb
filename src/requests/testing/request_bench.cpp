#include "requests/testing/request_bench.h"

#include <algorithm>

namespace vx::requests::testing {

using model::testing::Device;

namespace {

uint32_t Ip(const std::string& text) { return net::Ipv4::Parse(text)->NetworkOrder(); }

bus::EventRecord Code(uint8_t code, const std::string& ip = "") {
  bus::EventRecord e;
  e.code = code;
  if (!ip.empty()) e.server_ip = Ip(ip);
  return e;
}

}  // namespace

std::vector<uint8_t> RequestRecord(int command, const std::string& server_ip, int device_no,
                                   const std::string& asker_ip, const std::string& host_name) {
  bus::EventRecord e;
  e.code = bus::kEventRequestToUse;
  e.command = uint8_t(command);
  e.device_no = device_no;
  e.server_ip = Ip(server_ip);
  e.asker_ip = Ip(asker_ip);
  e.host_name = host_name;
  return bus::EncodeEvent(e);
}

RequestBench::RequestBench(bool japanese) {
  f.driver.SetBusList(
      {model::testing::Bus("uds1", "10.0.0.2", 1), model::testing::Bus("uds2", "10.0.0.3", 1)});
  f.info.replies["10.0.0.2"] = model::testing::Info("00:80:92:00:00:02");
  f.info.replies["10.0.0.3"] = model::testing::Info("00:80:92:00:00:03");
  f.Event(Code(bus::kEventUpdateBusList));
  f.info.Deliver();
  Devices("10.0.0.2", {Device(1, "PRINTER", "Acme", "Laser 9", "PC-B", 2),
                       Device(2, "Mass Storage", "Disk", "Stick", "PC-B", 2),
                       Device(3, "PRINTER", "Acme", "Laser 7", kThisPc, 2),
                       Device(4, "SCANNER", "Acme", "Scan 1", kThisPc, 2)});
  Devices("10.0.0.3", {Device(1, "UNKNOWN", "Odd", "Thing", kThisPc, 2)});
  presenter =
      std::make_unique<RequestPresenter>(RequestPorts{f.tree, wait, reply, timer, host},
                                         RequestOptions{.japanese = japanese, .computer_name = kThisPc});
}

void RequestBench::Devices(const std::string& ip, std::vector<bus::DeviceEntry> devices) {
  bus::DeviceList list;
  list.devices = std::move(devices);
  f.driver.SetDevices(ip, list);
  f.Event(Code(bus::kEventUpdateDeviceList, ip));
}

void RequestBench::Select(const std::string& ip, const std::string& device_no) {
  f.tree.Select(f.DeviceNodeOf(ip, device_no));
}

void RequestBench::Run(int ms) {
  const auto end = f.clock.Now() + std::chrono::milliseconds(ms);
  while (timer.running && timer.due <= end) {
    f.clock.Advance(std::chrono::duration_cast<Clock::Duration>(timer.due - f.clock.Now()));
    timer.due += std::chrono::milliseconds(timer.interval);  // periodic unless restarted
    presenter->Timer_RequestTimer();
  }
  f.clock.Advance(std::chrono::duration_cast<Clock::Duration>(end - f.clock.Now()));
}

void RequestBench::Event(int command, const std::string& server_ip, int device_no,
                         const std::string& asker_ip, const std::string& host_name) {
  auto record = RequestRecord(command, server_ip, device_no, asker_ip, host_name);
  std::vector<uint8_t> buffer(bus::kEventBufferSize, 0);
  std::copy(record.begin(), record.end(), buffer.begin());
  presenter->OnRequestToUse(buffer, int(record.size()));
}

bus::testing::FakeHandle& RequestBench::Bus(const std::string& ip) {
  auto handle = f.Server(ip)->data->TcpBusHandle;
  return *std::dynamic_pointer_cast<bus::testing::FakeHandle>(handle);
}

std::vector<SentRequest> RequestBench::Sent() {
  std::vector<SentRequest> out;
  for (const char* ip : {"10.0.0.2", "10.0.0.3"}) {
    if (!f.Server(ip) || !f.Server(ip)->data->HasTcpBus()) continue;
    for (const auto& call : Bus(ip).CallsOf(bus::kIoctlRequestDevice)) {
      auto r = bus::ParseRequest(call.input);
      out.push_back({ip, r->device_no, r->command, bus::Ipv4Text(r->ip)});
    }
  }
  return out;
}

std::vector<bus::testing::RecordedCall> RequestBench::Calls(const std::string& ip, uint32_t code) {
  return Bus(ip).CallsOf(code);
}

}  // namespace vx::requests::testing
