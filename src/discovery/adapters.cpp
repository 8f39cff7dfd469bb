#include "discovery/adapters.h"

#include <algorithm>
#include <cstdio>

#include "platform/trace.h"

namespace vx::discovery {
namespace {

constexpr uint32_t kEthernet = 6;

// Types other than these count as Ethernet (wireless adapters report 71 or
// vendor-specific codes).
bool KnownNonEthernetOrEthernet(uint32_t type) {
  switch (type) {
    case 6:
    case 1:
    case 9:
    case 15:
    case 23:
    case 24:
    case 28:
      return true;
    default:
      return false;
  }
}

Mac FirstSix(const std::vector<uint8_t>& address) {
  Mac mac{};
  std::copy_n(address.begin(), std::min<size_t>(address.size(), 6), mac.begin());
  return mac;
}

bool AllZero(const Mac& mac) {
  return std::all_of(mac.begin(), mac.end(), [](uint8_t b) { return b == 0; });
}

bool Full(const std::vector<Adapter>& out, const std::string& what) {
  if (out.size() < kMaxAdapters) return false;
  TraceLine(what + " : >>> NOT USE <<< (more than " + std::to_string(kMaxAdapters) + " adapters)");
  return true;
}

}  // namespace

int WindowsVersionFlags(std::optional<net::OsVersion> v) {
  if (!v) return 0;
  if (v->major == 6) return v->minor == 2 ? kWinRebootOffer : kWinVista7 | kWinNt5;
  if (v->major == 5) return v->minor == 0 ? kWinRebootOffer | kWinNt5 : kWinNt5;
  if (v->major == 4 && v->minor == 0) return kWinNt4;
  return 0;
}

int GetWindowsVersion(net::NetworkPort& net) {
  auto v = net.QueryOsVersion();
  int flags = WindowsVersionFlags(v);
  char hex[8];
  std::snprintf(hex, sizeof hex, "%02X", flags);
  TraceLine("GetWindowsVersion() : Windows Version Major-Minor : " + std::to_string(v ? v->major : 0) + "-" +
            std::to_string(v ? v->minor : 0) + ", WinVer : " + hex);
  return flags;
}

std::vector<Adapter> AdaptersFromInfoList(const net::AdapterList& list) {
  std::vector<Adapter> out;
  if (list.status == net::ListStatus::kNoData) {
    TraceLine("GetMacAddressFor98() : Call to GetAdaptersInfo failed. : ERROR_NO_DATA");
    return out;
  }
  if (list.status == net::ListStatus::kError) {
    TraceLine("GetMacAddressFor98() : Call to GetAdaptersInfo failed. : " + std::to_string(list.error));
    return out;
  }
  for (const auto& a : list.adapters) {
    uint32_t type = KnownNonEthernetOrEthernet(a.type) ? a.type : kEthernet;
    Mac mac = FirstSix(a.address);
    if (AllZero(mac) || type != kEthernet || a.ip == "0.0.0.0" || !net::Ipv4::Parse(a.ip)) {
      TraceLine("GetMacAddressFor98() : >>> NOT USE <<<");
      continue;
    }
    if (Full(out, "GetMacAddressFor98()")) break;
    out.push_back(Adapter{a.ip, mac, a.device});
  }
  return out;
}

std::vector<Adapter> AdaptersFromInterfaceTable(const net::InterfaceTable& interfaces,
                                                const net::AddressTable& addresses) {
  std::vector<Adapter> out;
  if (interfaces.status != net::ListStatus::kOk) {
    TraceLine("GetMacAddressForNT() : GetIfTable failed : " + std::to_string(interfaces.error));
    return out;
  }
  for (const auto& row : interfaces.rows) {
    Mac mac = FirstSix(row.address);
    if (AllZero(mac)) continue;
    auto address = std::find_if(addresses.rows.begin(), addresses.rows.end(), [&](const net::AddressRow& a) {
      return a.if_index == row.index && !a.address.IsZero();
    });
    if (address == addresses.rows.end()) {
      TraceLine("GetMacAddressForNT() : >>> NOT USE <<< (no IP address)");
      continue;
    }
    if (Full(out, "GetMacAddressForNT()")) break;
    out.push_back(Adapter{address->address.ToString(), mac, row.device});
  }
  return out;
}

std::vector<Adapter> GetMacAddress(net::NetworkPort& net, int version_flags) {
  std::vector<Adapter> out = (version_flags & kWinNt4)
                                 ? AdaptersFromInterfaceTable(net.GetIfTable(), net.GetIpAddrTable())
                                 : AdaptersFromInfoList(net.GetAdaptersInfo());
  TraceLine("GetMacAddress() : macn : " + std::to_string(out.size()) + " (total # of mac)\n");
  return out;
}

}  // namespace vx::discovery
