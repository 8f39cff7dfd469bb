#include "discover.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>
#include <mutex>
#include <set>

#include "common/lab_sockets.h"
#include "discovery/datagram.h"
#include "discovery/protocol.h"
#include "platform/clock.h"

namespace vx::busd {

std::vector<uint8_t> DiscoveryRequest() {
  auto r = discovery::BuildDiscoveryRequest(discovery::Mac{}, SystemClock().LocalNow());
  return std::vector<uint8_t>(r.begin(), r.end());
}

std::vector<uint8_t> ForwardRecordOf(const std::vector<uint8_t>& datagram, uint32_t source) {
  // What the program's listener forwards, from a table of the emulator's own.
  static std::mutex table_mutex;
  static discovery::DiscoveryTable table;
  std::lock_guard guard(table_mutex);
  auto r = discovery::ProcessDatagram(datagram, net::Ipv4::FromNetworkOrder(source), table);
  if (!r.forward) return {};
  return std::vector<uint8_t>(r.forward->bytes.begin(), r.forward->bytes.begin() + r.forward->length);
}

Discoverer::Discoverer(Emulator& emulator, DiscoverConfig config)
    : emulator_(emulator), config_(std::move(config)) {
  thread_ = std::thread([this] { Run(); });
}

Discoverer::~Discoverer() {
  stop_ = true;
  thread_.join();
}

namespace {

// The sockets of one discovery round: for the limited broadcast one per
// interface (tied to it, as a namespace without a default route has no way
// out for 255.255.255.255 otherwise), else a single one.
std::vector<int> RoundSockets(const std::string& target_ip) {
  std::vector<int> fds;
  auto open_one = [&](const char* device) {
    int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return;
    int one = 1;
    setsockopt(fd, SOL_SOCKET, SO_BROADCAST, &one, sizeof one);
    if (device && setsockopt(fd, SOL_SOCKET, SO_BINDTODEVICE, device, socklen_t(std::strlen(device))) != 0) {
      close(fd);
      return;
    }
    fds.push_back(fd);
  };
  if (target_ip != "255.255.255.255") {
    open_one(nullptr);
    return fds;
  }
  ifaddrs* list = nullptr;
  if (getifaddrs(&list) != 0) return fds;
  std::set<std::string> seen;
  for (ifaddrs* i = list; i; i = i->ifa_next) {
    if (!i->ifa_addr || i->ifa_addr->sa_family != AF_INET) continue;
    if ((i->ifa_flags & IFF_UP) == 0 || (i->ifa_flags & IFF_LOOPBACK)) continue;
    if (seen.insert(i->ifa_name).second) open_one(i->ifa_name);
  }
  freeifaddrs(list);
  return fds;
}

}  // namespace

void Discoverer::Run() {
  while (!stop_) {
    auto round_end = std::chrono::steady_clock::now() + config_.interval;
    std::vector<int> fds;
    if (config_.broadcast) {
      fds = RoundSockets(config_.target_ip);
      sockaddr_in to{};
      to.sin_family = AF_INET;
      to.sin_port = htons(config_.target_port);
      inet_pton(AF_INET, config_.target_ip.c_str(), &to.sin_addr);
      auto req = DiscoveryRequest();
      for (int fd : fds) sendto(fd, req.data(), req.size(), 0, reinterpret_cast<sockaddr*>(&to), sizeof to);
    }
    for (uint32_t ip : config_.remote_servers) {
      if (stop_) break;
      QueryRemote(ip);
    }
    // Receive replies until the next round.
    while (!stop_ && std::chrono::steady_clock::now() < round_end) {
      if (fds.empty()) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        continue;
      }
      std::vector<pollfd> p;
      for (int fd : fds) p.push_back({fd, POLLIN, 0});
      if (poll(p.data(), p.size(), 100) <= 0) continue;
      for (auto& q : p) {
        if (!(q.revents & POLLIN)) continue;
        std::vector<uint8_t> buf(1024);
        sockaddr_in from{};
        socklen_t len = sizeof from;
        ssize_t n = recvfrom(q.fd, buf.data(), buf.size(), 0, reinterpret_cast<sockaddr*>(&from), &len);
        if (n <= 0) continue;
        buf.resize(size_t(n));
        auto fwd = ForwardRecordOf(buf, from.sin_addr.s_addr);
        if (!fwd.empty()) emulator_.OnUdpPacket(from.sin_addr.s_addr, fwd);
      }
    }
    for (int fd : fds) close(fd);
  }
}

void Discoverer::QueryRemote(uint32_t ip) {
  int fd = lab::ConnectTcp(bus::Ipv4Text(ip), config_.remote_port, 2000, nullptr);
  if (fd < 0) return;
  timeval tv{1, 0};
  setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
  if (lab::SendAllFd(fd, DiscoveryRequest())) {
    for (int tries = 0; tries < 3; ++tries) {
      std::vector<uint8_t> buf(1024);
      ssize_t n = recv(fd, buf.data(), buf.size(), 0);
      if (n == 0) break;
      if (n < 0) continue;
      buf.resize(size_t(n));
      if (n == 173 && !discovery::ContainsKeyword(buf, discovery::kRequestMagic)) {
        auto fwd = ForwardRecordOf(buf, ip);
        if (!fwd.empty()) emulator_.OnUdpPacket(ip, fwd, true);
        break;
      }
    }
  }
  close(fd);
}

}  // namespace vx::busd
