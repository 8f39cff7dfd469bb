// `GetReadInfo`: the main-thread handler of the driver's event records. It
// refreshes one server's devices (device-list change), the server level
// (bus-list change), rebuilds the discovery sockets and finds the servers
// again (this PC's addresses changed), hands requests from other PCs on, and
// marks a server the driver lost.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <span>

#include "busdriver/read_thread.h"
#include "busdriver/records.h"
#include "model/tree_presenter.h"
#include "platform/clock.h"

namespace vx::model {

// Discovery as the address-change step needs it.
class DiscoveryControl {
 public:
  virtual ~DiscoveryControl() = default;
  // Suspends the listener and waits until it has let go of the sockets.
  virtual void SuspendListener() = 0;
  // Enumerates the adapters, closes every discovery socket and opens them on
  // port 7419 (ephemeral ports when another program holds it).
  virtual void ReopenSockets() = 0;
  virtual void ResumeListener() = 0;
  virtual void FindQuorinSend() = 0;  // the discovery request
};

// The sharing requests of other PCs (a request-to-use record, unchanged).
class DeviceRequests {
 public:
  virtual ~DeviceRequests() = default;
  virtual void OnRequestToUse(std::span<const uint8_t> record, int length) = 0;
};

// Until the request handling exists: the record is only traced.
class RequestsNotBuilt final : public DeviceRequests {
 public:
  void OnRequestToUse(std::span<const uint8_t>, int) override {}
};

// When the bus list last changed (a handled bus-list event); none at start.
struct BusListQuiet {
  std::optional<Clock::TimePoint> last_event;
};

struct DriverEventPorts {
  ServerList& list;
  TreePresenter& presenter;
  DiscoveryControl& discovery;
  DeviceRequests& requests;
  Clock& clock;
  BusListQuiet& quiet;
  std::function<bool()> closing;  // the main window is closing
};

class DriverEvents final : public bus::ReadInfoHandler {
 public:
  explicit DriverEvents(DriverEventPorts ports);

  // The hand-over of the event reader: one record of `length` bytes at the
  // start of `record`. Never throws.
  void GetReadInfo(std::span<const uint8_t> record, int length) override;

 private:
  void Handle(const bus::EventRecord& e, std::span<const uint8_t> record, int length);
  void DeviceListChanged(const std::string& ip);
  void BusListChanged();
  void AddressChanged();
  void RequestToUse(const bus::EventRecord& e, std::span<const uint8_t> record, int length);
  void ErrorEvent(const bus::EventRecord& e);

  ServerList& list_;
  ServerTree& tree_;
  TreePresenter& presenter_;
  DiscoveryControl& discovery_;
  DeviceRequests& requests_;
  Clock& clock_;
  BusListQuiet& quiet_;
  std::function<bool()> closing_;
};

// `Timer_MBusUpdate` (500 ms): the first refresh of the server list once the
// bus list has been quiet for three seconds, with the searching caption
// meanwhile (Japanese).
class MBusUpdateHost {
 public:
  virtual ~MBusUpdateHost() = default;
  virtual void SetCaption(const std::string& text) = 0;
  virtual void StopMBusUpdateTimer() = 0;
  virtual void SetFindServerEnabled(bool enabled) = 0;  // SBtn_FindServer
  // The auto-connect start-up pass: the print watchers of the printers,
  // then of the faxes.
  virtual void StartAutoConnectWatchers() = 0;
};

inline constexpr int kMBusUpdateIntervalMs = 500;

class MBusUpdate {
 public:
  MBusUpdate(ServerList& list, MBusUpdateHost& host, Clock& clock, BusListQuiet& quiet);
  // The application title the caption returns to.
  void SetTitle(const std::string& title) { title_ = title; }
  void Timer_MBusUpdateTimer();
  bool Finished() const { return finished_; }

 private:
  ServerList& list_;
  MBusUpdateHost& host_;
  Clock& clock_;
  BusListQuiet& quiet_;
  std::string title_;
  bool slash_ = false;
  bool finished_ = false;
  bool watchers_started_ = false;
};

}  // namespace vx::model
