#include "common/lab_sockets.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace vx::lab {
namespace {

bool ToAddr(const std::string& ip, uint16_t port, sockaddr_in* a) {
  *a = sockaddr_in{};
  a->sin_family = AF_INET;
  a->sin_port = htons(port);
  return inet_pton(AF_INET, ip.c_str(), &a->sin_addr) == 1;
}

void Tune(int fd) {
  int one = 1;
  setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
  timeval tv{1, 0};
  setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &tv, sizeof tv);
}

}  // namespace

int ListenTcp(const std::string& ip, uint16_t port, uint16_t* bound_port, std::string* why) {
  sockaddr_in a;
  if (!ToAddr(ip, port, &a)) {
    if (why) *why = "bad address " + ip;
    return -1;
  }
  int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  int one = 1;
  setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  if (fd < 0 || bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || listen(fd, 16) != 0) {
    if (why) *why = "listen " + ip + ":" + std::to_string(port) + ": " + std::strerror(errno);
    if (fd >= 0) close(fd);
    return -1;
  }
  socklen_t len = sizeof a;
  getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
  if (bound_port) *bound_port = ntohs(a.sin_port);
  return fd;
}

int ConnectTcp(const std::string& ip, uint16_t port, int timeout_ms, std::string* why,
               const std::string& source_ip) {
  sockaddr_in a;
  if (!ToAddr(ip, port, &a)) {
    if (why) *why = "bad address " + ip;
    return -1;
  }
  int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (fd < 0) return -1;
  sockaddr_in src;
  if (!source_ip.empty() &&
      (!ToAddr(source_ip, 0, &src) || bind(fd, reinterpret_cast<sockaddr*>(&src), sizeof src) != 0)) {
    if (why) *why = "bind " + source_ip + ": " + std::strerror(errno);
    close(fd);
    return -1;
  }
  int rc = connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
  if (rc != 0 && errno == EINPROGRESS) {
    pollfd p{fd, POLLOUT, 0};
    rc = poll(&p, 1, timeout_ms) == 1 ? 0 : -1;
    int err = 0;
    socklen_t len = sizeof err;
    if (rc == 0 && (getsockopt(fd, SOL_SOCKET, SO_ERROR, &err, &len) != 0 || err != 0)) {
      errno = err;
      rc = -1;
    } else if (rc != 0) {
      errno = ETIMEDOUT;
    }
  }
  if (rc != 0) {
    if (why) *why = "connect " + ip + ":" + std::to_string(port) + ": " + std::strerror(errno);
    close(fd);
    return -1;
  }
  fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  Tune(fd);
  return fd;
}

bool SendAllFd(int fd, std::span<const uint8_t> b) {
  size_t done = 0;
  while (done < b.size()) {
    ssize_t n = send(fd, b.data() + done, b.size() - done, MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += size_t(n);
  }
  return true;
}

uint32_t PeerIpv4(int fd) {
  sockaddr_in a{};
  socklen_t len = sizeof a;
  if (getpeername(fd, reinterpret_cast<sockaddr*>(&a), &len) != 0 || a.sin_family != AF_INET) return 0;
  return a.sin_addr.s_addr;
}

uint32_t LocalIpv4(int fd) {
  sockaddr_in a{};
  socklen_t len = sizeof a;
  if (getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len) != 0 || a.sin_family != AF_INET) return 0;
  return a.sin_addr.s_addr;
}

}  // namespace vx::lab
