#include "channel_server.h"

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <condition_variable>
#include <map>

#include "busdriver/labchannel/frame.h"
#include "common/lab_sockets.h"

namespace vx::busd {

namespace {
constexpr int32_t kFileNotFound = 2;
constexpr int32_t kInvalidHandle = 6;
constexpr int32_t kInvalidFunction = 1;
}  // namespace

struct ChannelServer::Connection {
  ~Connection() {
    if (fd >= 0) ::close(fd);
  }
  int fd = -1;
  std::mutex send_mutex;
  std::mutex mutex;
  struct Handle {
    bool master = false;
    uint32_t server_ip = 0;
    std::shared_ptr<EventQueue> queue;
  };
  std::map<uint32_t, Handle> handles;
  uint32_t next_handle = 0x100;

  void Send(const lab::Frame& f) {
    std::lock_guard lock(send_mutex);
    lab::SendAllFd(fd, lab::EncodeFrame(f));
  }
  void Reply(const lab::Frame& req, int32_t status, std::vector<uint8_t> payload = {}, uint32_t handle = 0) {
    lab::Frame r;
    r.type = lab::FrameType::kReply;
    r.id = req.id;
    r.handle = handle ? handle : req.handle;
    r.op = req.op;
    r.status = status;
    r.payload = std::move(payload);
    Send(r);
  }
};

ChannelServer::ChannelServer(Emulator& emulator, const std::string& ip, uint16_t port) : emulator_(emulator) {
  fd_ = lab::ListenTcp(ip, port, &port_, &error_);
  if (fd_ >= 0) acceptor_ = std::thread([this] { AcceptLoop(); });
}

ChannelServer::~ChannelServer() {
  stop_ = true;
  if (acceptor_.joinable()) acceptor_.join();
  {
    std::lock_guard lock(mutex_);
    for (int fd : open_fds_) ::shutdown(fd, SHUT_RDWR);
  }
  while (workers_ > 0) std::this_thread::sleep_for(std::chrono::milliseconds(5));
  if (fd_ >= 0) ::close(fd_);
}

void ChannelServer::AcceptLoop() {
  while (!stop_) {
    pollfd p{fd_, POLLIN, 0};
    if (poll(&p, 1, 200) != 1) continue;
    int c = accept4(fd_, nullptr, nullptr, SOCK_CLOEXEC);
    if (c < 0) continue;
    auto conn = std::make_shared<Connection>();
    conn->fd = c;
    {
      std::lock_guard lock(mutex_);
      open_fds_.insert(c);
    }
    ++workers_;
    std::thread([this, conn] {
      Serve(conn);
      --workers_;
    }).detach();
  }
}

void ChannelServer::Serve(std::shared_ptr<Connection> c) {
  lab::FrameDecoder decoder;
  uint8_t chunk[8192];
  for (;;) {
    ssize_t n = ::recv(c->fd, chunk, sizeof chunk, 0);
    if (n <= 0) break;
    decoder.Feed(std::span<const uint8_t>(chunk, size_t(n)));
    while (auto f = decoder.Next()) {
      if (f->type != lab::FrameType::kRequest) continue;
      lab::Frame req = std::move(*f);
      if (req.op == lab::kOpOpenMaster || req.op == lab::kOpOpenPath) {
        Connection::Handle h;
        if (req.op == lab::kOpOpenMaster) {
          h.master = true;
          h.queue = emulator_.OpenMaster();
        } else {
          auto ip = bus::ParseTcpBusPath(std::string(req.payload.begin(), req.payload.end()));
          if (!ip || !emulator_.TcpBusExists(*ip)) {
            c->Reply(req, kFileNotFound);
            continue;
          }
          h.server_ip = *ip;
        }
        uint32_t id;
        {
          std::lock_guard lock(c->mutex);
          id = ++c->next_handle;
          c->handles[id] = h;
        }
        c->Reply(req, 0, {}, id);
        continue;
      }
      Connection::Handle h;
      {
        std::lock_guard lock(c->mutex);
        auto it = c->handles.find(req.handle);
        if (it == c->handles.end()) {
          c->Reply(req, kInvalidHandle);
          continue;
        }
        h = it->second;
        if (req.op == lab::kOpClose) {
          if (h.queue) emulator_.CloseMaster(h.queue);
          c->handles.erase(it);
        }
      }
      if (req.op == lab::kOpClose) {
        c->Reply(req, 0);
      } else if (req.op == lab::kOpRead) {
        if (!h.master) {
          c->Reply(req, kInvalidFunction);
          continue;
        }
        size_t room = size_t(std::max(0, req.status));
        h.queue->Read([c, req, room](int32_t status, std::vector<uint8_t> record) {
          if (record.size() > room) record.resize(room);
          c->Reply(req, status, std::move(record));
        });
      } else {
        // IOCTLs may wait on a server: each runs on its own worker so that
        // other calls on this connection go on meanwhile.
        ++workers_;
        std::thread([this, c, req, h] {
          size_t room = size_t(std::max(0, req.status));
          IoctlReply r = h.master ? emulator_.MasterIoctl(*h.queue, req.op, req.payload, room)
                                  : emulator_.TcpBusIoctl(h.server_ip, req.op, req.payload, room);
          c->Reply(req, r.status, r.status == 0 ? std::move(r.out) : std::vector<uint8_t>{});
          --workers_;
        }).detach();
      }
    }
    if (decoder.Broken()) break;
  }
  std::map<uint32_t, Connection::Handle> handles;
  {
    std::lock_guard lock(c->mutex);
    handles.swap(c->handles);
  }
  for (auto& [id, h] : handles)
    if (h.queue) emulator_.CloseMaster(h.queue);
  {
    std::lock_guard lock(mutex_);
    open_fds_.erase(c->fd);
  }
  // Workers still holding `c` finish their replies on a shut socket; the
  // last one closes it.
  ::shutdown(c->fd, SHUT_RDWR);
}

}  // namespace vx::busd
