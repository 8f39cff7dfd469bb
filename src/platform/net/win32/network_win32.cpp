// The Windows network adapter: Winsock 2.2 and IP Helper.
#if !defined(_WIN32)
#error "Win32 only"
#endif

// clang-format off
#include <winsock2.h>
#include <ws2tcpip.h>
#include <iphlpapi.h>
#include <windows.h>
// clang-format on

#include <atomic>
#include <cstring>
#include <string>
#include <vector>

#include "platform/net/network.h"

namespace vx::net {
namespace {

const char* WsaName(int code) {
  switch (code) {
    case WSAEINTR:
      return "WSAEINTR";
    case WSAEBADF:
      return "WSAEBADF";
    case WSAEACCES:
      return "WSAEACCES";
    case WSAEFAULT:
      return "WSAEFAULT";
    case WSAEINVAL:
      return "WSAEINVAL";
    case WSAEMFILE:
      return "WSAEMFILE";
    case WSAEWOULDBLOCK:
      return "WSAEWOULDBLOCK";
    case WSAEINPROGRESS:
      return "WSAEINPROGRESS";
    case WSAEALREADY:
      return "WSAEALREADY";
    case WSAENOTSOCK:
      return "WSAENOTSOCK";
    case WSAEDESTADDRREQ:
      return "WSAEDESTADDRREQ";
    case WSAEMSGSIZE:
      return "WSAEMSGSIZE";
    case WSAEPROTOTYPE:
      return "WSAEPROTOTYPE";
    case WSAENOPROTOOPT:
      return "WSAENOPROTOOPT";
    case WSAEPROTONOSUPPORT:
      return "WSAEPROTONOSUPPORT";
    case WSAEOPNOTSUPP:
      return "WSAEOPNOTSUPP";
    case WSAEAFNOSUPPORT:
      return "WSAEAFNOSUPPORT";
    case WSAEADDRINUSE:
      return "WSAEADDRINUSE";
    case WSAEADDRNOTAVAIL:
      return "WSAEADDRNOTAVAIL";
    case WSAENETDOWN:
      return "WSAENETDOWN";
    case WSAENETUNREACH:
      return "WSAENETUNREACH";
    case WSAENETRESET:
      return "WSAENETRESET";
    case WSAECONNABORTED:
      return "WSAECONNABORTED";
    case WSAECONNRESET:
      return "WSAECONNRESET";
    case WSAENOBUFS:
      return "WSAENOBUFS";
    case WSAEISCONN:
      return "WSAEISCONN";
    case WSAENOTCONN:
      return "WSAENOTCONN";
    case WSAESHUTDOWN:
      return "WSAESHUTDOWN";
    case WSAETIMEDOUT:
      return "WSAETIMEDOUT";
    case WSAECONNREFUSED:
      return "WSAECONNREFUSED";
    case WSAEHOSTUNREACH:
      return "WSAEHOSTUNREACH";
    case WSASYSNOTREADY:
      return "WSASYSNOTREADY";
    case WSAVERNOTSUPPORTED:
      return "WSAVERNOTSUPPORTED";
    case WSANOTINITIALISED:
      return "WSANOTINITIALISED";
    default:
      return nullptr;
  }
}

NetError ErrorFrom(int code) {
  NetError e;
  e.code = code;
  e.timed_out = code == WSAETIMEDOUT;
  const char* name = WsaName(code);
  e.name = name ? name : "WSA error " + std::to_string(code);
  return e;
}

NetError LastError() { return ErrorFrom(WSAGetLastError()); }

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

std::optional<Endpoint> LocalOf(SOCKET s) {
  sockaddr_in sa{};
  int len = sizeof sa;
  if (getsockname(s, reinterpret_cast<sockaddr*>(&sa), &len) != 0 || sa.sin_family != AF_INET)
    return std::nullopt;
  return FromSockaddr(sa);
}

NetError SetTimeout(SOCKET s, Millis timeout) {
  DWORD ms = static_cast<DWORD>(timeout.count());
  if (setsockopt(s, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&ms), sizeof ms) != 0)
    return LastError();
  return {};
}

NetError SetBoolOption(SOCKET s, int name) {
  BOOL on = TRUE;
  if (setsockopt(s, SOL_SOCKET, name, reinterpret_cast<const char*>(&on), sizeof on) != 0) return LastError();
  return {};
}

timeval ToTimeval(Millis timeout) {
  timeval tv{};
  tv.tv_sec = static_cast<long>(timeout.count() / 1000);
  tv.tv_usec = static_cast<long>((timeout.count() % 1000) * 1000);
  return tv;
}

class WinUdp final : public UdpSocket {
 public:
  WinUdp(SOCKET s, const std::string* refusal) : s_(s), refusal_(refusal) {}
  ~WinUdp() override { closesocket(s_); }
  uint64_t Handle() const override { return static_cast<uint64_t>(s_); }
  NetError EnableBroadcast() override {
    if (!refusal_->empty()) return NetError{WSAEACCES, false, "WSAEACCES (" + *refusal_ + ")"};
    return SetBoolOption(s_, SO_BROADCAST);
  }
  NetError EnableDebug() override {
    SetBoolOption(s_, SO_DEBUG);
    return {};
  }
  NetError SetReceiveTimeout(Millis timeout) override { return SetTimeout(s_, timeout); }
  NetError Bind(const BindTarget& target) override {
    sockaddr_in sa = ToSockaddr(target.local);
    if (bind(s_, reinterpret_cast<sockaddr*>(&sa), sizeof sa) != 0) return LastError();
    return {};
  }
  std::optional<Endpoint> LocalEndpoint() const override { return LocalOf(s_); }
  NetError SendTo(std::span<const uint8_t> bytes, const Endpoint& to) override {
    if (to.address == Ipv4::Broadcast() && !refusal_->empty())
      return NetError{WSAEACCES, false, "WSAEACCES (" + *refusal_ + ")"};
    sockaddr_in sa = ToSockaddr(to);
    if (sendto(s_, reinterpret_cast<const char*>(bytes.data()), static_cast<int>(bytes.size()), 0,
               reinterpret_cast<sockaddr*>(&sa), sizeof sa) == SOCKET_ERROR)
      return LastError();
    return {};
  }
  NetResult<Datagram> ReceiveFrom(std::span<uint8_t> buffer) override {
    NetResult<Datagram> r;
    sockaddr_in sa{};
    int len = sizeof sa;
    int n = recvfrom(s_, reinterpret_cast<char*>(buffer.data()), static_cast<int>(buffer.size()), 0,
                     reinterpret_cast<sockaddr*>(&sa), &len);
    if (n == SOCKET_ERROR) {
      r.error = LastError();
      return r;
    }
    r.value.length = static_cast<size_t>(n);
    r.value.from = FromSockaddr(sa);
    return r;
  }

