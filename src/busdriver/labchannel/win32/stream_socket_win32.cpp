#include <winsock2.h>
#include <ws2tcpip.h>

#include "busdriver/labchannel/stream_socket.h"

namespace vx::lab {
namespace {

bool StartWinsock() {
  static const bool ok = [] {
    WSADATA d;
    return WSAStartup(MAKEWORD(2, 2), &d) == 0;
  }();
  return ok;
}

class WinsockStream final : public StreamSocket {
 public:
  explicit WinsockStream(SOCKET s) : s_(s) {}
  ~WinsockStream() override { closesocket(s_); }
  bool SendAll(std::span<const uint8_t> b) override {
    size_t done = 0;
    while (done < b.size()) {
      int n = send(s_, reinterpret_cast<const char*>(b.data() + done), int(b.size() - done), 0);
      if (n <= 0) return false;
      done += size_t(n);
    }
    return true;
  }
  long Receive(std::span<uint8_t> into) override {
    int n = recv(s_, reinterpret_cast<char*>(into.data()), int(into.size()), 0);
    return n == SOCKET_ERROR ? -1 : long(n);
  }
  void Shutdown() override { shutdown(s_, SD_BOTH); }

 private:
  SOCKET s_;
};

}  // namespace

std::unique_ptr<StreamSocket> ConnectStream(const std::string& ipv4, uint16_t port, std::string* why) {
  if (!StartWinsock()) {
    if (why) *why = "WSAStartup failed";
    return nullptr;
  }
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(port);
  if (inet_pton(AF_INET, ipv4.c_str(), &a.sin_addr) != 1) {
    if (why) *why = "bad address " + ipv4;
    return nullptr;
  }
  SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  if (s == INVALID_SOCKET) {
    if (why) *why = "socket failed " + std::to_string(WSAGetLastError());
    return nullptr;
  }
  if (connect(s, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
    if (why)
      *why = "connect " + ipv4 + ":" + std::to_string(port) + " failed " + std::to_string(WSAGetLastError());
    closesocket(s);
    return nullptr;
  }
  BOOL one = TRUE;
  setsockopt(s, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&one), sizeof one);
  return std::make_unique<WinsockStream>(s);
}

}  // namespace vx::lab
