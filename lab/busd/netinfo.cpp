#include "netinfo.h"

#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>
#include <sys/stat.h>

#include <algorithm>

namespace vx::busd {

std::vector<LocalNet> ReadLocalNets() {
  std::vector<LocalNet> nets;
  ifaddrs* list = nullptr;
  if (getifaddrs(&list) != 0) return nets;
  for (ifaddrs* i = list; i; i = i->ifa_next) {
    if (!i->ifa_addr || i->ifa_addr->sa_family != AF_INET || !i->ifa_netmask) continue;
    if ((i->ifa_flags & IFF_UP) == 0 || (i->ifa_flags & IFF_LOOPBACK)) continue;
    LocalNet n;
    n.addr = reinterpret_cast<sockaddr_in*>(i->ifa_addr)->sin_addr.s_addr;
    n.mask = reinterpret_cast<sockaddr_in*>(i->ifa_netmask)->sin_addr.s_addr;
    nets.push_back(n);
  }
  freeifaddrs(list);
  std::sort(nets.begin(), nets.end(), [](const LocalNet& a, const LocalNet& b) {
    return a.addr != b.addr ? a.addr < b.addr : a.mask < b.mask;
  });
  return nets;
}

bool InLabNamespace(std::string* why) {
  struct stat self{}, init{};
  if (stat("/proc/self/ns/net", &self) != 0 || stat("/proc/1/ns/net", &init) != 0) {
    if (why) *why = "cannot tell the network namespace (/proc/*/ns/net)";
    return false;
  }
  if (self.st_ino == init.st_ino && self.st_dev == init.st_dev) {
    if (why) *why = "this is the machine's own network namespace; run inside a lab namespace (ip netns exec vxpc1 ...)";
    return false;
  }
  return true;
}

}  // namespace vx::busd
