#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "busdriver/labchannel/stream_socket.h"

namespace vx::lab {
namespace {

class PosixStream final : public StreamSocket {
 public:
  explicit PosixStream(int fd) : fd_(fd) {}
  ~PosixStream() override { ::close(fd_); }
  bool SendAll(std::span<const uint8_t> b) override {
    size_t done = 0;
    while (done < b.size()) {
      ssize_t n = ::send(fd_, b.data() + done, b.size() - done, MSG_NOSIGNAL);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) return false;
      done += size_t(n);
    }
    return true;
  }
  long Receive(std::span<uint8_t> into) override {
    for (;;) {
      ssize_t n = ::recv(fd_, into.data(), into.size(), 0);
      if (n < 0 && errno == EINTR) continue;
      return long(n);
    }
  }
  void Shutdown() override { ::shutdown(fd_, SHUT_RDWR); }

 private:
  int fd_;
};

}  // namespace

std::unique_ptr<StreamSocket> ConnectStream(const std::string& ipv4, uint16_t port, std::string* why) {
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(port);
  if (inet_pton(AF_INET, ipv4.c_str(), &a.sin_addr) != 1) {
    if (why) *why = "bad address " + ipv4;
    return nullptr;
  }
  int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) {
    if (why) *why = std::strerror(errno);
    return nullptr;
  }
  if (::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
    if (why) *why = "connect " + ipv4 + ":" + std::to_string(port) + ": " + std::strerror(errno);
    ::close(fd);
    return nullptr;
  }
  int one = 1;
  ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
  return std::make_unique<PosixStream>(fd);
}

}  // namespace vx::lab
