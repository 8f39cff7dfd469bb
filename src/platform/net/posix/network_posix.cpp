// The native network adapter: POSIX sockets, getifaddrs and /proc/net/udp.
// Used by the lab, the native tests and the native command-line tool.
#include <arpa/inet.h>
#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <ifaddrs.h>
#include <linux/if_packet.h>
#include <net/if.h>
#include <net/if_arp.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <string.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <map>
#include <sstream>

#include "platform/net/network.h"
#include "platform/net/proc_net_udp.h"

namespace vx::net {
namespace {

NetError ErrorFrom(int err) {
  NetError e;
  e.code = err;
  e.timed_out = (err == EAGAIN || err == EWOULDBLOCK || err == ETIMEDOUT);
  const char* name = strerrorname_np(err);
  e.name = name ? name : "E" + std::to_string(err);
  return e;
}

NetError LastError() { return ErrorFrom(errno); }

sockaddr_in ToSockaddr(const Endpoint& ep) {
  sockaddr_in sa{};
  sa.sin_family = AF_INET;
  sa.sin_port = htons(ep.port);
  std::memcpy(&sa.sin_addr, ep.address.bytes.data(), 4);
  return sa;
}

Endpoint FromSockaddr(const sockaddr_in& sa) {
  Endpoint ep;
  std::memcpy(ep.address.bytes.data(), &sa.sin_addr, 4);
  ep.port = ntohs(sa.sin_port);
  return ep;
}

// Handle value 0 means "no socket" to our callers, so a socket that lands on
// descriptor 0 (stdin closed) is moved up.
int NonZeroFd(int fd) {
  if (fd != 0) return fd;
  int moved = fcntl(fd, F_DUPFD_CLOEXEC, 1);
  close(fd);
  return moved;
}

std::optional<Endpoint> LocalOf(int fd) {
  sockaddr_in sa{};
  socklen_t len = sizeof sa;
  if (getsockname(fd, reinterpret_cast<sockaddr*>(&sa), &len) != 0 || sa.sin_family != AF_INET)
    return std::nullopt;
  return FromSockaddr(sa);
}

NetError SetTimeout(int fd, Millis timeout) {
  timeval tv{};
  tv.tv_sec = static_cast<time_t>(timeout.count() / 1000);
  tv.tv_usec = static_cast<suseconds_t>((timeout.count() % 1000) * 1000);
  if (setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv) != 0) return LastError();
  return {};
}

NetError SetIntOption(int fd, int level, int name, int value) {
  if (setsockopt(fd, level, name, &value, sizeof value) != 0) return LastError();
  return {};
}

int PollMillis(Millis timeout) {
  return static_cast<int>(std::clamp<int64_t>(timeout.count(), 0, 24 * 3600 * 1000));
}

std::string RefusalText() {
  if (InLabNetworkNamespace()) return {};
  return "refusing to broadcast outside a lab network namespace (start the lab with lab/net/vx-lab.sh up "
         "and run inside it: ip netns exec vxpc1 ...)";
}

class PosixUdp final : public UdpSocket {
 public:
  PosixUdp(int fd, const std::string* refusal) : fd_(fd), refusal_(refusal) {}
  ~PosixUdp() override { close(fd_); }
  uint64_t Handle() const override { return static_cast<uint64_t>(fd_); }
  NetError EnableBroadcast() override {
    if (!refusal_->empty()) return NetError{EPERM, false, "EPERM (" + *refusal_ + ")"};
    return SetIntOption(fd_, SOL_SOCKET, SO_BROADCAST, 1);
  }
  NetError EnableDebug() override {
    // SO_DEBUG needs CAP_NET_ADMIN here and changes nothing for UDP; the
    // result is not checked by callers either.
    SetIntOption(fd_, SOL_SOCKET, SO_DEBUG, 1);
    return {};
  }
  NetError SetReceiveTimeout(Millis timeout) override { return SetTimeout(fd_, timeout); }
  NetError Bind(const BindTarget& target) override {
    Endpoint local = target.local;
    if (!target.device.empty()) {
      // The Windows meaning of "bound to the adapter's address": the socket
      // also gets the broadcasts arriving on that adapter. Tie the socket to
      // the interface and bind the port on any address.
      if (setsockopt(fd_, SOL_SOCKET, SO_BINDTODEVICE, target.device.c_str(),
                     static_cast<socklen_t>(target.device.size())) != 0)
        return LastError();
      local.address = Ipv4::Any();
    }
    sockaddr_in sa = ToSockaddr(local);
    if (bind(fd_, reinterpret_cast<sockaddr*>(&sa), sizeof sa) != 0) return LastError();
    return {};
  }
  std::optional<Endpoint> LocalEndpoint() const override { return LocalOf(fd_); }
  NetError SendTo(std::span<const uint8_t> bytes, const Endpoint& to) override {
    if (to.address == Ipv4::Broadcast() && !refusal_->empty())
      return NetError{EPERM, false, "EPERM (" + *refusal_ + ")"};
    sockaddr_in sa = ToSockaddr(to);
    ssize_t n =
        sendto(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL, reinterpret_cast<sockaddr*>(&sa), sizeof sa);
    if (n < 0) return LastError();
    return {};
  }
  NetResult<Datagram> ReceiveFrom(std::span<uint8_t> buffer) override {
    NetResult<Datagram> r;
    sockaddr_in sa{};
    socklen_t len = sizeof sa;
    ssize_t n =
        recvfrom(fd_, buffer.data(), buffer.size(), MSG_TRUNC, reinterpret_cast<sockaddr*>(&sa), &len);
    if (n < 0) {
      r.error = LastError();
      return r;
    }
    if (static_cast<size_t>(n) > buffer.size()) {
      r.error = ErrorFrom(EMSGSIZE);
      return r;
    }
    r.value.length = static_cast<size_t>(n);
    r.value.from = FromSockaddr(sa);
    return r;
  }

