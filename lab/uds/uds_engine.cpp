#include "uds_engine.h"

#include <arpa/inet.h>
#include <errno.h>
#include <fcntl.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace vx::lab {
namespace {

using Clock = std::chrono::steady_clock;

constexpr size_t kMaxConnections = 64;
constexpr size_t kMaxConnectionBuffer = 4096;

sockaddr_in ToSockaddr(const net::Endpoint& ep) {
  sockaddr_in sa{};
  sa.sin_family = AF_INET;
  sa.sin_port = htons(ep.port);
  std::memcpy(&sa.sin_addr, ep.address.bytes.data(), 4);
  return sa;
}

net::Ipv4 FromInAddr(const in_addr& a) {
  net::Ipv4 ip;
  std::memcpy(ip.bytes.data(), &a, 4);
  return ip;
}

void NonBlocking(int fd) { fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK); }

bool AddressPresent(const net::Ipv4& ip) {
  ifaddrs* list = nullptr;
  if (getifaddrs(&list) != 0) return false;
  bool found = false;
  for (ifaddrs* a = list; a && !found; a = a->ifa_next)
    if (a->ifa_addr && a->ifa_addr->sa_family == AF_INET)
      found = FromInAddr(reinterpret_cast<sockaddr_in*>(a->ifa_addr)->sin_addr) == ip;
  freeifaddrs(list);
  return found;
}

// Runs `ip` with the given arguments; true when it exits with 0. Addresses
// are only ever changed inside a lab namespace.
bool RunIp(const std::vector<std::string>& args) {
  if (!net::InLabNetworkNamespace()) return false;
  pid_t pid = fork();
  if (pid < 0) return false;
  if (pid == 0) {
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>("ip"));
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    execvp("ip", argv.data());
    _exit(127);
  }
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace

std::vector<uint8_t> BootAnnouncement(const SimServer& s) {
  std::vector<uint8_t> d = {'R', 'B', 'O', 'O', 'T', 'U', 'P', 0};
  d.insert(d.end(), s.mac.begin(), s.mac.end());
  return d;
}

std::vector<uint8_t> ShortAnnouncement(const SimServer& s) {
  std::vector<uint8_t> d = {'R', 'A', 'N', 'N', 'O', 'U', 0};
  d.insert(d.end(), s.mac.begin(), s.mac.end());
  d.insert(d.end(), s.name.begin(), s.name.end());
  return d;
}

Engine::Engine(UdsConfig config, SharingExtension& sharing, Options options)
    : config_(std::move(config)), sharing_(sharing), options_(options) {}

Engine::~Engine() {
  for (auto& c : connections_) close(c.fd);
  for (auto& l : servers_) CloseTcp(l);
  if (udp_ >= 0) close(udp_);
  for (const auto& a : added_addresses_) RunIp({"-4", "addr", "del", a, "dev", config_.interface});
}

void Engine::Log(const std::string& line) const {
  if (options_.verbose) std::fprintf(stderr, "vx-uds: %s\n", line.c_str());
}

Engine::Live* Engine::Find(const std::string& name) {
  for (auto& l : servers_)
    if (l.s.name == name) return &l;
  return nullptr;
}

Engine::Live* Engine::FindByIp(const net::Ipv4& ip) {
  for (auto& l : servers_)
    if (l.s.ip == ip) return &l;
  return nullptr;
}

