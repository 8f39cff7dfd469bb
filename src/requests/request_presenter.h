// Sharing requests between PCs: every decision of both sides.
//
// Asking side: `Action_RequestExecute` sends a request (RequestDevice code 1)
// for the selected device held by another PC, shows the wait dialog
// `TRequestDlg` and polls the tree every 2 s; once the device is listed free
// it is claimed and locked as a manual connect. A refusal (event command 2)
// switches the wait dialog to "refused"; closing it while waiting withdraws
// the request (code 3).
//
// Holding side: request events (commands 1 and 4) for a device this PC holds
// join `RequestList`; the reply dialog `TRequestRecvDlg` shows the oldest.
// Accept refuses the others (code 2) and lets the device go (unlock,
// release); Reject and the close box refuse every entry; withdrawals
// (commands 3 and 5) take entries out.
//
// Both sides share one timer, `Timer_Request`, whose interval tells the
// purpose of its next tick: 500 ms shows the reply dialog, 1000 ms shows a
// refusal, 2000 ms polls. A purpose that is still pending when another one
// is set is not lost: the timer is armed for the most urgent one and goes on
// with the others after its tick. Main thread only.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include "busdriver/driver_channel.h"
#include "busdriver/operations.h"
#include "model/driver_events.h"
#include "model/server_data.h"
#include "model/server_tree.h"
#include "requests/request_list.h"

namespace vx::requests {

inline constexpr int kShowReplyIntervalMs = 500;
inline constexpr int kRefusalIntervalMs = 1000;
inline constexpr int kPollIntervalMs = 2000;
inline constexpr int kPollLimit = 50;

// Request codes of RequestDevice and commands of the request event.
inline constexpr int kCodeAsk = 1;
inline constexpr int kCodeRefuse = 2;
inline constexpr int kCodeWithdraw = 3;
inline constexpr int kCommandAskUnchecked = 4;  // taken without the holder check
inline constexpr int kCommandWithdrawToo = 5;   // handled like 3

// The wait dialog's reply state. 0 to 2 are the dialog's own states; 3 is
// ours: the device was let go but this PC could not take it.
enum class ReplyState : int { kWaiting = 0, kConnected = 1, kRefused = 2, kFailed = 3 };

// "Class - Manufacturer - Product", or "Manufacturer - Product" for class
// "UNKNOWN" (any case).
std::string DeviceText(const model::DeviceData& device);

// The three name lines of both dialogs (Label_RemotePC, Label_Server, Label_Device).
struct RequestInfo {
  std::string remote_user, server, device;
  friend bool operator==(const RequestInfo&, const RequestInfo&) = default;
};

enum class WaitTitle { kTitle, kTitleOK, kTitleReject };  // which title label shows
enum class WaitPicture { kAnimation, kOK, kNo };          // ReqAnimate, ReqOKImage, ReqNoImage
enum class WaitButton { kCancel, kClose };                // CancelBtn, CloseBtn

// What the wait dialog shows in one state, texts in the interface language.
struct WaitDialogLook {
  ReplyState state = ReplyState::kWaiting;
  std::string caption;  // Label_Wait's text or Label_Replied's
  WaitTitle title = WaitTitle::kTitle;
  std::string title_text;  // of the title label that shows
  WaitPicture picture = WaitPicture::kAnimation;
  WaitButton button = WaitButton::kCancel;
  std::string cancel_text, close_text;
  std::string remote_label, server_label, device_label;  // Label_RemotePCText, ...
  bool japanese = false;  // Shift-JIS fonts of size 10, title and name labels 25 high
};
WaitDialogLook LookOfWaitDialog(ReplyState state, bool japanese);

// The reply dialog's texts, applied once at creation.
struct ReplyDialogLook {
  std::string caption, title, question, accept_text, reject_text;
  std::string remote_label, server_label, device_label;
  bool japanese = false;
};
ReplyDialogLook LookOfReplyDialog(bool japanese);

// What both dialogs do for the presenter.
class RequestDialogView {
 public:
  virtual ~RequestDialogView() = default;
  virtual void SetRequestInfo(const RequestInfo& info) = 0;
  // Not modal, stays on top, centred on the main window.
  virtual void ShowDialog() = 0;
  // Hides it without calling back.
  virtual void HideDialog() = 0;
  virtual bool IsShown() const = 0;
};

// TRequestDlg.
class WaitDialogView : public RequestDialogView {
 public:
  // Shows the title, button, picture and caption of a state (SetReplyState).
  virtual void ShowLook(const WaitDialogLook& look) = 0;
};

// TRequestRecvDlg.
class ReplyDialogView : public RequestDialogView {
 public:
  virtual void ApplyLook(const ReplyDialogLook& look) = 0;
};

// Timer_Request. Start (re)starts it with an interval; its ticks go to
// RequestPresenter::Timer_RequestTimer.
class RequestTimer {
 public:
  virtual ~RequestTimer() = default;
  virtual void Start(int interval_ms) = 0;
  virtual void Stop() = 0;
};

// The main window around the requests.
class RequestHost {
 public:
  virtual ~RequestHost() = default;
  // SBtn_Request and MItem_Request (the action they share).
  virtual void SetRequestEnabled(bool enabled) = 0;
  // A message box with OK, captioned with the application title.
  virtual void ShowMessage(const std::string& text) = 0;
  // The main window is closing: the requests do nothing any more.
  virtual bool Closing() const = 0;
  // The selection refresh (which device commands are available).
  virtual void RefreshSelection() = 0;
  // A refresh of the tree is running (its waits let ticks in): a poll then
  // waits for the next tick.
  virtual bool TreeBusy() const = 0;
};

struct RequestPorts {
  model::ServerTree& tree;
  WaitDialogView& wait;
  ReplyDialogView& reply;
  RequestTimer& timer;
  RequestHost& host;
};

struct RequestOptions {
  bool japanese = false;
  std::string computer_name;  // this PC's; empty never matches an owner
  bus::ClaimNotice* claim_notice = nullptr;
};

class RequestPresenter final : public model::DeviceRequests {
 public:
  RequestPresenter(RequestPorts ports, RequestOptions options);