 private:
  int fd_;
  const std::string* refusal_;
};

class PosixTcp final : public TcpStream {
 public:
  explicit PosixTcp(int fd) : fd_(fd) {}
  ~PosixTcp() override { close(fd_); }
  uint64_t Handle() const override { return static_cast<uint64_t>(fd_); }
  NetError SetReceiveTimeout(Millis timeout) override { return SetTimeout(fd_, timeout); }
  NetError SetNoDelay(bool on) override { return SetIntOption(fd_, IPPROTO_TCP, TCP_NODELAY, on ? 1 : 0); }
  NetError Send(std::span<const uint8_t> bytes) override {
    size_t sent = 0;
    while (sent < bytes.size()) {
      ssize_t n = send(fd_, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
      if (n < 0) {
        if (errno == EINTR) continue;
        return LastError();
      }
      sent += static_cast<size_t>(n);
    }
    return {};
  }
  NetResult<size_t> Receive(std::span<uint8_t> buffer) override {
    NetResult<size_t> r;
    ssize_t n;
    do n = recv(fd_, buffer.data(), buffer.size(), 0);
    while (n < 0 && errno == EINTR);
    if (n < 0)
      r.error = LastError();
    else
      r.value = static_cast<size_t>(n);
    return r;
  }
  void Shutdown() override { shutdown(fd_, SHUT_RDWR); }
  std::optional<Endpoint> PeerEndpoint() const override {
    sockaddr_in sa{};
    socklen_t len = sizeof sa;
    if (getpeername(fd_, reinterpret_cast<sockaddr*>(&sa), &len) != 0) return std::nullopt;
    return FromSockaddr(sa);
  }

 private:
  int fd_;
};

class PosixListener final : public TcpListener {
 public:
  explicit PosixListener(int fd) : fd_(fd) {}
  ~PosixListener() override { close(fd_); }
  uint64_t Handle() const override { return static_cast<uint64_t>(fd_); }
  NetResult<std::unique_ptr<TcpStream>> Accept(Millis timeout) override {
    NetResult<std::unique_ptr<TcpStream>> r;
    pollfd p{fd_, POLLIN, 0};
    int ready = poll(&p, 1, PollMillis(timeout));
    if (ready < 0) {
      r.error = LastError();
      return r;
    }
    if (ready == 0) {
      r.error = ErrorFrom(ETIMEDOUT);
      return r;
    }
    int fd = accept4(fd_, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0) {
      r.error = LastError();
      return r;
    }
    r.value = std::make_unique<PosixTcp>(NonZeroFd(fd));
    return r;
  }
  std::optional<Endpoint> LocalEndpoint() const override { return LocalOf(fd_); }