bool Engine::Start(std::string* error) {
  if_index_ = if_nametoindex(config_.interface.c_str());
  if (if_index_ == 0) {
    *error = "no interface " + config_.interface + " in this namespace";
    return false;
  }
  udp_ = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  int on = 1;
  setsockopt(udp_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  setsockopt(udp_, SOL_SOCKET, SO_BROADCAST, &on, sizeof on);
  setsockopt(udp_, IPPROTO_IP, IP_PKTINFO, &on, sizeof on);
  sockaddr_in any = ToSockaddr(net::Endpoint{net::Ipv4::Any(), options_.udp_port});
  if (bind(udp_, reinterpret_cast<sockaddr*>(&any), sizeof any) != 0) {
    *error = "cannot bind UDP port " + std::to_string(options_.udp_port) + ": " + std::strerror(errno);
    return false;
  }
  NonBlocking(udp_);
  std::vector<SimServer> initial = std::move(config_.servers);
  config_.servers.clear();
  for (auto& s : initial) {
    try {
      config_service_.Ensure(s);
    } catch (const std::exception& e) {
      *error = "server " + s.name + ": " + e.what();
      return false;
    }
    if (!EnsureAddress(s)) Log("cannot add address " + s.ip.ToString() + " for " + s.name);
    servers_.push_back(Live{std::move(s)});
  }
  for (auto& l : servers_) BringUp(l, true);
  return true;
}

bool Engine::EnsureAddress(const SimServer& s) {
  if (AddressPresent(s.ip)) return true;
  const std::string a = s.ip.ToString() + "/" + std::to_string(s.prefix);
  if (!RunIp({"-4", "addr", "add", a, "dev", config_.interface})) return false;
  added_addresses_.insert(a);
  return true;
}

void Engine::ReleaseAddress(const net::Ipv4& ip) {
  for (const auto& l : servers_)
    if (l.s.ip == ip) return;  // still in use
  const std::string prefix = ip.ToString() + "/";
  for (auto it = added_addresses_.begin(); it != added_addresses_.end(); ++it) {
    if (it->rfind(prefix, 0) == 0) {
      RunIp({"-4", "addr", "del", *it, "dev", config_.interface});
      added_addresses_.erase(it);
      return;
    }
  }
}

void Engine::OpenTcp(Live& l) {
  if (l.tcp_listener >= 0 || !l.s.tcp || !l.up || l.s.silent) return;
  int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  int on = 1;
  setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  sockaddr_in sa = ToSockaddr(net::Endpoint{l.s.ip, options_.tcp_port});
  if (bind(fd, reinterpret_cast<sockaddr*>(&sa), sizeof sa) != 0 || listen(fd, 16) != 0) {
    Log("server " + l.s.name + ": cannot listen on TCP " + l.s.ip.ToString() + ":" +
        std::to_string(options_.tcp_port) + ": " + std::strerror(errno));
    close(fd);
    return;
  }
  NonBlocking(fd);
  l.tcp_listener = fd;
}

void Engine::CloseTcp(Live& l) {
  if (l.tcp_listener >= 0) close(l.tcp_listener);
  l.tcp_listener = -1;
  for (auto it = connections_.begin(); it != connections_.end();) {
    if (it->server == l.s.name) {
      close(it->fd);
      it = connections_.erase(it);
    } else {
      ++it;
    }
  }
}

void Engine::BringUp(Live& l, bool announce_boot) {
  l.up = true;
  if (l.s.silent) return;
  OpenTcp(l);
  sharing_.ServerUp(SimServerView{l.s.name, l.s.ip.ToString(), l.s.MacText(), l.s.config});
  if (announce_boot) SendBoot(l);
  l.next_announce = Clock::now() + std::chrono::seconds(config_.announce_interval);
  Log("server " + l.s.name + " up at " + l.s.ip.ToString());
}

void Engine::TakeDown(Live& l) {
  CloseTcp(l);
  sharing_.ServerDown(l.s.name);
  Log("server " + l.s.name + " down");
}

void Engine::SendFrom(const net::Ipv4& from, const net::Endpoint& to, std::span<const uint8_t> bytes) {
  sockaddr_in dst = ToSockaddr(to);
  iovec iov{const_cast<uint8_t*>(bytes.data()), bytes.size()};
  alignas(cmsghdr) char control[CMSG_SPACE(sizeof(in_pktinfo))] = {};
  msghdr msg{};
  msg.msg_name = &dst;
  msg.msg_namelen = sizeof dst;
  msg.msg_iov = &iov;
  msg.msg_iovlen = 1;
  msg.msg_control = control;
  msg.msg_controllen = sizeof control;
  cmsghdr* c = CMSG_FIRSTHDR(&msg);
  c->cmsg_level = IPPROTO_IP;
  c->cmsg_type = IP_PKTINFO;
  c->cmsg_len = CMSG_LEN(sizeof(in_pktinfo));
  in_pktinfo info{};
  std::memcpy(&info.ipi_spec_dst, from.bytes.data(), 4);
  // Broadcasts leave through the lab interface.
  if (to.address == net::Ipv4::Broadcast()) info.ipi_ifindex = static_cast<int>(if_index_);
  std::memcpy(CMSG_DATA(c), &info, sizeof info);
  if (sendmsg(udp_, &msg, 0) < 0)
    Log("send from " + from.ToString() + " to " + to.address.ToString() + " failed: " + std::strerror(errno));
}

void Engine::SendBoot(const Live& l) {
  SendFrom(l.s.ip, net::Endpoint{net::Ipv4::Broadcast(), options_.udp_port}, BootAnnouncement(l.s));
}

void Engine::SendAnnouncement(Live& l, bool long_form) {
  const net::Endpoint all{net::Ipv4::Broadcast(), options_.udp_port};
  if (long_form)
    SendFrom(l.s.ip, all, discovery::EncodeServerRecord(l.s.Fields(), discovery::kAnnounceKeyword));
  else
    SendFrom(l.s.ip, all, ShortAnnouncement(l.s));
}

std::vector<pollfd> Engine::PollFds() const {
  std::vector<pollfd> fds;
  if (udp_ >= 0) fds.push_back(pollfd{udp_, POLLIN, 0});
  for (const auto& l : servers_)
    if (l.tcp_listener >= 0) fds.push_back(pollfd{l.tcp_listener, POLLIN, 0});
  for (const auto& c : connections_) fds.push_back(pollfd{c.fd, POLLIN, 0});
  return fds;
}

void Engine::HandleReady(const std::vector<pollfd>& ready) {
  for (const pollfd& p : ready) {
    if (!(p.revents & (POLLIN | POLLERR | POLLHUP))) continue;
    if (p.fd == udp_) {
      ReadUdp();
      continue;
    }
    bool handled = false;
    for (auto& l : servers_) {
      if (l.tcp_listener == p.fd) {
        Accept(l);
        handled = true;
        break;
      }
    }
    if (handled) continue;
    for (size_t i = 0; i < connections_.size(); ++i) {
      if (connections_[i].fd != p.fd) continue;
      ReadConnection(connections_[i]);
      if (connections_[i].fd < 0) connections_.erase(connections_.begin() + static_cast<long>(i));
      break;
    }
  }
  RunRestarts();
}

void Engine::ReadUdp() {
  for (int budget = 0; budget < 256; ++budget) {
    uint8_t buffer[2048];
    sockaddr_in src{};
    iovec iov{buffer, sizeof buffer};
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(in_pktinfo))];
    msghdr msg{};
    msg.msg_name = &src;
    msg.msg_namelen = sizeof src;
    msg.msg_iov = &iov;
    msg.msg_iovlen = 1;
    msg.msg_control = control;
    msg.msg_controllen = sizeof control;
    ssize_t n = recvmsg(udp_, &msg, MSG_TRUNC);
    if (n < 0) return;  // drained
    const net::Ipv4 from = FromInAddr(src.sin_addr);
    if (FindByIp(from)) continue;  // our own announcements and replies
    net::Ipv4 dst = net::Ipv4::Broadcast();
    for (cmsghdr* c = CMSG_FIRSTHDR(&msg); c; c = CMSG_NXTHDR(&msg, c)) {
      if (c->cmsg_level == IPPROTO_IP && c->cmsg_type == IP_PKTINFO) {
        in_pktinfo info;
        std::memcpy(&info, CMSG_DATA(c), sizeof info);
        dst = FromInAddr(info.ipi_addr);
      }
    }
    const std::span<const uint8_t> bytes(buffer, std::min(static_cast<size_t>(n), sizeof buffer));
    // Datagrams led by the discovery request's text are discovery requests
    // (valid or not); anything else of a header's size is a configuration frame.
    const bool discovery_text =
        bytes.size() >= discovery::kRequestMagic.size() &&
        std::equal(discovery::kRequestMagic.begin(), discovery::kRequestMagic.end(), bytes.begin());
    if (static_cast<size_t>(n) <= sizeof buffer && !discovery_text && ConfigService::FrameSize(bytes)) {
      ServeConfigUdp(bytes, net::Endpoint{from, ntohs(src.sin_port)});
      continue;
    }
    auto request =
        static_cast<size_t>(n) <= sizeof buffer
            ? discovery::DecodeDiscoveryRequest(std::span<const uint8_t>(buffer, static_cast<size_t>(n)))
            : std::nullopt;
    if (!request) {
      ++udp_invalid_;
      continue;
    }
    ++udp_requests_[from.ToString()];
    const net::Endpoint requester{from, ntohs(src.sin_port)};
    Live* addressed = FindByIp(dst);
    for (auto& l : servers_) {
      if (addressed && &l != addressed) continue;
      if (!l.up || l.s.silent) continue;
      // A server answers a requester on its own subnet directly; one on
      // another subnet cannot be reached without a router, so it broadcasts.
      bool broadcast = l.s.reply == SimServer::Reply::kBroadcast ||
                       (l.s.reply == SimServer::Reply::kAuto && !l.s.SameSubnet(from));
      net::Endpoint to = broadcast ? net::Endpoint{net::Ipv4::Broadcast(), requester.port} : requester;
      SendFrom(l.s.ip, to, discovery::EncodeServerRecord(l.s.Fields()));
    }
  }
}