  // --- Asking side ---
  // "Request to Connect" for the selected device.
  void Action_RequestExecute();
  // CancelBtn, CloseBtn or the close box of the wait dialog.
  void WaitDialogClose();

  // --- Holding side ---
  void AcceptBtnClick();
  void RejectBtnClick();
  // The reply dialog's close box.
  void ReplyFormClose();

  // --- Both ---
  void Timer_RequestTimer();
  // A request event record (code 4) from the driver; `length` bytes at the
  // start of `record` count.
  void OnRequestToUse(std::span<const uint8_t> record, int length) override;

  // --- State (for the selection refresh and tests) ---
  bool WaitDialogShown() const { return wait_.IsShown(); }
  ReplyState GetReplyState() const { return reply_state_; }
  bool LastReplyRefused() const { return last_reply_refused_; }
  const std::string& PendingServerIP() const { return pending_server_ip_; }
  const std::string& PendingDeviceNo() const { return pending_device_no_; }
  int RequestPollCount() const { return poll_count_; }
  const RequestList& List() const { return list_; }
  const std::string& ReplyDeviceNo() const { return reply_device_no_; }
  const std::shared_ptr<bus::DriverHandle>& ReplyBusHandle() const { return reply_bus_; }
  // The interval the timer is armed with; 0 when it is stopped.
  int TimerInterval() const { return timer_interval_; }
  bool Polling() const { return polling_; }

 private:
  void SetReplyState(ReplyState state);
  void Poll();
  void ReceiveRequest(int command, const std::string& server_ip, const std::string& device_no,
                      const std::string& asker_ip, const std::string& host_name);
  void ReceiveWithdrawal(const std::string& asker_ip);
  void ReceiveRefusal();
  void FillReplyDialog(const RequestEntry& entry);
  void ShowReplyDialog();
  void Refuse(const RequestEntry& entry);
  void RefuseAll();
  void CloseReplyByProgram();
  // Arms the timer for the most urgent pending purpose, or stops it.
  void Arm();
  void StopAll();
  model::ServerNode* ServerWithBus(const std::string& ip);

  model::ServerTree& tree_;
  WaitDialogView& wait_;
  ReplyDialogView& reply_;
  RequestTimer& timer_;
  RequestHost& host_;
  RequestOptions options_;

  // Asking side.
  std::string pending_server_ip_, pending_device_no_;
  int poll_count_ = 0;
  ReplyState reply_state_ = ReplyState::kWaiting;
  bool last_reply_refused_ = false;

  // Holding side.
  RequestList list_;
  std::shared_ptr<bus::DriverHandle> reply_bus_;
  std::string reply_device_no_;
  bool closed_by_program_ = false;

  // Timer_Request's pending purposes.
  bool show_reply_pending_ = false;
  bool refusal_pending_ = false;
  bool polling_ = false;
  int timer_interval_ = 0;
};

}  // namespace vx::requests
