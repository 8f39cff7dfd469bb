// The device commands of the main window: `Action_ConnectExecute`,
// `Action_DisconnectExecute`, the `Action_RequestExecute` seam, and the device
// branch of the selection refresh (which of Connect, Disconnect and Request
// the selected device allows). The presenter works on the server tree (the
// selected node is the device, its parent the server) and on the device
// operations of device_ops.h; what the window shows goes through
// DeviceCommandView. Main thread only.
//
// Layering: vx_devices knows nothing of the tree (vessix-cli uses it alone);
// this presenter is a library of its own (vx_device_commands) above both
// vx_devices and vx_model.
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "busdriver/operations.h"
#include "devices/device_ops.h"
#include "model/server_list.h"
#include "model/tree_presenter.h"
#include "platform/clock.h"
#include "platform/main_thread.h"
#include "ui/text_id.h"

namespace vx::devices {

// The commands of the device branch. Each stands for its tool button
// (SBtn_*), its action and its pop-up menu item (MItem_*): the window enables
// them together.
enum class DeviceCommand { kConnect, kDisconnect, kRequest };

enum class DeviceMessageIcon { kNone, kError };
struct DeviceMessage {
  std::string text;
  std::string caption;  // the application title
  DeviceMessageIcon icon = DeviceMessageIcon::kNone;
  bool topmost = false;
};

// The main window's side of the device commands.
class DeviceCommandView {
 public:
  virtual ~DeviceCommandView() = default;
  virtual void SetCommandEnabled(DeviceCommand command, bool enabled) = 0;
  // A modal message box with an OK button.
  virtual void ShowMessage(const DeviceMessage& message) = 0;
};

// The settle wait between a driver operation and the device-list refresh
// keeps the window alive: pending messages are processed before each pause,
// and the pause itself keeps serving messages on Windows.
class SettlePump {
 public:
  virtual ~SettlePump() = default;
  virtual void ProcessMessages() = 0;
  virtual void Wait(Clock::Duration pause) = 0;
};

// A SettlePump over the main thread's pump and a clock (native programs and
// tests: the pause does not serve messages).
class ClockSettlePump final : public SettlePump {
 public:
  ClockSettlePump(MainThread& main, Clock& clock) : main_(main), clock_(clock) {}
  void ProcessMessages() override { main_.ProcessMessages(); }
  void Wait(Clock::Duration pause) override { clock_.SleepFor(pause); }

 private:
  MainThread& main_;
  Clock& clock_;
};

// The Windows print queue of an auto-connect printer entry: a manual connect
// of a printer or multifunction device puts its queue online and resumes it,
// a manual disconnect puts it online and pauses it. The entry is looked up
// by the server's MAC address and the device's identity; a device without
// an entry leaves every queue alone. The print watcher fills this in.
class AutoConnectPrinterQueues {
 public:
  virtual ~AutoConnectPrinterQueues() = default;
  virtual void ResumeAfterConnect(const std::string& server_mac, const std::string& identity) = 0;
  virtual void PauseAfterDisconnect(const std::string& server_mac, const std::string& identity) = 0;
};

// Until the print watcher exists: no entries, no queue is touched.
class NoAutoConnectPrinterQueues final : public AutoConnectPrinterQueues {
 public:
  void ResumeAfterConnect(const std::string&, const std::string&) override {}
  void PauseAfterDisconnect(const std::string&, const std::string&) override {}
};

inline constexpr int kSettleRounds = 10;
inline constexpr Clock::Duration kSettlePause{200};
// The configuration service version from which a server refuses to lend its
// storage while it shares the storage itself (server mode).
inline constexpr const char* kStorageGateVersion = "1.50";

// True when the server keeps its storage in server mode for this device: a
// mass-storage device on a server whose storage mode is 0 and whose
// configuration service has the gate (type 1 from version "1.50", compared
// as text; types 0 and 2 always).
bool StorageGateRefuses(const model::ServerData& server, const model::DeviceData& device);

// The DeviceRef of a device record (ids parsed as hexadecimal).
DeviceRef RefOf(const model::DeviceData& device);

struct DeviceCommandPorts {
  DeviceCommandView& view;
  SettlePump& pump;
  Ejector& ejector;
  ViewerCloser& viewer;
  AutoConnectPrinterQueues& printer_queues;
};

struct DeviceCommandOptions {
  std::string this_pc;            // this PC's computer name: the owner of what it holds
  bool japanese = false;          // message boxes appear only in the Japanese interface
  std::string title;              // the caption of every message box
  std::function<bool()> closing;  // the main window is closing: the settle wait ends
  // Whether the request wait dialog is shown (Request is then unavailable).
  std::function<bool()> request_dialog_shown;
  int settle_rounds = kSettleRounds;
  Clock::Duration settle_pause = kSettlePause;
};

// The selected device and its server, by node.
struct SelectedDevice {
  model::NodeId server = model::kNoNode;
  model::NodeId device = model::kNoNode;
};

class DeviceCommands final : public model::SelectionCommands, private bus::ClaimNotice {
 public:
  // `others` gets the server branch, the double click's Configure and every
  // DisableAll as well (the server commands); null: none.
  DeviceCommands(DeviceCommandPorts ports, DeviceCommandOptions options,
                 model::SelectionCommands* others = nullptr);

  // The tree the commands act on and the selection refresh they run at the
  // end. Until bound, the commands do nothing.
  void Bind(model::ServerList* list, std::function<void()> selection_refresh);

  void Action_ConnectExecute();
  void Action_DisconnectExecute();
  // The Request command: runs the handler the requests subsystem sets; does
  // nothing until one is set.
  void Action_RequestExecute();
  void SetRequestHandler(std::function<void(const SelectedDevice&)> handler) {
    request_handler_ = std::move(handler);
  }

  // The selected node when it is a device; nullopt otherwise.
  std::optional<SelectedDevice> Selection() const;
  // A device is held by this PC when its owner is this PC's (non-empty) name.
  bool HeldByThisPc(const model::DeviceData& device) const;

  // --- SelectionCommands ---
  void DisableAll() override;
  void ServerSelected(const model::ServerData& server) override;
  void DeviceSelected(const model::ServerData& server, const model::DeviceData& device) override;
  void Configure() override;

 private:
  void ConnectNow();
  void DisconnectNow();
  // The settle wait, then the refresh of the server's device list and the
  // selection refresh; the suppression flag is cleared at the end. Returns
  // at once, touching nothing, when the program starts closing meanwhile.
  void SettleAndRefresh(model::NodeId server);
  void Show(ui::TextId text, DeviceMessageIcon icon = DeviceMessageIcon::kNone, bool topmost = false);
  void ShowText(const std::string& text, DeviceMessageIcon icon, bool topmost);
  bool Closing() const { return options_.closing && options_.closing(); }
  // ClaimNotice: the claim was refused because the server's port serves printing.
  void PortSetToPrinterServer() override;

  DeviceCommandPorts ports_;
  DeviceCommandOptions options_;
  model::SelectionCommands* others_;
  model::ServerList* list_ = nullptr;
  std::function<void()> selection_refresh_;
  std::function<void(const SelectedDevice&)> request_handler_;
};

}  // namespace vx::devices