 private:
  int fd_;
};

std::string ReadFile(const std::string& path, bool* ok) {
  std::ifstream in(path, std::ios::binary);
  *ok = static_cast<bool>(in);
  std::ostringstream text;
  if (in) text << in.rdbuf();
  return text.str();
}

uint32_t TypeFromHardware(const std::string& name, unsigned short hatype) {
  switch (hatype) {
    case ARPHRD_ETHER: {
      // Wireless adapters have a "wireless" folder in sysfs.
      struct stat st {};
      if (stat(("/sys/class/net/" + name + "/wireless").c_str(), &st) == 0) return 71;
      return 6;
    }
    case ARPHRD_LOOPBACK:
      return 24;
    case ARPHRD_PPP:
      return 23;
    case ARPHRD_SLIP:
    case ARPHRD_CSLIP:
      return 28;
    case ARPHRD_FDDI:
      return 15;
    case ARPHRD_IEEE802_TR:
      return 9;
    default:
      return 1;
  }
}

struct Interface {
  unsigned index = 0;
  uint32_t type = 1;
  std::vector<uint8_t> address;
  std::optional<Ipv4> first_ip;
  bool running = false;
};

// Every interface of this network namespace, in index order.
std::vector<std::pair<std::string, Interface>> ListInterfaces(bool* ok) {
  ifaddrs* list = nullptr;
  *ok = getifaddrs(&list) == 0;
  std::map<std::string, Interface> by_name;
  for (ifaddrs* a = list; a; a = a->ifa_next) {
    if (!a->ifa_name) continue;
    Interface& itf = by_name[a->ifa_name];
    itf.running = (a->ifa_flags & IFF_UP) && (a->ifa_flags & IFF_RUNNING);
    if (!a->ifa_addr) continue;
    if (a->ifa_addr->sa_family == AF_PACKET) {
      auto* ll = reinterpret_cast<const sockaddr_ll*>(a->ifa_addr);
      itf.index = static_cast<unsigned>(ll->sll_ifindex);
      itf.type = TypeFromHardware(a->ifa_name, ll->sll_hatype);
      size_t n = std::min<size_t>(ll->sll_halen, 8);
      itf.address.assign(ll->sll_addr, ll->sll_addr + n);
    } else if (a->ifa_addr->sa_family == AF_INET && !itf.first_ip) {
      itf.first_ip = FromSockaddr(*reinterpret_cast<const sockaddr_in*>(a->ifa_addr)).address;
    }
  }
  if (list) freeifaddrs(list);
  std::vector<std::pair<std::string, Interface>> out(by_name.begin(), by_name.end());
  for (auto& [name, itf] : out)
    if (itf.index == 0) itf.index = if_nametoindex(name.c_str());
  std::sort(out.begin(), out.end(),
            [](const auto& a, const auto& b) { return a.second.index < b.second.index; });
  return out;
}

class PosixNetwork final : public NetworkPort {
 public:
  PosixNetwork() : refusal_(RefusalText()) {}

  bool StartLibrary() override { return true; }
  void StopLibrary() override {}
  std::optional<OsVersion> QueryOsVersion() override { return std::nullopt; }

  AdapterList GetAdaptersInfo() override {
    AdapterList out;
    bool ok = false;
    auto interfaces = ListInterfaces(&ok);
    if (!ok) {
      out.status = ListStatus::kError;
      out.error = errno;
      return out;
    }
    for (auto& [name, itf] : interfaces) {
      AdapterInfo info;
      info.type = itf.type;
      info.address = itf.address;
      // A disconnected adapter reports no address, as on Windows.
      info.ip = (itf.first_ip && itf.running) ? itf.first_ip->ToString() : "0.0.0.0";
      info.device = name;
      out.adapters.push_back(std::move(info));
    }
    if (out.adapters.empty()) out.status = ListStatus::kNoData;
    return out;
  }

  InterfaceTable GetIfTable() override {
    InterfaceTable out;
    bool ok = false;
    auto interfaces = ListInterfaces(&ok);
    if (!ok) {
      out.status = ListStatus::kError;
      out.error = errno;
      return out;
    }
    for (auto& [name, itf] : interfaces)
      out.rows.push_back(InterfaceRow{itf.index, itf.type, itf.address, name});
    return out;
  }

  AddressTable GetIpAddrTable() override {
    AddressTable out;
    bool ok = false;
    auto interfaces = ListInterfaces(&ok);
    if (!ok) out.status = ListStatus::kError;
    for (auto& [name, itf] : interfaces)
      if (itf.first_ip && itf.running) out.rows.push_back(AddressRow{itf.index, *itf.first_ip});
    return out;
  }

  UdpListenerTable GetUdpTable() override {
    UdpListenerTable out;
    bool ok4 = false, ok6 = false;
    std::string v4 = ReadFile("/proc/net/udp", &ok4);
    std::string v6 = ReadFile("/proc/net/udp6", &ok6);
    if (!ok4) {
      out.status = UdpTableStatus::kNotSupported;
      return out;
    }
    out.local_ports = ParseProcNetUdp(v4);
    for (uint16_t p : ParseProcNetUdp(v6)) out.local_ports.push_back(p);
    return out;
  }

