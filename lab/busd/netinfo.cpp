#include "netinfo.h"

#include <dirent.h>
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
  // A lab namespace is one made by `ip netns add`: its handle is a file under
  // /run/netns with the same inode as this process's network namespace.
  struct stat self {};
  if (stat("/proc/self/ns/net", &self) != 0) {
    if (why) *why = "cannot tell the network namespace (/proc/self/ns/net)";
    return false;
  }
  if (DIR* dir = opendir("/run/netns")) {
    while (dirent* e = readdir(dir)) {
      struct stat ns {};
      std::string path = std::string("/run/netns/") + e->d_name;
      if (e->d_name[0] != '.' && stat(path.c_str(), &ns) == 0 && ns.st_ino == self.st_ino &&
          ns.st_dev == self.st_dev) {
        closedir(dir);
        return true;
      }
    }
    closedir(dir);
  }
  if (why) *why = "not inside a named lab namespace; run it with: ip netns exec vxpc1 vx-busd ...";
  return false;
}

}  // namespace vx::busd
