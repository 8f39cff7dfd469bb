#include "requests/request_list.h"

#include <iterator>

namespace vx::requests {

RequestEntry RequestList::TakeFront() {
  RequestEntry entry = std::move(entries_.front());
  entries_.pop_front();
  return entry;
}

std::optional<RequestList::Deleted> RequestList::DeleteFirstFrom(const std::string& remote_ip) {
  for (auto it = entries_.begin(); it != entries_.end(); ++it) {
    if (it->RemoteIP != remote_ip) continue;
    Deleted deleted{std::move(*it), std::next(it) == entries_.end()};
    entries_.erase(it);
    return deleted;
  }
  return std::nullopt;
}

}  // namespace vx::requests
