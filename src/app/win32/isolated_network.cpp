#include "app/win32/isolated_network.h"

#include <windows.h>

namespace vx::app::win32 {

namespace {

constexpr int kWsaEaccess = 10013;

class IsolatedNetwork final : public net::NetworkPort {
 public:
  explicit IsolatedNetwork(std::unique_ptr<net::NetworkPort> system) : system_(std::move(system)) {}

  bool StartLibrary() override { return system_->StartLibrary(); }
  void StopLibrary() override { system_->StopLibrary(); }
  std::optional<net::OsVersion> QueryOsVersion() override { return system_->QueryOsVersion(); }
  net::AdapterList GetAdaptersInfo() override {
    net::AdapterList none;
    none.status = net::ListStatus::kNoData;
    return none;
  }
  net::InterfaceTable GetIfTable() override { return system_->GetIfTable(); }
  net::AddressTable GetIpAddrTable() override { return system_->GetIpAddrTable(); }
  net::UdpListenerTable GetUdpTable() override { return system_->GetUdpTable(); }
  net::NetResult<std::unique_ptr<net::UdpSocket>> CreateUdp() override {
    net::NetResult<std::unique_ptr<net::UdpSocket>> refused;
    refused.error = net::NetError{kWsaEaccess, false, "WSAEACCES (isolated network)"};
    return refused;
  }
  net::NetResult<std::unique_ptr<net::TcpListener>> ListenTcp(const net::Endpoint& local, int backlog,
                                                              bool reuse_address) override {
    return system_->ListenTcp(local, backlog, reuse_address);
  }
  net::NetResult<std::unique_ptr<net::TcpStream>> ConnectTcp(const net::Endpoint& to,
                                                             net::Millis timeout) override {
    return system_->ConnectTcp(to, timeout);
  }
  net::SelectResult SelectReadable(std::span<net::UdpSocket* const> sockets, net::Millis timeout) override {
    return system_->SelectReadable(sockets, timeout);
  }
  std::optional<std::string> BroadcastRefusal() const override { return std::string("isolated network"); }

 private:
  std::unique_ptr<net::NetworkPort> system_;
};

}  // namespace

bool IsolatedNetworkRequested() {
  wchar_t value[8] = {};
  DWORD n = GetEnvironmentVariableW(L"VESSIX_NO_ADAPTERS", value, 8);
  return n > 0 && n < 8 && value[0] != L'0';
}

std::unique_ptr<net::NetworkPort> MakeIsolatedNetwork(std::unique_ptr<net::NetworkPort> system) {
  return std::make_unique<IsolatedNetwork>(std::move(system));
}

}  // namespace vx::app::win32