void Engine::Accept(Live& l) {
  int fd = accept4(l.tcp_listener, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
  if (fd < 0) return;
  if (connections_.size() >= kMaxConnections) {
    close(fd);
    return;
  }
  connections_.push_back(Connection{fd, l.s.name, {}});
}

void Engine::ReadConnection(Connection& c) {
  uint8_t chunk[1024];
  ssize_t n = recv(c.fd, chunk, sizeof chunk, 0);
  if (n <= 0) {
    if (n < 0 && (errno == EAGAIN || errno == EINTR)) return;
    close(c.fd);
    c.fd = -1;
    return;
  }
  c.buffer.insert(c.buffer.end(), chunk, chunk + n);
  Live* l = Find(c.server);
  while (l && !c.buffer.empty()) {
    // A configuration frame (52 bytes and the record a write carries).
    const bool discovery_request =
        c.buffer.size() < discovery::kRequestMagic.size()
            ? std::equal(c.buffer.begin(), c.buffer.end(), discovery::kRequestMagic.begin())
            : std::equal(discovery::kRequestMagic.begin(), discovery::kRequestMagic.end(), c.buffer.begin());
    if (!discovery_request) {
      auto size = ConfigService::FrameSize(c.buffer);
      if (!size || c.buffer.size() < *size) break;  // the rest is on its way
      const bool ok = ServeConfigTcp(*l, c.fd, std::span<const uint8_t>(c.buffer.data(), *size));
      c.buffer.erase(c.buffer.begin(), c.buffer.begin() + static_cast<long>(*size));
      if (!ok) {
        close(c.fd);
        c.fd = -1;
        return;
      }
      continue;
    }
    if (c.buffer.size() < discovery::kRequestSize) break;
    std::span<const uint8_t> head(c.buffer.data(), discovery::kRequestSize);
    if (!discovery::DecodeDiscoveryRequest(head)) {
      close(c.fd);
      c.fd = -1;
      return;
    }
    ++tcp_requests_[c.server];
    auto reply = discovery::EncodeServerRecord(l->s.Fields());
    if (send(c.fd, reply.data(), reply.size(), MSG_NOSIGNAL) < 0) {
      close(c.fd);
      c.fd = -1;
      return;
    }
    c.buffer.erase(c.buffer.begin(), c.buffer.begin() + discovery::kRequestSize);
  }
  if (c.buffer.size() > kMaxConnectionBuffer) {
    close(c.fd);
    c.fd = -1;
  }
}

int Engine::NextTimerMs(int cap) const {
  auto now = Clock::now();
  auto next = now + std::chrono::milliseconds(cap);
  for (const auto& l : servers_) {
    if (!l.up)
      next = std::min(next, l.back_at);
    else if (config_.announce_interval > 0 && l.s.announce != SimServer::Announce::kNone && !l.s.silent)
      next = std::min(next, l.next_announce);
  }
  auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(next - now).count();
  return static_cast<int>(std::clamp<int64_t>(ms, 0, cap));
}

void Engine::RunTimers() {
  auto now = Clock::now();
  for (auto& l : servers_) {
    if (!l.up) {
      if (now >= l.back_at) ComeBack(l);
      continue;
    }
    if (config_.announce_interval <= 0 || l.s.silent || l.s.announce == SimServer::Announce::kNone) continue;
    if (now < l.next_announce) continue;
    switch (l.s.announce) {
      case SimServer::Announce::kLong:
        SendAnnouncement(l, true);
        break;
      case SimServer::Announce::kShort:
        SendAnnouncement(l, false);
        break;
      case SimServer::Announce::kBoth:
        SendAnnouncement(l, l.next_long);
        l.next_long = !l.next_long;
        break;
      case SimServer::Announce::kNone:
        break;
    }
    l.next_announce = now + std::chrono::seconds(config_.announce_interval);
  }
}

}  // namespace vx::lab
