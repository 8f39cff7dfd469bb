// One TCP bus of the emulator: a connection to a server's device-sharing
// service (TCP 20005). Requests carry the driver's IOCTL records unchanged;
// the server answers with the last error and the output bytes, and notifies
// device-list changes and relayed requests on the same connection.
#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "busdriver/labchannel/frame.h"

namespace vx::busd {

class ServerLink : public std::enable_shared_from_this<ServerLink> {
 public:
  using Notify = std::function<void(const lab::Frame&)>;
  using Lost = std::function<void(ServerLink*)>;

  // Connects and introduces this PC by its computer name.
  static std::shared_ptr<ServerLink> Connect(const std::string& ip, uint16_t port, const std::string& pc_name,
                                             const std::string& source_ip, Notify notify, Lost lost,
                                             std::string* why);
  ~ServerLink();

  // One request; nullopt when the link is gone or no reply came in time.
  std::optional<lab::Frame> Call(uint32_t op, std::vector<uint8_t> payload,
                                 std::chrono::milliseconds timeout = std::chrono::seconds(5));
  // Ends the connection; the callbacks are not called any more.
  void Close();
  bool Alive();

 private:
  ServerLink(int fd, Notify notify, Lost lost);
  void ReadLoop();

  int fd_;
  Notify notify_;
  Lost lost_;
  std::recursive_mutex callback_mutex_;
  bool closed_ = false;
  std::mutex mutex_, send_mutex_;
  std::condition_variable cv_;
  struct Pending {
    bool done = false;
    lab::Frame reply;
  };
  std::map<uint32_t, Pending> pending_;
  uint32_t next_id_ = 0;
  bool dead_ = false;
};

}  // namespace vx::busd
