// `RequestList`: the requests of other PCs that wait for an answer from this
// PC, as a queue. New entries go to the front; the reply dialog shows the
// last entry (the oldest). A plain model: the reply dialog only mirrors it.
#pragma once

#include <cstddef>
#include <deque>
#include <optional>
#include <string>

namespace vx::requests {

struct RequestEntry {
  std::string HostName;    // the asker's host name (the entry's caption)
  std::string RemoteIP;    // the asker's address, dotted text
  std::string ServerText;  // the server's DisplayName
  std::string DeviceText;  // see DeviceText() in request_presenter.h
  std::string ServerIP;    // the server's IpAddress
  std::string DeviceNo;    // the device's DeviceNo
  friend bool operator==(const RequestEntry&, const RequestEntry&) = default;
};

class RequestList {
 public:
  size_t Count() const { return entries_.size(); }
  bool Empty() const { return entries_.empty(); }
  const RequestEntry& Front() const { return entries_.front(); }
  const RequestEntry& Last() const { return entries_.back(); }
  const RequestEntry& At(size_t index) const { return entries_.at(index); }

  void InsertFront(RequestEntry entry) { entries_.push_front(std::move(entry)); }
  RequestEntry TakeFront();  // the list must not be empty
  void Clear() { entries_.clear(); }

  struct Deleted {
    RequestEntry entry;
    bool was_last = false;  // it was the last entry (the one the dialog shows)
  };
  // Deletes the first entry (from the front) whose RemoteIP is `remote_ip`.
  std::optional<Deleted> DeleteFirstFrom(const std::string& remote_ip);

 private:
  std::deque<RequestEntry> entries_;
};

}  // namespace vx::requests
