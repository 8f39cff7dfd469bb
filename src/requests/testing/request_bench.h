// The requests' test bench: the model fixture's tree and scripted driver,
// fake dialogs, a Timer_Request fake on the shared fake clock and a fake
// main window, all wired to a RequestPresenter as the program wires them.
#pragma once

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "busdriver/records.h"
#include "model/testing/model_fixture.h"
#include "platform/net/network.h"
#include "requests/request_presenter.h"

namespace vx::requests::testing {

class FakeWaitDialog final : public WaitDialogView {
 public:
  RequestInfo info;
  std::vector<WaitDialogLook> looks;
  bool shown = false;
  int shows = 0;
  void SetRequestInfo(const RequestInfo& i) override { info = i; }
  void ShowDialog() override { shown = true, ++shows; }
  void HideDialog() override { shown = false; }
  bool IsShown() const override { return shown; }
  void ShowLook(const WaitDialogLook& look) override { looks.push_back(look); }
  const WaitDialogLook& Look() const { return looks.back(); }
};

class FakeReplyDialog final : public ReplyDialogView {
 public:
  RequestInfo info;
  ReplyDialogLook look;
  bool shown = false;
  int shows = 0, hides = 0;
  void SetRequestInfo(const RequestInfo& i) override { info = i; }
  void ShowDialog() override { shown = true, ++shows; }
  void HideDialog() override {
    if (shown) ++hides;
    shown = false;
  }
  bool IsShown() const override { return shown; }
  void ApplyLook(const ReplyDialogLook& l) override { look = l; }
};

// A periodic timer on the fake clock.
class FakeRequestTimer final : public RequestTimer {
 public:
  explicit FakeRequestTimer(vx::testing::FakeClock& clock) : clock_(clock) {}
  bool running = false;
  int interval = 0;
  Clock::TimePoint due{};
  std::vector<int> starts;  // every interval started, in order
  void Start(int ms) override {
    running = true;
    interval = ms;
    due = clock_.Now() + std::chrono::milliseconds(ms);
    starts.push_back(ms);
  }
  void Stop() override { running = false; }

 private:
  vx::testing::FakeClock& clock_;
};

class FakeRequestHost final : public RequestHost {
 public:
  bool request_enabled = true;
  std::vector<bool> request_enabled_log;
  std::vector<std::string> messages;
  bool closing = false;
  int refreshes = 0;
  bool tree_busy = false;
  void SetRequestEnabled(bool e) override { request_enabled = e, request_enabled_log.push_back(e); }
  void ShowMessage(const std::string& text) override { messages.push_back(text); }
  bool Closing() const override { return closing; }
  void RefreshSelection() override { ++refreshes; }
  bool TreeBusy() const override { return tree_busy; }
};

// One request-device call as the driver received it.
struct SentRequest {
  std::string server_ip;
  int device_no = 0;
  int code = 0;
  std::string ip;  // the asker's address; "0.0.0.0" for none
  friend bool operator==(const SentRequest&, const SentRequest&) = default;
};

inline constexpr const char* kThisPc = "PC-A";

struct RequestBench {
  // Server "uds1" 10.0.0.2 and "uds2" 10.0.0.3, both with a TCP bus.
  explicit RequestBench(bool japanese = false);

  model::testing::ModelFixture f;
  FakeWaitDialog wait;
  FakeReplyDialog reply;
  FakeRequestTimer timer{f.clock};
  FakeRequestHost host;
  std::unique_ptr<RequestPresenter> presenter;

  // Replaces the device list of a server and refreshes it into the tree.
  void Devices(const std::string& ip, std::vector<bus::DeviceEntry> devices);
  void Select(const std::string& ip, const std::string& device_no);
  // Lets `ms` of fake time pass, firing the timer at each due time.
  void Run(int ms);
  // Sends a request event record (code 4) to the presenter.
  void Event(int command, const std::string& server_ip, int device_no, const std::string& asker_ip,
             const std::string& host_name = "PC-X");
  // The TCP bus of a server as the scripted driver's handle.
  bus::testing::FakeHandle& Bus(const std::string& ip);
  // Every RequestDevice call on every bus, in order of the buses.
  std::vector<SentRequest> Sent();
  // The calls of one code on a server's bus.
  std::vector<bus::testing::RecordedCall> Calls(const std::string& ip, uint32_t code);
};

std::vector<uint8_t> RequestRecord(int command, const std::string& server_ip, int device_no,
                                   const std::string& asker_ip, const std::string& host_name);

}  // namespace vx::requests::testing
