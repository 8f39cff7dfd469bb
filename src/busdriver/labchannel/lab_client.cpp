#include "busdriver/labchannel/lab_client.h"

#include <condition_variable>
#include <cstring>
#include <map>
#include <mutex>
#include <thread>

#include "busdriver/labchannel/frame.h"
#include "busdriver/records.h"
#include "platform/trace.h"

namespace vx::lab {
namespace {

using bus::IoResult;

// Keeps the socket library started while a channel or a handle lives.
class NetworkUse {
 public:
  explicit NetworkUse(std::shared_ptr<net::NetworkPort> network)
      : network_(std::move(network)), started_(network_->StartLibrary()) {}
  ~NetworkUse() {
    if (started_) network_->StopLibrary();
  }
  NetworkUse(const NetworkUse&) = delete;
  NetworkUse& operator=(const NetworkUse&) = delete;
  net::NetworkPort& network() { return *network_; }
  bool started() const { return started_; }

 private:
  std::shared_ptr<net::NetworkPort> network_;
  bool started_;
};

class LabHandle final : public bus::DriverHandle {
 public:
  LabHandle(std::shared_ptr<NetworkUse> use, std::unique_ptr<net::TcpStream> sock)
      : use_(std::move(use)), sock_(std::move(sock)) {
    receiver_ = std::thread([this] { Receive(); });
  }
  ~LabHandle() override {
    Close();
    if (receiver_.joinable()) receiver_.join();
  }

  // Opens the handle on the emulator; false with the emulator's error.
  bool Open(uint32_t op, const std::string& path, uint32_t* last_error) {
    Frame f;
    f.op = op;
    f.payload.assign(path.begin(), path.end());
    auto reply = Transact(std::move(f), false);
    if (!reply || reply->status != 0) {
      *last_error = reply ? uint32_t(reply->status) : bus::kErrorFileNotFound;
      return false;
    }
    handle_id_ = reply->handle;
    return true;
  }

  IoResult Ioctl(uint32_t code, std::span<uint8_t> buffer, size_t in_size) override {
    Frame f;
    f.op = code;
    f.handle = handle_id_;
    f.status = int32_t(buffer.size());
    f.payload.assign(buffer.begin(), buffer.begin() + long(std::min(in_size, buffer.size())));
    return Complete(Transact(std::move(f), false), buffer);
  }

  IoResult Read(std::span<uint8_t> buffer) override {
    Frame f;
    f.op = kOpRead;
    f.handle = handle_id_;
    f.status = int32_t(buffer.size());
    return Complete(Transact(std::move(f), true), buffer);
  }

  void InterruptReads() override {
    std::lock_guard lock(mutex_);
    interrupted_ = true;
    cv_.notify_all();
  }

  bool Close() override {
    {
      std::lock_guard lock(mutex_);
      if (closed_) return false;
      closed_ = true;
      cv_.notify_all();
    }
    sock_->Shutdown();  // the emulator drops the handle and its held read
    return true;
  }

  uint32_t TraceId() const override { return handle_id_; }

 private:
  struct Pending {
    bool done = false;
    Frame reply;
  };

  // Sends a request and waits for its reply. nullopt: the connection is
  // gone, the handle closed, or (for reads) the reads were interrupted.
  std::optional<Frame> Transact(Frame f, bool is_read) {
    f.type = FrameType::kRequest;
    std::unique_lock lock(mutex_);
    if (closed_ || dead_ || (is_read && interrupted_)) return std::nullopt;
    f.id = ++next_id_;
    uint32_t id = f.id;
    pending_[id];
    lock.unlock();
    bool sent;
    {
      std::lock_guard send_lock(send_mutex_);
      sent = sock_->Send(EncodeFrame(f)).ok();
    }
    lock.lock();
    if (sent)
      cv_.wait(lock, [&] { return pending_[id].done || closed_ || dead_ || (is_read && interrupted_); });
    std::optional<Frame> out;
    if (sent && pending_[id].done) out = std::move(pending_[id].reply);
    pending_.erase(id);  // a late reply to an abandoned read is dropped
    return out;
  }

  IoResult Complete(const std::optional<Frame>& reply, std::span<uint8_t> buffer) {
    IoResult r;
    if (!reply) {
      std::lock_guard lock(mutex_);
      r.last_error = closed_ || dead_ ? bus::kErrorInvalidHandle : bus::kErrorOperationAborted;
      return r;
    }
    r.ok = reply->status == 0;
    r.last_error = uint32_t(reply->status);
    r.bytes = uint32_t(reply->payload.size());
    if (r.ok && !reply->payload.empty())
      std::memcpy(buffer.data(), reply->payload.data(), std::min(buffer.size(), reply->payload.size()));
    return r;
  }