  NetResult<std::unique_ptr<UdpSocket>> CreateUdp() override {
    NetResult<std::unique_ptr<UdpSocket>> r;
    int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, IPPROTO_UDP);
    if (fd < 0) {
      r.error = LastError();
      return r;
    }
    r.value = std::make_unique<PosixUdp>(NonZeroFd(fd), &refusal_);
    return r;
  }

  NetResult<std::unique_ptr<TcpListener>> ListenTcp(const Endpoint& local, int backlog,
                                                    bool reuse_address) override {
    NetResult<std::unique_ptr<TcpListener>> r;
    int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, IPPROTO_TCP);
    if (fd < 0) {
      r.error = LastError();
      return r;
    }
    fd = NonZeroFd(fd);
    auto listener = std::make_unique<PosixListener>(fd);
    if (reuse_address) SetIntOption(fd, SOL_SOCKET, SO_REUSEADDR, 1);
    sockaddr_in sa = ToSockaddr(local);
    if (bind(fd, reinterpret_cast<sockaddr*>(&sa), sizeof sa) != 0 || listen(fd, backlog) != 0) {
      r.error = LastError();
      return r;
    }
    r.value = std::move(listener);
    return r;
  }

  NetResult<std::unique_ptr<TcpStream>> ConnectTcp(const Endpoint& to, Millis timeout) override {
    NetResult<std::unique_ptr<TcpStream>> r;
    int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, IPPROTO_TCP);
    if (fd < 0) {
      r.error = LastError();
      return r;
    }
    auto stream = std::make_unique<PosixTcp>(NonZeroFd(fd));
    fd = static_cast<int>(stream->Handle());
    sockaddr_in sa = ToSockaddr(to);
    if (connect(fd, reinterpret_cast<sockaddr*>(&sa), sizeof sa) != 0) {
      if (errno != EINPROGRESS) {
        r.error = LastError();
        return r;
      }
      pollfd p{fd, POLLOUT, 0};
      int ready = poll(&p, 1, PollMillis(timeout));
      if (ready <= 0) {
        r.error = ready == 0 ? ErrorFrom(ETIMEDOUT) : LastError();
        return r;
      }
      int so_error = 0;
      socklen_t len = sizeof so_error;
      getsockopt(fd, SOL_SOCKET, SO_ERROR, &so_error, &len);
      if (so_error != 0) {
        r.error = ErrorFrom(so_error);
        r.error.timed_out = so_error == ETIMEDOUT;
        return r;
      }
    }
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    r.value = std::move(stream);
    return r;
  }

  SelectResult SelectReadable(std::span<UdpSocket* const> sockets, Millis timeout) override {
    SelectResult r;
    std::vector<pollfd> fds;
    for (UdpSocket* s : sockets) fds.push_back(pollfd{static_cast<int>(s->Handle()), POLLIN, 0});
    int ready = poll(fds.data(), fds.size(), PollMillis(timeout));
    r.readable.assign(sockets.size(), false);
    if (ready < 0) {
      r.error = LastError();
      return r;
    }
    for (size_t i = 0; i < fds.size(); ++i) {
      // An error condition counts as readable: the receive reports it.
      if (fds[i].revents & (POLLIN | POLLERR | POLLHUP | POLLNVAL)) {
        r.readable[i] = true;
        ++r.ready;
      }
    }
    return r;
  }

  std::optional<std::string> BroadcastRefusal() const override {
    if (refusal_.empty()) return std::nullopt;
    return refusal_;
  }

 private:
  const std::string refusal_;
};

}  // namespace

bool InLabNetworkNamespace() {
  struct stat self {};
  if (stat("/proc/self/ns/net", &self) != 0) return false;
  DIR* dir = opendir("/run/netns");
  if (!dir) return false;
  bool inside = false;
  while (dirent* e = readdir(dir)) {
    if (std::strncmp(e->d_name, "vx", 2) != 0) continue;
    struct stat ns {};
    const std::string path = std::string("/run/netns/") + e->d_name;
    if (stat(path.c_str(), &ns) == 0 && ns.st_ino == self.st_ino && ns.st_dev == self.st_dev) {
      inside = true;
      break;
    }
  }
  closedir(dir);
  return inside;
}

std::unique_ptr<NetworkPort> MakeSystemNetwork() { return std::make_unique<PosixNetwork>(); }

}  // namespace vx::net
