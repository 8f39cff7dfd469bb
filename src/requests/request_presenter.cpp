#include "requests/request_presenter.h"

#include <string>

#include "busdriver/records.h"
#include "devices/device_commands.h"
#include "devices/device_ops.h"
#include "platform/trace.h"
#include "ui/texts.h"

namespace vx::requests {

RequestPresenter::RequestPresenter(RequestPorts ports, RequestOptions options)
    : tree_(ports.tree),
      wait_(ports.wait),
      reply_(ports.reply),
      timer_(ports.timer),
      host_(ports.host),
      options_(std::move(options)) {
  reply_.ApplyLook(LookOfReplyDialog(options_.japanese));
}

model::ServerNode* RequestPresenter::ServerWithBus(const std::string& ip) {
  for (const auto& server : tree_.Servers())
    if (server->data->IpAddress == ip && server->data->HasTcpBus()) return server.get();
  return nullptr;
}

// ---- Timer_Request -------------------------------------------------------------

void RequestPresenter::Arm() {
  int interval = 0;
  if (show_reply_pending_)
    interval = kShowReplyIntervalMs;
  else if (refusal_pending_)
    interval = kRefusalIntervalMs;
  else if (polling_)
    interval = kPollIntervalMs;
  if (interval == timer_interval_) return;  // already armed for it: its period goes on
  timer_interval_ = interval;
  if (interval == 0)
    timer_.Stop();
  else
    timer_.Start(interval);
}

void RequestPresenter::StopAll() {
  show_reply_pending_ = refusal_pending_ = polling_ = false;
  Arm();
}

void RequestPresenter::Timer_RequestTimer() {
  if (host_.Closing()) {
    StopAll();
    return;
  }
  const int purpose = timer_interval_;
  // The period starts anew after each tick.
  timer_interval_ = 0;
  timer_.Stop();
  switch (purpose) {
    case kShowReplyIntervalMs:
      show_reply_pending_ = false;
      if (!list_.Empty() && !reply_.IsShown()) reply_.ShowDialog();
      break;
    case kRefusalIntervalMs:
      refusal_pending_ = false;
      // A late refusal does not turn an answered request into a refused one.
      if (wait_.IsShown() && reply_state_ == ReplyState::kWaiting) SetReplyState(ReplyState::kRefused);
      break;
    case kPollIntervalMs:
      Poll();
      break;
    default:
      break;
  }
  Arm();
}

// ---- Asking side ------------------------------------------------------------------

void RequestPresenter::SetReplyState(ReplyState state) {
  reply_state_ = state;
  if (state == ReplyState::kConnected || state == ReplyState::kFailed) last_reply_refused_ = false;
  if (state == ReplyState::kRefused) last_reply_refused_ = true;
  wait_.ShowLook(LookOfWaitDialog(state, options_.japanese));
}

void RequestPresenter::Action_RequestExecute() {
  if (wait_.IsShown()) return;
  model::DeviceNode* device = tree_.FindDevice(tree_.Selected());
  model::ServerNode* server = tree_.ServerOf(tree_.Selected());
  if (!device || !server || !server->data->HasTcpBus()) return;
  const model::DeviceData& d = *device->data;
  const model::ServerData& s = *server->data;
  // Only a device held manually by another PC can be asked for (the device
  // may have changed since the command was made available).
  if (d.Owner.empty() || d.Owner == options_.computer_name || d.LockType != 2) return;

  host_.SetRequestEnabled(false);
  if (!bus::RequestDevice(*s.TcpBusHandle, d.DeviceNo, kCodeAsk, "")) {
    TraceLine("Request device failed : " + s.IpAddress + " " + d.DeviceNo);
    host_.SetRequestEnabled(true);
    return;
  }
  wait_.SetRequestInfo({d.Owner, s.DisplayName, DeviceText(d)});
  SetReplyState(ReplyState::kWaiting);
  wait_.ShowDialog();

  pending_server_ip_ = s.IpAddress;
  pending_device_no_ = d.DeviceNo;
  // A new request gets the whole limit, whatever the last one used.
  poll_count_ = 0;
  refusal_pending_ = false;
  polling_ = true;
  if (timer_interval_ == kPollIntervalMs) {  // a poll still armed: its period starts now
    timer_interval_ = 0;
    timer_.Stop();
  }
  Arm();
}

void RequestPresenter::Poll() {
  if (host_.Closing() || host_.TreeBusy()) return;
  ++poll_count_;
  tree_.View().SetTreeEnabled(false);
  bool found = false, held_here = false;
  std::shared_ptr<bus::DriverHandle> free_bus;
  const model::DeviceData* free_device = nullptr;
  for (const auto& server : tree_.Servers()) {
    if (server->data->IpAddress != pending_server_ip_ || !server->data->HasTcpBus()) continue;
    for (const auto& device : server->devices) {
      if (device.data->DeviceNo != pending_device_no_) continue;
      found = true;
      if (device.data->Owner.empty()) {
        free_bus = server->data->TcpBusHandle;
        free_device = device.data.get();
        break;
      }
      if (!options_.computer_name.empty() && device.data->Owner == options_.computer_name) held_here = true;
    }
  }
  tree_.View().SetTreeEnabled(true);

  if (!found) {
    if (poll_count_ >= kPollLimit) {
      TraceLine("Request : the device is not listed; polling stopped");
      poll_count_ = 0;
      polling_ = false;  // the wait dialog stays as it is
    }
    return;
  }
  if (free_device) {
    const devices::DeviceRef ref = devices::RefOf(*free_device);
    const devices::ConnectResult result = devices::ConnectDevice(*free_bus, ref, options_.claim_notice);
    poll_count_ = 0;
    polling_ = false;
    if (result == devices::ConnectResult::kConnected) {
      if (wait_.IsShown()) SetReplyState(ReplyState::kConnected);
      return;
    }
    TraceLine(std::string("Request : the freed device could not be taken : ") +
              devices::ConnectResultName(result));
    if (options_.japanese)
      host_.ShowMessage(std::string(ui::Text("Japanese", ui::TextId::Msg_ConnectFailed)));
    if (wait_.IsShown()) SetReplyState(ReplyState::kFailed);
    return;
  }
  if (held_here) {
    // Taken by this PC meanwhile (another command): the request is answered.
    poll_count_ = 0;
    polling_ = false;
    if (wait_.IsShown()) SetReplyState(ReplyState::kConnected);
  }
  // Listed and held by another PC: wait for the next tick, without a limit.
}

void RequestPresenter::ReceiveRefusal() {
  // Any refusal ends this PC's own request; it is shown after 1 s.
  polling_ = false;
  refusal_pending_ = true;
  Arm();
}

void RequestPresenter::WaitDialogClose() {
  wait_.HideDialog();
  // Stops this side's uses of Timer_Request; a reply dialog still to be
  // shown keeps its tick.
  polling_ = false;
  refusal_pending_ = false;
  Arm();
  if (reply_state_ == ReplyState::kWaiting) {
    if (model::ServerNode* server = ServerWithBus(pending_server_ip_))
      bus::RequestDevice(*server->data->TcpBusHandle, pending_device_no_, kCodeWithdraw, "");
  }
  if (last_reply_refused_) host_.SetRequestEnabled(true);
  // After a withdrawal or a failed claim the device is still held by the
  // other PC: the selection refresh decides the commands again, so the user
  // can ask once more without first clicking the tree.
  if (reply_state_ == ReplyState::kFailed || reply_state_ == ReplyState::kWaiting) host_.RefreshSelection();
}

// ---- Holding side -----------------------------------------------------------------

void RequestPresenter::OnRequestToUse(std::span<const uint8_t> record, int length) {
  if (length < 0 || size_t(length) > record.size()) return;
  const auto event = bus::ParseEvent(record.first(size_t(length)));
  if (!event || event->code != bus::kEventRequestToUse) return;
  if (host_.Closing()) return;
  const std::string server_ip = bus::Ipv4Text(event->server_ip);
  const std::string asker_ip = bus::Ipv4Text(event->asker_ip);
  const std::string device_no = std::to_string(event->device_no);
  switch (event->command) {
    case kCodeAsk:
    case kCommandAskUnchecked:
      ReceiveRequest(event->command, server_ip, device_no, asker_ip, event->host_name);
      break;
    case kCodeRefuse:
      ReceiveRefusal();
      break;
    case kCodeWithdraw:
    case kCommandWithdrawToo:
      ReceiveWithdrawal(asker_ip);
      break;
    default:
      break;  // other commands are ignored
  }
}

void RequestPresenter::ReceiveRequest(int command, const std::string& server_ip, const std::string& device_no,
                                      const std::string& asker_ip, const std::string& host_name) {
  const model::ServerNode* server = nullptr;
  const model::DeviceData* device = nullptr;
  for (const auto& s : tree_.Servers()) {
    if (s->data->IpAddress != server_ip || !s->data->HasTcpBus()) continue;
    for (const auto& d : s->devices) {
      if (d.data->DeviceNo != device_no) continue;
      const bool held_here = !options_.computer_name.empty() && d.data->Owner == options_.computer_name;
      if (command == kCommandAskUnchecked || held_here) {
        server = s.get();
        device = d.data.get();
        break;
      }
    }
    if (device) break;
  }
  if (!device) {
    TraceLine("Request : no device " + device_no + " of " + server_ip + " to give; dropped");
    return;
  }
  list_.InsertFront({host_name, asker_ip, server->data->DisplayName, DeviceText(*device),
                     server->data->IpAddress, device->DeviceNo});
  if (reply_.IsShown()) return;  // the new entry waits in the list
  // The dialog shows the oldest entry: the one Accept keeps and answers.
  FillReplyDialog(list_.Last());
  show_reply_pending_ = true;
  if (timer_interval_ == kShowReplyIntervalMs) {  // restart the 500 ms
    timer_interval_ = 0;
    timer_.Stop();
  }
  Arm();
}

void RequestPresenter::FillReplyDialog(const RequestEntry& entry) {
  reply_.SetRequestInfo({entry.HostName + " (" + entry.RemoteIP + ")", entry.ServerText, entry.DeviceText});
  model::ServerNode* server = tree_.FindServerByIp(entry.ServerIP);
  reply_bus_ = server ? server->data->TcpBusHandle : nullptr;
  reply_device_no_ = entry.DeviceNo;
}

void RequestPresenter::ReceiveWithdrawal(const std::string& asker_ip) {
  const auto deleted = list_.DeleteFirstFrom(asker_ip);
  if (deleted && !deleted->was_last) return;  // not the shown one: the dialog stays
  if (reply_.IsShown()) CloseReplyByProgram();
  show_reply_pending_ = false;
  if (!list_.Empty()) {
    FillReplyDialog(list_.Last());
    reply_.ShowDialog();
  }
  Arm();
}

void RequestPresenter::Refuse(const RequestEntry& entry) {
  model::ServerNode* server = tree_.FindServerByIp(entry.ServerIP);
  if (!server || !server->data->HasTcpBus()) return;
  bus::RequestDevice(*server->data->TcpBusHandle, entry.DeviceNo, kCodeRefuse, entry.RemoteIP);
}

void RequestPresenter::RefuseAll() {
  while (!list_.Empty()) Refuse(list_.TakeFront());
}

void RequestPresenter::CloseReplyByProgram() {
  closed_by_program_ = true;
  reply_.HideDialog();
  ReplyFormClose();
}

void RequestPresenter::AcceptBtnClick() {
  while (list_.Count() > 1) Refuse(list_.TakeFront());
  bool released = false;
  if (reply_bus_) {
    bus::UnlockDevice(*reply_bus_, reply_device_no_, devices::kManualLockType, devices::kUnlockTime);
    released = bus::ReleaseDevice(*reply_bus_, reply_device_no_);
  }
  if (!released) {
    TraceLine("Request : release failed : " + reply_device_no_);
    if (options_.japanese)
      host_.ShowMessage(std::string(ui::Text("Japanese", ui::TextId::Msg_DisconnectFailed)));
  }
  list_.Clear();
  show_reply_pending_ = false;
  Arm();
  CloseReplyByProgram();
}

void RequestPresenter::RejectBtnClick() {
  RefuseAll();
  show_reply_pending_ = false;
  Arm();
  CloseReplyByProgram();
}

void RequestPresenter::ReplyFormClose() {
  if (closed_by_program_) {
    closed_by_program_ = false;
    return;
  }
  // The user closed the window by its close box: every asker is refused.
  reply_.HideDialog();
  RefuseAll();
  show_reply_pending_ = false;
  Arm();
}

}  // namespace vx::requests