 private:
  SOCKET s_;
  const std::string* refusal_;
};

// Receives are overlapped and wait on the receive together with a shutdown
// event: shutdown() alone does not release a blocked recv everywhere (Wine),
// and the receive time-out is kept here because SO_RCVTIMEO does not apply
// to overlapped receives.
class WinTcp final : public TcpStream {
 public:
  explicit WinTcp(SOCKET s) : s_(s), shutdown_event_(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}
  ~WinTcp() override {
    closesocket(s_);
    if (shutdown_event_) CloseHandle(shutdown_event_);
  }
  uint64_t Handle() const override { return static_cast<uint64_t>(s_); }
  NetError SetReceiveTimeout(Millis timeout) override {
    receive_timeout_ms_ = static_cast<DWORD>(timeout.count());
    return SetTimeout(s_, timeout);
  }
  NetError SetNoDelay(bool on) override {
    BOOL value = on ? TRUE : FALSE;
    if (setsockopt(s_, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&value), sizeof value) != 0)
      return LastError();
    return {};
  }
  NetError Send(std::span<const uint8_t> bytes) override {
    size_t sent = 0;
    while (sent < bytes.size()) {
      int n = send(s_, reinterpret_cast<const char*>(bytes.data() + sent),
                   static_cast<int>(bytes.size() - sent), 0);
      if (n == SOCKET_ERROR) return LastError();
      sent += static_cast<size_t>(n);
    }
    return {};
  }
  NetResult<size_t> Receive(std::span<uint8_t> buffer) override {
    NetResult<size_t> r;
    if (shut_) return r;  // 0: the connection has ended
    WSABUF wsabuf{static_cast<ULONG>(buffer.size()), reinterpret_cast<char*>(buffer.data())};
    WSAOVERLAPPED ov{};
    ov.hEvent = WSACreateEvent();
    if (ov.hEvent == WSA_INVALID_EVENT) {
      r.error = LastError();
      return r;
    }
    DWORD n = 0, flags = 0;
    if (WSARecv(s_, &wsabuf, 1, &n, &flags, &ov, nullptr) == SOCKET_ERROR) {
      int err = WSAGetLastError();
      if (err != WSA_IO_PENDING) {
        r.error = ErrorFrom(err);
        WSACloseEvent(ov.hEvent);
        return r;
      }
    }
    // Completed at once or pending: wait for it, for Shutdown or for the
    // time-out; never leave the buffer and the OVERLAPPED to a pending call.
    HANDLE both[2] = {ov.hEvent, shutdown_event_};
    DWORD wait = WaitForMultipleObjects(2, both, FALSE, receive_timeout_ms_ ? receive_timeout_ms_ : INFINITE);
    if (wait != WAIT_OBJECT_0) CancelIoEx(reinterpret_cast<HANDLE>(s_), &ov);
    if (WSAGetOverlappedResult(s_, &ov, &n, TRUE, &flags)) {
      r.value = n;  // it completed, perhaps just before the cancel
    } else if (wait == WAIT_TIMEOUT) {
      r.error = ErrorFrom(WSAETIMEDOUT);
    } else if (wait != WAIT_OBJECT_0 + 1) {
      r.error = LastError();
    }  // else Shutdown: 0, the connection has ended
    WSACloseEvent(ov.hEvent);
    return r;
  }
  void Shutdown() override {
    shut_ = true;
    SetEvent(shutdown_event_);
    shutdown(s_, SD_BOTH);
  }
  std::optional<Endpoint> PeerEndpoint() const override {
    sockaddr_in sa{};
    int len = sizeof sa;
    if (getpeername(s_, reinterpret_cast<sockaddr*>(&sa), &len) != 0) return std::nullopt;
    return FromSockaddr(sa);
  }

