#include "requests/win32/request_facet.h"

#include "platform/trace.h"

namespace vx::requests::win32 {

RequestFacet::RequestFacet(RequestFacetArgs args) : args_(std::move(args)) {
  presenter_ = std::make_unique<RequestPresenter>(
      RequestPorts{*args_.tree, *args_.wait, *args_.reply, static_cast<RequestTimer&>(*this),
                   static_cast<RequestHost&>(*this)},
      RequestOptions{.japanese = args_.japanese, .computer_name = args_.computer_name});
  RequestPresenter* presenter = presenter_.get();
  timer_request_.SetHandler([presenter] { presenter->Timer_RequestTimer(); });
  args_.wait->OnClose([presenter] { presenter->WaitDialogClose(); });
  args_.reply->SetHandlers({.accept = [presenter] { presenter->AcceptBtnClick(); },
                            .reject = [presenter] { presenter->RejectBtnClick(); },
                            .close_box = [presenter] { presenter->ReplyFormClose(); }});
}

RequestFacet::~RequestFacet() {
  timer_request_.SetEnabled(false);
  args_.wait->OnClose(nullptr);
  args_.reply->SetHandlers({});
}

void RequestFacet::SetRequestEnabled(bool enabled) {
  if (args_.set_request_enabled) args_.set_request_enabled(enabled);
}

void RequestFacet::ShowMessage(const std::string& text) {
  if (args_.show_message)
    args_.show_message(text);
  else
    TraceLine("Request : " + text);
}

bool RequestFacet::Closing() const { return args_.closing && args_.closing(); }

void RequestFacet::RefreshSelection() {
  if (args_.refresh_selection) args_.refresh_selection();
}

bool RequestFacet::TreeBusy() const { return args_.tree_busy && args_.tree_busy(); }

void RequestFacet::Start(int interval_ms) {
  timer_request_.SetEnabled(false);
  timer_request_.SetInterval(unsigned(interval_ms));
  timer_request_.SetEnabled(true);
}

void RequestFacet::Stop() { timer_request_.SetEnabled(false); }

}  // namespace vx::requests::win32
