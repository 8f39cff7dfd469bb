#include "model/driver_events.h"

#include <exception>
#include <vector>

#include "platform/trace.h"
#include "ui/texts.h"

namespace vx::model {

DriverEvents::DriverEvents(DriverEventPorts p)
    : list_(p.list),
      tree_(p.list.Tree()),
      presenter_(p.presenter),
      discovery_(p.discovery),
      requests_(p.requests),
      clock_(p.clock),
      quiet_(p.quiet),
      closing_(std::move(p.closing)) {}

void DriverEvents::GetReadInfo(std::span<const uint8_t> record, int length) {
  try {
    if ((closing_ && closing_()) || length < 0 || size_t(length) > record.size()) return;
    const auto bytes = record.first(size_t(length));
    const auto e = bus::ParseEvent(bytes);
    if (!e || e->code < bus::kEventUpdateDeviceList || e->code > bus::kEventErrorCode) return;

    std::string trace;
    if (e->code != bus::kEventAudioData)
      trace = "GetReadInfo() : ---> " + std::string(bus::EventName(e->code)) +
              " <--- len : " + std::to_string(length);
    if (e->code == bus::kEventUpdateDeviceList) trace += " IP : " + bus::Ipv4Text(e->server_ip);
    if (!trace.empty()) TraceLine(trace);

    // The suppression flags count when the record arrives.
    if (e->code == bus::kEventUpdateDeviceList && list_.Events().device_list_suppressed) {
      TraceLine("Ignore Event ===> OP_UBUS_UPDATE_DEVICE_LIST");
      return;
    }
    if (e->code == bus::kEventUpdateBusList && list_.Events().bus_list_suppressed) {
      TraceLine("Ignore Event ===> OP_MBUS_UPDATE_BUS_LIST");
      return;
    }
    // A record that arrives while a refresh waits (its waits let hand-overs
    // in) is applied when that refresh has finished, in arrival order.
    std::vector<uint8_t> copy(bytes.begin(), bytes.end());
    list_.RunOrDefer([this, event = *e, copy = std::move(copy), length] {
      try {
        Handle(event, copy, length);
      } catch (const std::exception& ex) {
        TraceLine(std::string("GetReadInfo() : exception : ") + ex.what());
      }
    });
  } catch (const std::exception& ex) {
    TraceLine(std::string("GetReadInfo() : exception : ") + ex.what());
  } catch (...) {
    TraceLine("GetReadInfo() : exception");
  }
}

void DriverEvents::Handle(const bus::EventRecord& e, std::span<const uint8_t> record, int length) {
  if (closing_ && closing_()) return;
  switch (e.code) {
    case bus::kEventUpdateDeviceList:
      DeviceListChanged(bus::Ipv4Text(e.server_ip));
      break;
    case bus::kEventUpdateBusList:
      BusListChanged();
      break;
    case bus::kEventUpdateIp:
      AddressChanged();
      break;
    case bus::kEventRequestToUse:
      RequestToUse(e, record, length);
      break;
    case bus::kEventErrorCode:
      ErrorEvent(e);
      break;
    default:
      break;
  }
}

void DriverEvents::DeviceListChanged(const std::string& ip) {
  ServerNode* server = tree_.FindServerByIp(ip);
  if (!server || !server->data->HasTcpBus()) return;
  const NodeId server_id = server->id;
  list_.getDevList(server_id);

  const NodeId selected = tree_.Selected();
  ServerNode* owner = tree_.ServerOf(selected);
  if (!owner) return;
  const ServerData& s = *owner->data;
  if (s.Location == "0" || s.Location == "2" || s.IpAddress != ip || !s.HasTcpBus()) return;
  const NodeId owner_id = owner->id;
  std::string device_no;
  if (DeviceNode* device = tree_.FindDevice(selected)) device_no = device->data->DeviceNo;
  const bool device_selected = selected != owner_id;
  presenter_.Action_UDSClickExecute();
  if (!device_selected) return;
  owner = tree_.FindServer(owner_id);
  if (!owner) return;
  for (const auto& d : owner->devices) {
    if (d.data->DeviceNo == device_no) {
      tree_.Select(d.id);
      presenter_.Action_UDSClickExecute();
      return;
    }
  }
}

void DriverEvents::BusListChanged() {
  quiet_.last_event = clock_.Now();
  tree_.View().SetTreeEnabled(false);
  list_.RefreshServerList();
  presenter_.Action_UDSClickExecute();
  tree_.View().SetTreeEnabled(true);
}

void DriverEvents::AddressChanged() {
  TraceLine(">> FindQuorinThread->Suspend();");
  discovery_.SuspendListener();
  try {
    discovery_.ReopenSockets();
  } catch (...) {
    discovery_.ResumeListener();
    throw;
  }
  TraceLine(">>> FindQuorinThread->Resume();");
  discovery_.ResumeListener();

  // The selection by identities that survive an address change.
  ServerList::Reselection target;
  const NodeId selected = tree_.Selected();
  if (ServerNode* server = tree_.ServerOf(selected)) {
    target.mac = server->data->MacAddress;
    if (DeviceNode* device = tree_.FindDevice(selected)) {
      target.vid = device->data->Vid;
      target.pid = device->data->Pid;
      target.serial = device->data->SerialNo;
    }
  }
  list_.CancelReselection();
  tree_.ClearSelection();
  tree_.View().SetTreeEnabled(false);
  discovery_.FindQuorinSend();
  list_.RefreshServerList();
  tree_.View().SetTreeEnabled(true);
  // A server found at a new address is a new node whose reply and device
  // list may come after the refresh: the selection follows them.
  if (!target.mac.empty()) list_.Reselect(std::move(target));
}

void DriverEvents::RequestToUse(const bus::EventRecord& e, std::span<const uint8_t> record, int length) {
  if (e.command < 1 || e.command > 5) return;
  TraceLine("Request To Connect!!! RemoteIP : " + bus::Ipv4Text(e.asker_ip) + " \"" + e.host_name + "\" " +
            std::to_string(e.command));
  TraceLine("Request To Connect!!! ServerIP : " + bus::Ipv4Text(e.server_ip) +
            " DeviceNo : " + std::to_string(e.device_no));
  requests_.OnRequestToUse(record, length);
}

void DriverEvents::ErrorEvent(const bus::EventRecord& e) {
  if (e.error_code != 1) return;
  if (ServerNode* server = tree_.FindServerByIp(bus::Ipv4Text(e.server_ip)))
    server->data->BusState = kBusLost;
}

// ---- Timer_MBusUpdate --------------------------------------------------------

MBusUpdate::MBusUpdate(ServerList& list, MBusUpdateHost& host, Clock& clock, BusListQuiet& quiet)
    : list_(list), host_(host), clock_(clock), quiet_(quiet) {}

void MBusUpdate::Timer_MBusUpdateTimer() {
  if (finished_ || list_.Busy()) return;  // a tick pumped inside a refresh waits for the next one
  const std::string searching(
      ui::Text(list_.japanese() ? "Japanese" : "English", ui::TextId::MainFm_Searching));
  if (!searching.empty()) {  // Japanese only
    host_.SetCaption(title_ + searching + (slash_ ? "/" : "\\"));
    slash_ = !slash_;
  }
  if (quiet_.last_event) {
    const auto seconds =
        std::chrono::duration_cast<std::chrono::seconds>(clock_.Now() - *quiet_.last_event).count();
    if (seconds < 3) return;
  }
  finished_ = true;
  host_.StopMBusUpdateTimer();
  host_.SetFindServerEnabled(true);
  list_.RefreshServerList();
  list_.Tree().View().SetTreeEnabled(true);
  host_.SetCaption(title_);
  if (!watchers_started_) {
    watchers_started_ = true;
    host_.StartAutoConnectWatchers();
  }
}

}  // namespace vx::model
