#include "devices/device_commands.h"

#include <cstdlib>

#include "platform/trace.h"
#include "ui/texts.h"

namespace vx::devices {

namespace {

uint16_t Hex16(const std::string& text) {
  return static_cast<uint16_t>(std::strtoul(text.c_str(), nullptr, 16));
}

bool IsPrinterOrMfp(const std::string& usb_class) {
  std::string upper = UpperAscii(usb_class);
  return upper == "PRINTER" || upper == "MFP";
}

}  // namespace

bool StorageGateRefuses(const model::ServerData& server, const model::DeviceData& device) {
  // The program this rule comes from compares the versions with the
  // system's locale-aware comparison; for texts of digits and dots that
  // orders like a plain comparison of the characters, which is used here
  // ("1.6" comes after "1.50", as the servers number their versions).
  const bool gate = server.ConfigdType != 1 || server.ConfigdVersion.compare(kStorageGateVersion) >= 0;
  return gate && IsMassStorage(device.Class) && server.StorageMode == 0;
}

DeviceRef RefOf(const model::DeviceData& device) {
  return DeviceRef{.device_no = device.DeviceNo,
                   .usb_class = device.Class,
                   .product = device.Product,
                   .vid = Hex16(device.Vid),
                   .pid = Hex16(device.Pid),
                   .serial = device.SerialNo,
                   .display_name = device.DisplayName};
}

DeviceCommands::DeviceCommands(DeviceCommandPorts ports, DeviceCommandOptions options,
                               model::SelectionCommands* others)
    : ports_(ports), options_(std::move(options)), others_(others) {}

void DeviceCommands::Bind(model::ServerList* list, std::function<void()> selection_refresh) {
  list_ = list;
  selection_refresh_ = std::move(selection_refresh);
}

std::optional<SelectedDevice> DeviceCommands::Selection() const {
  if (!list_) return std::nullopt;
  model::ServerTree& tree = list_->Tree();
  const model::NodeId selected = tree.Selected();
  model::ServerNode* server = tree.ServerOf(selected);
  if (!server || server->id == selected || !tree.FindDevice(selected)) return std::nullopt;
  return SelectedDevice{server->id, selected};
}

bool DeviceCommands::HeldByThisPc(const model::DeviceData& device) const {
  // An unknown computer name must not make every free device "ours".
  return !options_.this_pc.empty() && device.Owner == options_.this_pc;
}

// --- The selection refresh ---

void DeviceCommands::DisableAll() {
  for (DeviceCommand c : {DeviceCommand::kConnect, DeviceCommand::kDisconnect, DeviceCommand::kRequest})
    ports_.view.SetCommandEnabled(c, false);
  if (others_) others_->DisableAll();
}

void DeviceCommands::ServerSelected(const model::ServerData& server) {
  if (others_) others_->ServerSelected(server);
}

void DeviceCommands::Configure() {
  if (others_) others_->Configure();
}

void DeviceCommands::DeviceSelected(const model::ServerData& server, const model::DeviceData& device) {
  if (others_) others_->DeviceSelected(server, device);
  if (HeldByThisPc(device)) {
    ports_.view.SetCommandEnabled(DeviceCommand::kDisconnect, true);
    return;
  }
  ports_.view.SetCommandEnabled(DeviceCommand::kConnect, true);
  const bool dialog_shown = options_.request_dialog_shown && options_.request_dialog_shown();
  if (!device.Owner.empty() && device.LockType == kManualLockType && !dialog_shown)
    ports_.view.SetCommandEnabled(DeviceCommand::kRequest, true);
}

// --- Commands ---

void DeviceCommands::Action_ConnectExecute() {
  // A click that arrives while the tree is being refreshed (which pumps
  // messages) waits until the refresh has finished.
  if (list_) list_->RunOrDefer([this] { ConnectNow(); });
}

void DeviceCommands::Action_DisconnectExecute() {
  if (list_) list_->RunOrDefer([this] { DisconnectNow(); });
}

void DeviceCommands::Action_RequestExecute() {
  std::optional<SelectedDevice> selected = Selection();
  if (!selected) return;
  if (request_handler_)
    request_handler_(*selected);
  else
    TraceLine("Action_RequestExecute() : no request handler");
}

void DeviceCommands::ConnectNow() {
  std::optional<SelectedDevice> selected = Selection();
  if (!selected) return;
  model::ServerTree& tree = list_->Tree();
  const model::ServerData& server = *tree.FindServer(selected->server)->data;
  const model::DeviceData& device = *tree.FindDevice(selected->device)->data;
  if (!server.HasTcpBus()) return;
  ports_.view.SetCommandEnabled(DeviceCommand::kConnect, false);

  if (StorageGateRefuses(server, device)) {
    Show(ui::TextId::Msg_StorageServerMode);
    ports_.view.SetCommandEnabled(DeviceCommand::kConnect, true);
    return;
  }

  // Copies: the message boxes below and the settle wait pump messages, and
  // a refresh meanwhile may replace the records.
  std::shared_ptr<bus::DriverHandle> tcp_bus = server.TcpBusHandle;
  const DeviceRef ref = RefOf(device);
  const std::string mac = server.MacAddress, identity = device.Identity;

  model::EventFlags& flags = list_->Events();
  flags.device_list_suppressed = true;
  // A lock refused after the claim gives the claim back (ConnectDevice):
  // the device is free again rather than held without a lock.
  const ConnectResult result = ConnectDevice(*tcp_bus, ref, this);
  if (result != ConnectResult::kConnected) {
    ports_.view.SetCommandEnabled(DeviceCommand::kConnect, true);
    flags.device_list_suppressed = false;
    Show(ui::TextId::Msg_ConnectFailed);
    return;
  }
  if (IsPrinterOrMfp(ref.usb_class)) ports_.printer_queues.ResumeAfterConnect(mac, identity);
  SettleAndRefresh(selected->server);
}

void DeviceCommands::DisconnectNow() {
  std::optional<SelectedDevice> selected = Selection();
  if (!selected) return;
  model::ServerTree& tree = list_->Tree();
  const model::ServerData& server = *tree.FindServer(selected->server)->data;
  const model::DeviceData& device = *tree.FindDevice(selected->device)->data;
  if (!server.HasTcpBus()) return;
  ports_.view.SetCommandEnabled(DeviceCommand::kDisconnect, false);

  std::shared_ptr<bus::DriverHandle> tcp_bus = server.TcpBusHandle;
  const DeviceRef ref = RefOf(device);
  const std::string mac = server.MacAddress, identity = device.Identity;

  model::EventFlags& flags = list_->Events();
  // The flag belongs to the unlock and the release; it is set before the
  // ejection (which neither pumps messages nor lists devices) and cleared
  // again when the ejection stops the command.
  flags.device_list_suppressed = true;
  const DisconnectOutcome out = DisconnectDevice(*tcp_bus, ref, ports_.ejector, &ports_.viewer);
  switch (out.result) {
    case DisconnectResult::kEjectFailed:
      flags.device_list_suppressed = false;
      Show(ui::TextId::Msg_StorageInUse, DeviceMessageIcon::kError, true);
      ports_.view.SetCommandEnabled(DeviceCommand::kDisconnect, true);
      return;
    case DisconnectResult::kReleaseFailed:
      ports_.view.SetCommandEnabled(DeviceCommand::kDisconnect, true);
      flags.device_list_suppressed = false;
      Show(ui::TextId::Msg_DisconnectFailed);
      return;
    case DisconnectResult::kDisconnected:
      break;
  }
  if (IsPrinterOrMfp(ref.usb_class)) ports_.printer_queues.PauseAfterDisconnect(mac, identity);
  SettleAndRefresh(selected->server);
}

void DeviceCommands::SettleAndRefresh(model::NodeId server) {
  for (int round = 0; round < options_.settle_rounds; ++round) {
    ports_.pump.ProcessMessages();
    ports_.pump.Wait(options_.settle_pause);
    // The close sequence has run (or runs) meanwhile: the tree and the
    // buses are going; the flag stays as it is.
    if (Closing()) return;
  }
  // The server may have gone while the messages were processed.
  if (list_->Tree().FindServer(server)) list_->getDevList(server);
  if (selection_refresh_) selection_refresh_();
  list_->Events().device_list_suppressed = false;
}

void DeviceCommands::Show(ui::TextId text, DeviceMessageIcon icon, bool topmost) {
  ShowText(std::string(ui::Text("Japanese", text)), icon, topmost);
}

void DeviceCommands::ShowText(const std::string& text, DeviceMessageIcon icon, bool topmost) {
  if (!options_.japanese) return;
  ports_.view.ShowMessage(DeviceMessage{text, options_.title, icon, topmost});
}

void DeviceCommands::PortSetToPrinterServer() {
  ShowText(bus::kPrinterPortMessage, DeviceMessageIcon::kNone, false);
}

}  // namespace vx::devices
