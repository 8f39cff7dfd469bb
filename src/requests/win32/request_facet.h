// The sharing requests as vessix.exe composes them: the presenter over the
// server tree, the two dialogs (created by the composition root in their
// place of the creation order) and `Timer_Request`, a kit timer of the main
// window's thread. The main window hands in its Request action and a few
// callbacks; the tree's driver events reach the presenter through Requests().
#pragma once

#if !defined(_WIN32)
#error "Windows only"
#endif

#include <functional>
#include <memory>
#include <string>

#include "model/driver_events.h"
#include "model/server_tree.h"
#include "requests/request_presenter.h"
#include "requests/win32/request_dlg.h"
#include "requests/win32/request_recv_dlg.h"
#include "winui/timer.h"

namespace vx::requests::win32 {

struct RequestFacetArgs {
  model::ServerTree* tree = nullptr;
  RequestDlg* wait = nullptr;       // TRequestDlg
  RequestRecvDlg* reply = nullptr;  // TRequestRecvDlg
  bool japanese = false;
  std::string computer_name;
  // --- The main window around the requests ---
  std::function<void(bool)> set_request_enabled;         // SBtn_Request / MItem_Request
  std::function<void(const std::string&)> show_message;  // OK box captioned with the title
  std::function<bool()> closing;                         // the main window is closing
  std::function<void()> refresh_selection;               // Action_UDSClickExecute
  std::function<bool()> tree_busy;                       // a tree refresh is running
};

class RequestFacet final : private RequestHost, private RequestTimer {
 public:
  explicit RequestFacet(RequestFacetArgs args);
  ~RequestFacet() override;
  RequestFacet(const RequestFacet&) = delete;
  RequestFacet& operator=(const RequestFacet&) = delete;

  // The driver's request events (the tree facet hands them on).
  model::DeviceRequests& Requests() { return *presenter_; }
  RequestPresenter& Presenter() { return *presenter_; }
  void Action_RequestExecute() { presenter_->Action_RequestExecute(); }
  // The wait dialog shows (the Request command is then unavailable).
  bool WaitDialogShown() const { return presenter_->WaitDialogShown(); }

 private:
  // RequestHost
  void SetRequestEnabled(bool enabled) override;
  void ShowMessage(const std::string& text) override;
  bool Closing() const override;
  void RefreshSelection() override;
  bool TreeBusy() const override;
  // RequestTimer (Timer_Request)
  void Start(int interval_ms) override;
  void Stop() override;

  RequestFacetArgs args_;
  winui::Timer timer_request_;
  std::unique_ptr<RequestPresenter> presenter_;
};

}  // namespace vx::requests::win32
