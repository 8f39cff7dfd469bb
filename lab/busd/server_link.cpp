#include "server_link.h"

#include <sys/socket.h>
#include <unistd.h>

#include <thread>

#include "common/lab_sockets.h"

namespace vx::busd {

ServerLink::ServerLink(int fd, Notify notify, Lost lost)
    : fd_(fd), notify_(std::move(notify)), lost_(std::move(lost)) {}

ServerLink::~ServerLink() { ::close(fd_); }

std::shared_ptr<ServerLink> ServerLink::Connect(const std::string& ip, uint16_t port,
                                                const std::string& pc_name, const std::string& source_ip,
                                                Notify notify, Lost lost, std::string* why) {
  int fd = lab::ConnectTcp(ip, port, 2000, why, source_ip);
  if (fd < 0) return nullptr;
  std::shared_ptr<ServerLink> link(new ServerLink(fd, std::move(notify), std::move(lost)));
  // The reader keeps the link alive until the connection ends.
  std::thread([self = link] { self->ReadLoop(); }).detach();
  auto hello = link->Call(lab::kOpHello, std::vector<uint8_t>(pc_name.begin(), pc_name.end()));
  if (!hello || hello->status != 0) {
    if (why) *why = "the server refused this PC";
    link->Close();
    return nullptr;
  }
  return link;
}

std::optional<lab::Frame> ServerLink::Call(uint32_t op, std::vector<uint8_t> payload,
                                           std::chrono::milliseconds timeout) {
  lab::Frame f;
  f.type = lab::FrameType::kRequest;
  f.op = op;
  f.payload = std::move(payload);
  std::unique_lock lock(mutex_);
  if (dead_) return std::nullopt;
  f.id = ++next_id_;
  pending_[f.id];
  lock.unlock();
  bool sent;
  {
    std::lock_guard s(send_mutex_);
    sent = lab::SendAllFd(fd_, lab::EncodeFrame(f));
  }
  lock.lock();
  if (sent) cv_.wait_for(lock, timeout, [&] { return pending_[f.id].done || dead_; });
  Pending p = std::move(pending_[f.id]);
  pending_.erase(f.id);
  if (!p.done) return std::nullopt;
  return std::move(p.reply);
}

void ServerLink::Close() {
  {
    std::lock_guard cb(callback_mutex_);
    closed_ = true;
  }
  ::shutdown(fd_, SHUT_RDWR);
}

bool ServerLink::Alive() {
  std::lock_guard lock(mutex_);
  return !dead_;
}

void ServerLink::ReadLoop() {
  lab::FrameDecoder decoder;
  uint8_t chunk[8192];
  for (;;) {
    ssize_t n = ::recv(fd_, chunk, sizeof chunk, 0);
    if (n <= 0) break;
    decoder.Feed(std::span<const uint8_t>(chunk, size_t(n)));
    while (auto f = decoder.Next()) {
      if (f->type == lab::FrameType::kReply) {
        std::lock_guard lock(mutex_);
        auto it = pending_.find(f->id);
        if (it != pending_.end()) {
          it->second.reply = std::move(*f);
          it->second.done = true;
        }
        cv_.notify_all();
      } else if (f->type == lab::FrameType::kNotify) {
        std::lock_guard cb(callback_mutex_);
        if (!closed_ && notify_) notify_(*f);
      }
    }
    if (decoder.Broken()) break;  // a server that speaks nonsense is treated as lost
  }
  {
    std::lock_guard lock(mutex_);
    dead_ = true;
    cv_.notify_all();
  }
  ::shutdown(fd_, SHUT_RDWR);
  std::lock_guard cb(callback_mutex_);
  if (!closed_ && lost_) lost_(this);
}

}  // namespace vx::busd