  void Receive() {
    FrameDecoder decoder;
    uint8_t chunk[8192];
    for (;;) {
      auto got = sock_->Receive(chunk);
      if (!got.ok() || got.value == 0) break;
      decoder.Feed(std::span<const uint8_t>(chunk, got.value));
      while (auto f = decoder.Next()) {
        if (f->type != FrameType::kReply) continue;
        std::lock_guard lock(mutex_);
        auto it = pending_.find(f->id);
        if (it == pending_.end()) continue;
        it->second.reply = std::move(*f);
        it->second.done = true;
        cv_.notify_all();
      }
      if (decoder.Broken()) {
        TraceLine("lab channel: malformed frame from the emulator, connection dropped");
        sock_->Shutdown();
        break;
      }
    }
    std::lock_guard lock(mutex_);
    dead_ = true;
    cv_.notify_all();
  }

  std::shared_ptr<NetworkUse> use_;  // outlives sock_
  std::unique_ptr<net::TcpStream> sock_;
  std::mutex send_mutex_;
  std::mutex mutex_;
  std::condition_variable cv_;
  std::map<uint32_t, Pending> pending_;
  uint32_t next_id_ = 0;
  uint32_t handle_id_ = 0;
  bool interrupted_ = false, closed_ = false, dead_ = false;
  std::thread receiver_;
};

class LabChannel final : public bus::DriverChannel {
 public:
  LabChannel(net::Endpoint e, std::shared_ptr<net::NetworkPort> network)
      : endpoint_(e), use_(std::make_shared<NetworkUse>(std::move(network))) {}

  std::shared_ptr<bus::DriverHandle> OpenMasterBus() override {
    uint32_t err = 0;
    auto h = Open(kOpOpenMaster, {}, &err);
    if (!h)
      TraceLine("GetMasterBus() : Fail to CreateFile : " + std::to_string(err) + " : ERROR_FILE_NOT_FOUND");
    return h;
  }

  std::shared_ptr<bus::DriverHandle> OpenPath(const std::string& path, uint32_t* last_error) override {
    uint32_t err = 0;
    auto h = Open(kOpOpenPath, path, &err);
    if (!h && last_error) *last_error = err;
    return h;
  }

 private:
  std::shared_ptr<bus::DriverHandle> Open(uint32_t op, const std::string& path, uint32_t* err) {
    *err = bus::kErrorFileNotFound;
    if (!use_->started()) {
      TraceLine("lab channel: the socket library did not start");
      return nullptr;
    }
    auto sock = use_->network().ConnectTcp(endpoint_, kConnectTimeout);
    if (!sock.ok()) {
      TraceLine("lab channel: connect " + endpoint_.address.ToString() + ":" +
                std::to_string(endpoint_.port) + ": " + sock.error.name);
      return nullptr;
    }
    // Requests are small and answered at once: never hold one back.
    sock.value->SetNoDelay(true);
    auto h = std::make_shared<LabHandle>(use_, std::move(sock.value));
    if (!h->Open(op, path, err)) return nullptr;
    return h;
  }

  static constexpr net::Millis kConnectTimeout{5000};
  net::Endpoint endpoint_;
  std::shared_ptr<NetworkUse> use_;
};

}  // namespace

std::optional<net::Endpoint> ParseEndpoint(const std::string& text) {
  size_t colon = text.rfind(':');
  if (colon == std::string::npos) return std::nullopt;
  std::string host = text.substr(0, colon), port = text.substr(colon + 1);
  if (host == "localhost") host = "127.0.0.1";
  auto address = net::Ipv4::Parse(host);
  if (!address || port.empty() || port.size() > 5) return std::nullopt;
  unsigned long p = 0;
  for (char c : port) {
    if (c < '0' || c > '9') return std::nullopt;
    p = p * 10 + unsigned(c - '0');
  }
  if (p == 0 || p > 65535) return std::nullopt;
  return net::Endpoint{*address, uint16_t(p)};
}

std::unique_ptr<bus::DriverChannel> MakeLabDriverChannel(const net::Endpoint& endpoint,
                                                         std::shared_ptr<net::NetworkPort> network) {
  if (!network) network = net::MakeSystemNetwork();
  return std::make_unique<LabChannel>(endpoint, std::move(network));
}

}  // namespace vx::lab