 private:
  SOCKET s_;
  HANDLE shutdown_event_;
  std::atomic<bool> shut_{false};
  DWORD receive_timeout_ms_ = 0;
};

class WinListener final : public TcpListener {
 public:
  explicit WinListener(SOCKET s) : s_(s) {}
  ~WinListener() override { closesocket(s_); }
  uint64_t Handle() const override { return static_cast<uint64_t>(s_); }
  NetResult<std::unique_ptr<TcpStream>> Accept(Millis timeout) override {
    NetResult<std::unique_ptr<TcpStream>> r;
    fd_set read;
    FD_ZERO(&read);
    FD_SET(s_, &read);
    timeval tv = ToTimeval(timeout);
    int ready = select(0, &read, nullptr, nullptr, &tv);
    if (ready == SOCKET_ERROR) {
      r.error = LastError();
      return r;
    }
    if (ready == 0) {
      r.error = ErrorFrom(WSAETIMEDOUT);
      return r;
    }
    SOCKET c = accept(s_, nullptr, nullptr);
    if (c == INVALID_SOCKET) {
      r.error = LastError();
      return r;
    }
    r.value = std::make_unique<WinTcp>(c);
    return r;
  }
  std::optional<Endpoint> LocalEndpoint() const override { return LocalOf(s_); }

 private:
  SOCKET s_;
};

