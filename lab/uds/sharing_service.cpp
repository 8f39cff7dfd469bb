#include "sharing_service.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>

#include "common/lab_sockets.h"
#include "platform/net/network.h"

namespace vx::lab {

SharingService::Server::~Server() {
  for (auto& c : conns) ::close(c->fd);
  if (listen_fd >= 0) ::close(listen_fd);
}

SharingService::SharingService(Clock& clock) : clock_(clock) {
  if (pipe2(wake_, O_CLOEXEC | O_NONBLOCK) != 0) wake_[0] = wake_[1] = -1;
  thread_ = std::thread([this] { Loop(); });
}

SharingService::~SharingService() {
  {
    std::lock_guard lock(mutex_);
    stop_ = true;
  }
  Wake();
  thread_.join();
  servers_.clear();
  ::close(wake_[0]);
  ::close(wake_[1]);
}

void SharingService::Wake() {
  uint8_t b = 1;
  if (::write(wake_[1], &b, 1) < 0) {
  }
}

std::string SharingService::AddServer(const std::string& name, const std::string& ip, uint16_t port,
                                      std::vector<SharedDevice> devices) {
  auto s = std::make_unique<Server>();
  s->name = name;
  s->ip = ip;
  s->devices = std::move(devices);
  std::string why;
  {
    std::lock_guard lock(mutex_);
    servers_.erase(name);  // a restart drops every connection and hold
    ++generation_;
    s->listen_fd = ListenTcp(ip, port, &s->port, &why);
    if (s->listen_fd < 0) return why;
    servers_[name] = std::move(s);
  }
  Wake();
  return {};
}

void SharingService::RemoveServer(const std::string& name) {
  {
    std::lock_guard lock(mutex_);
    servers_.erase(name);
    ++generation_;
  }
  Wake();
}

uint16_t SharingService::PortOf(const std::string& name) {
  std::lock_guard lock(mutex_);
  auto it = servers_.find(name);
  return it == servers_.end() ? 0 : it->second->port;
}

SharingService::Server* SharingService::Find(const std::string& key) {
  for (auto& [name, s] : servers_)
    if (name == key || s->ip == key) return s.get();
  return nullptr;
}

SharedDevice* SharingService::Device(Server& s, int device_no, bool plugged_only) {
  for (auto& d : s.devices)
    if (d.device_no == device_no && (d.plugged || !plugged_only)) return &d;
  return nullptr;
}

void SharingService::Notify(Server& s) {
  Frame n;
  n.type = FrameType::kNotify;
  n.op = kOpDevicesChanged;
  auto bytes = EncodeFrame(n);
  for (auto& c : s.conns)
    if (!c->pc.empty()) SendAllFd(c->fd, bytes);
}

void SharingService::Relay(Server& s, Conn& from, const bus::RequestRecord& req, int32_t* status) {
  SharedDevice* d = Device(s, req.device_no);
  *status = kErrorNobodyToAsk;
  if (req.command < 1 || req.command > 5) return;
  if (!d && req.command != 2) {
    *status = kErrorNoSuchDevice;
    return;
  }
  bus::EventRecord e;
  e.code = bus::kEventRequestToUse;
  e.command = req.command;
  e.device_no = int(int8_t(req.device_no));
  auto server_ip = net::Ipv4::Parse(s.ip);
  e.server_ip = server_ip ? server_ip->NetworkOrder() : 0;
  e.asker_ip = from.peer_ip;
  e.host_name = from.pc;
  Frame n;
  n.type = FrameType::kNotify;
  n.op = kOpRequestEvent;
  n.payload = bus::EncodeEvent(e);
  auto bytes = EncodeFrame(n);
  for (auto& c : s.conns) {
    if (c.get() == &from || c->pc.empty()) continue;
    // A refusal goes to the asker's address; everything else to the holder.
    bool target = req.command == 2 ? c->peer_ip == req.ip : (!d->owner.empty() && c->pc == d->owner);
    if (target && SendAllFd(c->fd, bytes)) *status = 0;
  }
}

void SharingService::Handle(Server& s, Conn& c, const Frame& f) {
  Frame r;
  r.type = FrameType::kReply;
  r.id = f.id;
  r.op = f.op;
  if (f.op == kOpHello) {
    std::string pc(f.payload.begin(), f.payload.end());
    r.status = pc.empty() || pc.size() > bus::kMaxTextBytes ? 87 : 0;
    if (r.status == 0) c.pc = pc;
    SendAllFd(c.fd, EncodeFrame(r));
    return;
  }
  if (c.pc.empty()) {
    r.status = 5;  // access denied before the hello
    SendAllFd(c.fd, EncodeFrame(r));
    return;
  }
  bool changed = false;
  int no = f.payload.empty() ? -1 : f.payload[0];
  SharedDevice* d = no >= 0 ? Device(s, no) : nullptr;
  switch (f.op) {
    case bus::kIoctlGetDeviceList: {
      bus::DeviceList list;
      for (const auto& dev : s.devices) {
        if (!dev.plugged) continue;
        bus::DeviceEntry e;
        e.device_no = uint8_t(dev.device_no);
        e.vid = dev.vid;
        e.pid = dev.pid;
        e.lock_type = dev.owner.empty() ? 0 : dev.lock_type;
        e.lock_count = dev.lock_count;
        e.usb_class = dev.usb_class;
        e.owner = dev.owner;
        e.manufacturer = dev.manufacturer;
        e.product = dev.product;
        e.serial = dev.serial;
        e.extra = dev.extra;
        list.devices.push_back(std::move(e));
      }
      r.payload = bus::EncodeDeviceList(list);
      if (r.payload.empty()) r.status = 31;
      break;
    }
    case bus::kIoctlClaimDevice:
      if (!d) {
        r.status = kErrorNoSuchDevice;
      } else if (d->printer_port) {
        r.status = bus::kErrorPortIsPrinterServer;
      } else if (d->owner.empty()) {
        d->owner = c.pc;
        ++d->hold;
        changed = true;
      } else if (d->owner != c.pc) {
        r.status = kErrorHeldByOther;
      }
      if (r.status == 0) r.payload = {uint8_t(no)};
      break;
    case bus::kIoctlReleaseDevice:
      if (!d || d->owner != c.pc) {
        r.status = bus::kErrorNotHeld;
      } else {
        d->owner.clear();
        d->lock_type = d->lock_count = 0;
        d->lock_until.reset();
        changed = true;
        r.payload = {uint8_t(no)};
      }
      break;
    case bus::kIoctlLockDevice:
    case bus::kIoctlUnlockDevice: {
      auto lock = bus::ParseLock(f.payload);
      if (!lock) {
        r.status = 87;
      } else if (!d) {
        r.status = kErrorNoSuchDevice;
      } else if (d->owner != c.pc) {
        r.status = kErrorHeldByOther;
      } else if (f.op == bus::kIoctlLockDevice) {
        d->lock_type = lock->lock_type;
        ++d->lock_count;
        d->lock_until = clock_.Now() + std::chrono::seconds(lock->lock_time);
        changed = true;
      } else {
        d->lock_count = std::max(0, d->lock_count - 1);
        if (d->lock_count == 0) {
          d->lock_type = 0;
          d->lock_until.reset();
        }
        changed = true;
      }
      if (r.status == 0) r.payload = f.payload;
      break;
    }
    case bus::kIoctlRequestDevice: {
      auto req = bus::ParseRequest(f.payload);
      if (!req) {
        r.status = 87;
      } else {
        Relay(s, c, *req, &r.status);
        if (r.status == 0) r.payload = f.payload;
      }
      break;
    }
    case kOpDeviceReport:
      // The lab's own request: what a PC needs to play the device's arrival.
      if (!d) {
        r.status = kErrorNoSuchDevice;
      } else {
        pnp::DeviceReport report;
        report.device_no = d->device_no;
        report.vid = d->vid;
        report.pid = d->pid;
        report.usb_class = d->usb_class;
        report.manufacturer = d->manufacturer;
        report.product = d->product;
        report.serial = d->serial;
        report.owner = d->owner;
        report.hold = d->hold;
        report.pnp = d->pnp;
        std::string json = pnp::DeviceReportJson(report).dump();
        r.payload.assign(json.begin(), json.end());
      }
      break;
    default:
      r.status = 1;  // invalid function
  }
  SendAllFd(c.fd, EncodeFrame(r));
  if (changed) Notify(s);
}

void SharingService::DropConn(Server& s, size_t index) {
  std::string pc = s.conns[index]->pc;
  ::close(s.conns[index]->fd);
  s.conns.erase(s.conns.begin() + long(index));
  if (pc.empty()) return;
  for (auto& c : s.conns)
    if (c->pc == pc) return;  // the PC is still connected
  bool changed = false;
  for (auto& d : s.devices) {
    if (d.owner != pc) continue;
    d.owner.clear();
    d.lock_type = d.lock_count = 0;
    d.lock_until.reset();
    changed = true;
  }
  if (changed) Notify(s);
}

void SharingService::ExpireLocks() {
  auto now = clock_.Now();
  for (auto& [name, s] : servers_) {
    bool changed = false;
    for (auto& d : s->devices) {
      if (!d.lock_until || now < *d.lock_until) continue;
      // An expired lock ends the hold: the device is free for other PCs.
      d.owner.clear();
      d.lock_type = d.lock_count = 0;
      d.lock_until.reset();
      changed = true;
    }
    if (changed) Notify(*s);
  }
}

void SharingService::Loop() {
  for (;;) {
    std::vector<pollfd> fds;
    std::vector<std::pair<Server*, int>> who;  // server, connection index (-1: listener)
    uint64_t generation;
    {
      std::lock_guard lock(mutex_);
      if (stop_) return;
      generation = generation_;
      fds.push_back({wake_[0], POLLIN, 0});
      who.push_back({nullptr, -1});
      for (auto& [name, s] : servers_) {
        fds.push_back({s->listen_fd, POLLIN, 0});
        who.push_back({s.get(), -1});
        for (size_t i = 0; i < s->conns.size(); ++i) {
          fds.push_back({s->conns[i]->fd, POLLIN, 0});
          who.push_back({s.get(), int(i)});
        }
      }
    }
    ::poll(fds.data(), fds.size(), 200);
    std::lock_guard lock(mutex_);
    if (stop_) return;
    uint8_t drain[64];
    while (::read(wake_[0], drain, sizeof drain) > 0) {
    }
    // Servers or connections changed while polling: the pointers and indexes
    // gathered above may be stale, so poll again.
    if (generation == generation_) {
      std::vector<std::pair<Server*, int>> dead;
      for (size_t k = 1; k < fds.size(); ++k) {
        if (!fds[k].revents) continue;
        auto [s, index] = who[k];
        if (index < 0) {
          int c = accept4(s->listen_fd, nullptr, nullptr, SOCK_CLOEXEC);
          if (c < 0) continue;
          timeval tv{1, 0};
          setsockopt(c, SOL_SOCKET, SO_SNDTIMEO, &tv, sizeof tv);
          auto conn = std::make_unique<Conn>();
          conn->fd = c;
          conn->peer_ip = PeerIpv4(c);
          s->conns.push_back(std::move(conn));
          continue;
        }
        Conn& c = *s->conns[size_t(index)];
        uint8_t buf[8192];
        ssize_t n = ::recv(c.fd, buf, sizeof buf, MSG_DONTWAIT);
        if (n == 0 || (n < 0 && errno != EAGAIN && errno != EINTR)) {
          dead.push_back({s, index});
          continue;
        }
        if (n < 0) continue;
        c.decoder.Feed(std::span<const uint8_t>(buf, size_t(n)));
        while (auto f = c.decoder.Next())
          if (f->type == FrameType::kRequest) Handle(*s, c, *f);
        if (c.decoder.Broken()) dead.push_back({s, index});
      }
      // Highest index first, so the others stay valid.
      std::sort(dead.begin(), dead.end(), [](auto& a, auto& b) { return a.second > b.second; });
      for (auto& [s, index] : dead) DropConn(*s, size_t(index));
    }
    ExpireLocks();
  }
}

}  // namespace vx::lab
