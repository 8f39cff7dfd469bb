#include "uds_control.h"

#include <arpa/inet.h>
#include <errno.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>

namespace vx::lab {
namespace {

constexpr size_t kMaxLine = 64 * 1024;
constexpr size_t kMaxClients = 32;

void SendAll(int fd, const std::string& text) {
  size_t sent = 0;
  while (sent < text.size()) {
    ssize_t n = send(fd, text.data() + sent, text.size() - sent, MSG_NOSIGNAL);
    if (n > 0) {
      sent += static_cast<size_t>(n);
      continue;
    }
    if (n < 0 && (errno == EAGAIN || errno == EINTR)) {
      pollfd p{fd, POLLOUT, 0};
      if (poll(&p, 1, 1000) <= 0) return;
      continue;
    }
    return;
  }
}

}  // namespace

ControlServer::~ControlServer() {
  for (auto& c : clients_) close(c.fd);
  if (listener_ >= 0) close(listener_);
  if (!path_.empty()) unlink(path_.c_str());
}

bool ControlServer::Open(const std::string& where, std::string* error) {
  const bool port =
      !where.empty() && std::all_of(where.begin(), where.end(), [](char c) { return c >= '0' && c <= '9'; });
  if (port) {
    listener_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    int on = 1;
    setsockopt(listener_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(static_cast<uint16_t>(std::stoi(where)));
    sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (bind(listener_, reinterpret_cast<sockaddr*>(&sa), sizeof sa) != 0) {
      *error = "cannot bind control port 127.0.0.1:" + where + ": " + std::strerror(errno);
      return false;
    }
  } else {
    sockaddr_un sa{};
    sa.sun_family = AF_UNIX;
    if (where.size() >= sizeof sa.sun_path) {
      *error = "control path too long";
      return false;
    }
    std::memcpy(sa.sun_path, where.c_str(), where.size() + 1);
    unlink(where.c_str());  // a stale socket of an earlier run
    listener_ = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (bind(listener_, reinterpret_cast<sockaddr*>(&sa), sizeof sa) != 0) {
      *error = "cannot bind control socket " + where + ": " + std::strerror(errno);
      return false;
    }
    path_ = where;
  }
  if (listen(listener_, 8) != 0) {
    *error = std::string("listen: ") + std::strerror(errno);
    return false;
  }
  fcntl(listener_, F_SETFL, fcntl(listener_, F_GETFL) | O_NONBLOCK);
  return true;
}

std::vector<pollfd> ControlServer::PollFds() const {
  std::vector<pollfd> fds;
  if (listener_ >= 0) fds.push_back(pollfd{listener_, POLLIN, 0});
  for (const auto& c : clients_) fds.push_back(pollfd{c.fd, POLLIN, 0});
  return fds;
}

void ControlServer::HandleReady(const std::vector<pollfd>& ready,
                                const std::function<std::string(const std::string&)>& execute) {
  for (const pollfd& p : ready) {
    if (!(p.revents & (POLLIN | POLLERR | POLLHUP))) continue;
    if (p.fd == listener_) {
      int fd = accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
      if (fd < 0) continue;
      if (clients_.size() >= kMaxClients) {
        close(fd);
        continue;
      }
      clients_.push_back(Client{fd, {}});
      continue;
    }
    auto it = std::find_if(clients_.begin(), clients_.end(), [&](const Client& c) { return c.fd == p.fd; });
    if (it == clients_.end()) continue;
    char chunk[4096];
    ssize_t n = recv(it->fd, chunk, sizeof chunk, 0);
    if (n < 0 && (errno == EAGAIN || errno == EINTR)) continue;
    bool drop = n <= 0;
    if (n > 0) it->buffer.append(chunk, static_cast<size_t>(n));
    for (size_t nl; !drop && (nl = it->buffer.find('\n')) != std::string::npos;) {
      std::string line = it->buffer.substr(0, nl);
      it->buffer.erase(0, nl + 1);
      SendAll(it->fd, execute(line) + "\n");
    }
    if (it->buffer.size() > kMaxLine) drop = true;
    if (drop) {
      close(it->fd);
      clients_.erase(it);
    }
  }
}

}  // namespace vx::lab