// Calls an IP Helper function that fills a caller-sized buffer, starting with
// `first_size` bytes and growing to the size it asks for; the list may grow
// between calls, so this is tried a few times.
template <class Call>
DWORD CallGrowing(std::vector<unsigned char>* buffer, ULONG first_size, DWORD grow_code, Call call) {
  ULONG size = first_size;
  DWORD rc = grow_code;
  for (int attempt = 0; attempt < 4 && rc == grow_code; ++attempt) {
    buffer->assign(size == 0 ? 1 : size, 0);
    rc = call(buffer->data(), &size);
  }
  return rc;
}

// The file identity (the inode under Wine) of a file. FileIdInfo works for
// the kernel's namespace files, where the basic file information fails.
std::optional<uint64_t> FileIndex(const wchar_t* path) {
  HANDLE h = CreateFileW(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                         FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (h == INVALID_HANDLE_VALUE) return std::nullopt;
  // FILE_ID_INFO and its class (18) as declared for Windows 8 and later.
  struct {
    ULONGLONG volume;
    BYTE id[16];
  } info{};
  BOOL ok = GetFileInformationByHandleEx(h, static_cast<FILE_INFO_BY_HANDLE_CLASS>(18), &info, sizeof info);
  CloseHandle(h);
  if (!ok) return std::nullopt;
  uint64_t id = 0;
  std::memcpy(&id, info.id, sizeof id);
  return id;
}

bool RunningUnderWine() {
  HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
  return ntdll && GetProcAddress(ntdll, "wine_get_version");
}

// On a real PC the program broadcasts on its adapters as designed. Run under
// Wine on a developer's machine it must stay inside a lab network namespace.
std::string WineRefusalText() {
  if (!RunningUnderWine() || InLabNetworkNamespace()) return {};
  return "refusing to broadcast outside a lab network namespace (run inside: ip netns exec vxpc1 ...)";
}

class WinNetwork final : public NetworkPort {
 public:
  bool StartLibrary() override {
    WSADATA data;
    return WSAStartup(MAKEWORD(2, 2), &data) == 0;
  }
  void StopLibrary() override { WSACleanup(); }

  std::optional<OsVersion> QueryOsVersion() override {
    OSVERSIONINFOEXA ex{};
    ex.dwOSVersionInfoSize = sizeof ex;  // 156 bytes
    if (GetVersionExA(reinterpret_cast<OSVERSIONINFOA*>(&ex)))
      return OsVersion{ex.dwMajorVersion, ex.dwMinorVersion};
    OSVERSIONINFOA basic{};
    basic.dwOSVersionInfoSize = sizeof basic;  // 148 bytes
    if (GetVersionExA(&basic)) return OsVersion{basic.dwMajorVersion, basic.dwMinorVersion};
    return std::nullopt;
  }

  AdapterList GetAdaptersInfo() override {
    AdapterList out;
    std::vector<unsigned char> buffer;
    DWORD rc = CallGrowing(&buffer, 640, ERROR_BUFFER_OVERFLOW, [](unsigned char* p, ULONG* size) {
      return ::GetAdaptersInfo(reinterpret_cast<IP_ADAPTER_INFO*>(p), size);
    });
    if (rc == ERROR_NO_DATA) {
      out.status = ListStatus::kNoData;
      return out;
    }
    if (rc != NO_ERROR) {
      out.status = ListStatus::kError;
      out.error = static_cast<int>(rc);
      return out;
    }
    for (auto* a = reinterpret_cast<IP_ADAPTER_INFO*>(buffer.data()); a; a = a->Next) {
      AdapterInfo info;
      info.type = a->Type;
      UINT n = a->AddressLength > 8 ? 8 : a->AddressLength;
      info.address.assign(a->Address, a->Address + n);
      info.ip =
          std::string(a->IpAddressList.IpAddress.String,
                      strnlen(a->IpAddressList.IpAddress.String, sizeof a->IpAddressList.IpAddress.String));
      info.device = std::string(a->AdapterName, strnlen(a->AdapterName, sizeof a->AdapterName));
      out.adapters.push_back(std::move(info));
    }
    return out;
  }

  InterfaceTable GetIfTable() override {
    InterfaceTable out;
    std::vector<unsigned char> buffer;
    DWORD rc = CallGrowing(&buffer, 864, ERROR_INSUFFICIENT_BUFFER, [](unsigned char* p, ULONG* size) {
      return ::GetIfTable(reinterpret_cast<MIB_IFTABLE*>(p), size, FALSE);
    });
    if (rc != NO_ERROR) {
      out.status = ListStatus::kError;
      out.error = static_cast<int>(rc);
      return out;
    }
    auto* table = reinterpret_cast<MIB_IFTABLE*>(buffer.data());
    for (DWORD i = 0; i < table->dwNumEntries; ++i) {
      const MIB_IFROW& row = table->table[i];
      InterfaceRow r;
      r.index = row.dwIndex;
      r.type = row.dwType;
      DWORD n = row.dwPhysAddrLen > 8 ? 8 : row.dwPhysAddrLen;
      r.address.assign(row.bPhysAddr, row.bPhysAddr + n);
      out.rows.push_back(std::move(r));
    }
    return out;
  }

  AddressTable GetIpAddrTable() override {
    AddressTable out;
    std::vector<unsigned char> buffer;
    DWORD rc = CallGrowing(&buffer, 0, ERROR_INSUFFICIENT_BUFFER, [](unsigned char* p, ULONG* size) {
      return ::GetIpAddrTable(reinterpret_cast<MIB_IPADDRTABLE*>(p), size, FALSE);
    });
    if (rc != NO_ERROR) {
      out.status = ListStatus::kError;
      return out;
    }
    auto* table = reinterpret_cast<MIB_IPADDRTABLE*>(buffer.data());
    for (DWORD i = 0; i < table->dwNumEntries; ++i)
      out.rows.push_back(AddressRow{table->table[i].dwIndex, Ipv4::FromNetworkOrder(table->table[i].dwAddr)});
    return out;
  }

  UdpListenerTable GetUdpTable() override {
    UdpListenerTable out;
    ULONG size = 0;
    DWORD rc = ::GetUdpTable(nullptr, &size, FALSE);  // learns the size
    std::vector<unsigned char> buffer;
    if (rc == ERROR_INSUFFICIENT_BUFFER) {
      buffer.assign(size, 0);
      rc = ::GetUdpTable(reinterpret_cast<MIB_UDPTABLE*>(buffer.data()), &size, FALSE);
    }
    switch (rc) {
      case NO_ERROR:
        break;
      case ERROR_INSUFFICIENT_BUFFER:
        out.status = UdpTableStatus::kInsufficientBuffer;
        return out;
      case ERROR_INVALID_PARAMETER:
        out.status = UdpTableStatus::kInvalidParameter;
        return out;
      case ERROR_NOT_SUPPORTED:
        out.status = UdpTableStatus::kNotSupported;
        return out;
      default:
        out.status = UdpTableStatus::kOther;
        return out;
    }
    auto* table = reinterpret_cast<MIB_UDPTABLE*>(buffer.data());
    for (DWORD i = 0; i < table->dwNumEntries; ++i)
      out.local_ports.push_back(ntohs(static_cast<u_short>(table->table[i].dwLocalPort)));
    return out;
  }

  NetResult<std::unique_ptr<UdpSocket>> CreateUdp() override {
    NetResult<std::unique_ptr<UdpSocket>> r;
    SOCKET s = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
    if (s == INVALID_SOCKET) {
      r.error = LastError();
      return r;
    }
    r.value = std::make_unique<WinUdp>(s, &refusal_);
    return r;
  }

  NetResult<std::unique_ptr<TcpListener>> ListenTcp(const Endpoint& local, int backlog,
                                                    bool reuse_address) override {
    NetResult<std::unique_ptr<TcpListener>> r;
    SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (s == INVALID_SOCKET) {
      r.error = LastError();
      return r;
    }
    auto listener = std::make_unique<WinListener>(s);
    SetBoolOption(s, SO_DEBUG);
    if (reuse_address) SetBoolOption(s, SO_REUSEADDR);
    sockaddr_in sa = ToSockaddr(local);
    if (bind(s, reinterpret_cast<sockaddr*>(&sa), sizeof sa) != 0 || listen(s, backlog) != 0) {
      r.error = LastError();
      return r;
    }
    r.value = std::move(listener);
    return r;
  }

  NetResult<std::unique_ptr<TcpStream>> ConnectTcp(const Endpoint& to, Millis timeout) override {
    NetResult<std::unique_ptr<TcpStream>> r;
    SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (s == INVALID_SOCKET) {
      r.error = LastError();
      return r;
    }
    auto stream = std::make_unique<WinTcp>(s);
    u_long nonblocking = 1;
    ioctlsocket(s, FIONBIO, &nonblocking);
    sockaddr_in sa = ToSockaddr(to);
    if (connect(s, reinterpret_cast<sockaddr*>(&sa), sizeof sa) == SOCKET_ERROR) {
      int err = WSAGetLastError();
      if (err != WSAEWOULDBLOCK) {
        r.error = ErrorFrom(err);
        return r;
      }
      fd_set write, except;
      FD_ZERO(&write);
      FD_ZERO(&except);
      FD_SET(s, &write);
      FD_SET(s, &except);
      timeval tv = ToTimeval(timeout);
      int ready = select(0, nullptr, &write, &except, &tv);
      if (ready == 0) {
        r.error = ErrorFrom(WSAETIMEDOUT);
        return r;
      }
      if (ready == SOCKET_ERROR) {
        r.error = LastError();
        return r;
      }
      if (FD_ISSET(s, &except) || !FD_ISSET(s, &write)) {
        int so_error = 0;
        int len = sizeof so_error;
        getsockopt(s, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&so_error), &len);
        r.error = ErrorFrom(so_error != 0 ? so_error : WSAECONNREFUSED);
        return r;
      }
    }
    u_long blocking = 0;
    ioctlsocket(s, FIONBIO, &blocking);
    r.value = std::move(stream);
    return r;
  }

  SelectResult SelectReadable(std::span<UdpSocket* const> sockets, Millis timeout) override {
    SelectResult r;
    r.readable.assign(sockets.size(), false);
    if (sockets.empty()) {
      // select refuses an empty set; wait out the time instead of spinning.
      Sleep(static_cast<DWORD>(timeout.count()));
      return r;
    }
    fd_set read;
    FD_ZERO(&read);
    for (UdpSocket* s : sockets) FD_SET(static_cast<SOCKET>(s->Handle()), &read);
    timeval tv = ToTimeval(timeout);
    int ready = select(0, &read, nullptr, nullptr, &tv);
    if (ready == SOCKET_ERROR) {
      r.error = LastError();
      return r;
    }
    for (size_t i = 0; i < sockets.size(); ++i) {
      if (FD_ISSET(static_cast<SOCKET>(sockets[i]->Handle()), &read)) {
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
  const std::string refusal_ = WineRefusalText();
};

}  // namespace

// Under Wine: is the network namespace of the Linux process running us one
// of the lab's (/run/netns/vx*)? Compared by file index (the inode).
bool InLabNetworkNamespace() {
  if (!RunningUnderWine()) return false;
  auto self = FileIndex(L"Z:\\proc\\self\\ns\\net");
  if (!self) return false;
  WIN32_FIND_DATAW found;
  HANDLE find = FindFirstFileW(L"Z:\\run\\netns\\vx*", &found);
  if (find == INVALID_HANDLE_VALUE) return false;
  bool inside = false;
  do {
    std::wstring path = std::wstring(L"Z:\\run\\netns\\") + found.cFileName;
    if (FileIndex(path.c_str()) == self) inside = true;
  } while (!inside && FindNextFileW(find, &found));
  FindClose(find);
  return inside;
}

std::unique_ptr<NetworkPort> MakeSystemNetwork() { return std::make_unique<WinNetwork>(); }

}  // namespace vx::net
