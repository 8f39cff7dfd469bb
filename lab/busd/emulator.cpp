#include "emulator.h"

#include <cstdio>
#include <cstring>

#include "server_link.h"

namespace vx::busd {

using Clock = std::chrono::steady_clock;

namespace {

constexpr int32_t kInvalidFunction = 1;
constexpr int32_t kGenFailure = 31;
constexpr int32_t kInvalidParameter = 87;

bool HasPrefix(const std::vector<uint8_t>& b, const char* text) {
  size_t n = std::strlen(text);
  return b.size() >= n && std::memcmp(b.data(), text, n) == 0;
}

std::string CText(const std::vector<uint8_t>& b, size_t at, size_t width) {
  std::string s;
  for (size_t i = at; i < at + width && i < b.size() && b[i]; ++i) s.push_back(char(b[i]));
  return s.size() > bus::kMaxTextBytes ? s.substr(0, bus::kMaxTextBytes) : s;
}

}  // namespace

bool IsFullRecord(const std::vector<uint8_t>& record) {
  // A reply or long announcement is forwarded with its header rewritten to
  // "RANNOU", 0x25, 0x4E and five zero bytes; a short announcement keeps
  // its own bytes ("RANNOU", NUL, the MAC), so byte 6 tells them apart.
  static constexpr uint8_t kHeader[13] = {'R', 'A', 'N', 'N', 'O', 'U', 0x25, 0x4E, 0, 0, 0, 0, 0};
  return record.size() == 173 && std::memcmp(record.data(), kHeader, sizeof kHeader) == 0;
}

std::string ServerNameOf(const std::vector<uint8_t>& record) {
  std::string name = CText(record, 55, 32);
  return name.empty() ? CText(record, 35, 20) : name;
}

// ---- EventQueue ------------------------------------------------------------

void EventQueue::Read(Completion done) {
  std::unique_lock lock(mutex_);
  if (closed_ || held_) {
    lock.unlock();
    done(int32_t(closed_ ? 6 : 170), {});  // invalid handle / busy
    return;
  }
  if (abort_pending_) {
    abort_pending_ = false;
    lock.unlock();
    done(995, {});
    return;
  }
  if (!records_.empty()) {
    auto r = std::move(records_.front());
    records_.pop_front();
    lock.unlock();
    done(0, std::move(r));
    return;
  }
  held_ = std::move(done);
}

void EventQueue::Push(std::vector<uint8_t> record) {
  std::unique_lock lock(mutex_);
  if (closed_) return;
  if (held_) {
    auto done = std::move(held_);
    held_ = nullptr;
    lock.unlock();
    done(0, std::move(record));
    return;
  }
  if (records_.size() >= 256) records_.pop_front();  // a handle that never reads
  records_.push_back(std::move(record));
}

void EventQueue::Abort() {
  std::unique_lock lock(mutex_);
  if (!held_) {
    abort_pending_ = true;
    return;
  }
  auto done = std::move(held_);
  held_ = nullptr;
  lock.unlock();
  done(995, {});
}

void EventQueue::Close() {
  std::lock_guard lock(mutex_);
  closed_ = true;
  held_ = nullptr;
  records_.clear();
}

// ---- Emulator --------------------------------------------------------------

Emulator::Emulator(EmulatorConfig config) : config_(std::move(config)) {
  if (config_.local_nets) nets_ = config_.local_nets();
  ticker_ = std::thread([this] {
    std::unique_lock lock(mutex_);
    while (!stop_) {
      cv_.wait_for(lock, config_.tick, [&] { return stop_; });
      if (stop_) break;
      lock.unlock();
      Tick();
      lock.lock();
    }
  });
}

Emulator::~Emulator() {
  std::vector<std::shared_ptr<ServerLink>> links;
  {
    std::lock_guard lock(mutex_);
    stop_ = true;
    for (auto& [ip, s] : servers_)
      if (s.link) links.push_back(s.link);
  }
  cv_.notify_all();
  ticker_.join();
  for (auto& l : links) l->Close();
}

std::shared_ptr<EventQueue> Emulator::OpenMaster() {
  auto q = std::make_shared<EventQueue>();
  std::lock_guard lock(mutex_);
  queues_.push_back(q);
  return q;
}

void Emulator::CloseMaster(const std::shared_ptr<EventQueue>& q) {
  q->Close();
  std::lock_guard lock(mutex_);
  std::erase_if(queues_, [&](const std::weak_ptr<EventQueue>& w) {
    auto s = w.lock();
    return !s || s == q;
  });
}

void Emulator::Publish(const bus::EventRecord& e) {
  auto record = bus::EncodeEvent(e);
  std::vector<std::shared_ptr<EventQueue>> targets;
  {
    std::lock_guard lock(mutex_);
    for (auto& w : queues_)
      if (auto q = w.lock()) targets.push_back(q);
  }
  std::fprintf(stderr, "vx-busd: event %d (%s)\n", int(e.code), std::string(bus::EventName(e.code)).c_str());
  for (auto& q : targets) q->Push(record);
}

int Emulator::LocationOf(uint32_t ip, bool remote) {
  if (remote || config_.remote_servers.count(ip)) return 3;
  for (const auto& n : nets_)
    if ((n.addr & n.mask) == (ip & n.mask)) return 1;
  return 2;
}

void Emulator::OnUdpPacket(uint32_t source_ip, const std::vector<uint8_t>& bytes, bool remote) {
  bool changed = false;
  {
    std::lock_guard lock(mutex_);
    auto it = servers_.find(source_ip);
    bool boot = bytes.size() == 7 && HasPrefix(bytes, "RBOOTUP");
    bool short_announcement = bytes.size() == 173 && HasPrefix(bytes, "RANNOU") && !IsFullRecord(bytes);
    if (boot || short_announcement) {
      // Only the source address counts: a known server is alive.
      if (it != servers_.end()) it->second.last_seen = Clock::now();
      return;
    }
    if (!IsFullRecord(bytes)) return;
    std::string name = ServerNameOf(bytes);
    int location = LocationOf(source_ip, remote);
    if (it == servers_.end()) {
      Server s;
      s.name = name;
      s.location = location;
      s.last_seen = Clock::now();
      servers_.emplace(source_ip, std::move(s));
      changed = true;
    } else {
      changed = it->second.name != name || it->second.location != location;
      it->second.name = name;
      it->second.location = location;
      it->second.last_seen = Clock::now();
    }
  }
  if (changed) {
    std::fprintf(stderr, "vx-busd: server %s listed\n", bus::Ipv4Text(source_ip).c_str());
    bus::EventRecord e;
    e.code = bus::kEventUpdateBusList;
    Publish(e);
  }
}

bus::BusList Emulator::BusListNow() {
  std::lock_guard lock(mutex_);
  bus::BusList list;
  for (const auto& [ip, s] : servers_) list.entries.push_back({ip, s.location, s.name});
  return list;
}

IoctlReply Emulator::MasterIoctl(EventQueue& queue, uint32_t code, const std::vector<uint8_t>& in,
                                 size_t room) {
  IoctlReply r;
  switch (code) {
    case bus::kIoctlGetBusList: {
      bus::BusList list = BusListNow();
      r.out = bus::EncodeBusList(list);
      while (r.out.empty() && !list.entries.empty()) {  // only what fits 1024 bytes
        list.entries.pop_back();
        r.out = bus::EncodeBusList(list);
      }
      break;
    }
    case bus::kIoctlBuildTcpBus: {
      if (in.size() < 4) return {kInvalidParameter, {}};
      uint32_t ip = bus::LoadIpv4(in.data());
      std::string pc;
      {
        std::lock_guard lock(mutex_);
        auto it = servers_.find(ip);
        if (it == servers_.end()) return {kGenFailure, {}};
        if (it->second.link && it->second.link->Alive()) return {0, std::vector<uint8_t>(64, 0)};
        pc = config_.computer_name;
      }
      std::string why;
      auto link = ServerLink::Connect(
          bus::Ipv4Text(ip), config_.server_port, pc, config_.link_source_ip,
          [this, ip](const lab::Frame& f) {
            if (f.op == lab::kOpDevicesChanged) {
              bus::EventRecord e;
              e.code = bus::kEventUpdateDeviceList;
              e.server_ip = ip;
              Publish(e);
            } else if (f.op == lab::kOpRequestEvent) {
              auto e = bus::ParseEvent(f.payload);
              if (e && e->code == bus::kEventRequestToUse) Publish(*e);
            }
          },
          [this, ip](ServerLink* l) { OnLinkLost(ip, l); }, &why);
      if (!link) {
        std::fprintf(stderr, "vx-busd: TCP bus %s: %s\n", bus::Ipv4Text(ip).c_str(), why.c_str());
        return {kGenFailure, {}};
      }
      std::shared_ptr<ServerLink> old;
      {
        std::lock_guard lock(mutex_);
        auto it = servers_.find(ip);
        if (it == servers_.end()) {
          old = link;  // the server went away meanwhile
        } else {
          old = std::move(it->second.link);
          it->second.link = link;
        }
      }
      if (old) old->Close();
      if (old == link) return {kGenFailure, {}};
      r.out.assign(64, 0);
      break;
    }
    case bus::kIoctlAbort:
      queue.Abort();
      r.out.assign(64, 0);
      break;
    case bus::kIoctlSendUdpPacket: {
      auto fwd = bus::ParseUdpForward(in);
      if (!fwd) return {kInvalidParameter, {}};
      OnUdpPacket(fwd->source_ip, fwd->bytes);
      break;
    }
    case bus::kIoctlGetDriverVersion:
      r.out = bus::EncodeVersion(config_.driver_version);
      break;
    default:
      return {kInvalidFunction, {}};
  }
  (void)room;
  return r;
}

bool Emulator::TcpBusExists(uint32_t ip) {
  std::lock_guard lock(mutex_);
  auto it = servers_.find(ip);
  return it != servers_.end() && it->second.link && it->second.link->Alive();
}

IoctlReply Emulator::TcpBusIoctl(uint32_t ip, uint32_t code, const std::vector<uint8_t>& in, size_t room) {
  if (code == bus::kIoctlGetTcpBusVersion) return {0, bus::EncodeVersion(config_.tcp_bus_version)};
  switch (code) {
    case bus::kIoctlGetDeviceList:
    case bus::kIoctlClaimDevice:
    case bus::kIoctlReleaseDevice:
    case bus::kIoctlLockDevice:
    case bus::kIoctlUnlockDevice:
    case bus::kIoctlRequestDevice:
      break;
    default:
      return {kInvalidFunction, {}};
  }
  std::shared_ptr<ServerLink> link;
  {
    std::lock_guard lock(mutex_);
    auto it = servers_.find(ip);
    if (it != servers_.end()) link = it->second.link;
  }
  if (!link) return {int32_t(6), {}};
  auto reply = link->Call(code, in);
  if (!reply) return {kGenFailure, {}};
  if (code == bus::kIoctlClaimDevice && reply->status == 0 && !in.empty() && config_.on_claimed)
    config_.on_claimed(ip, int(in[0]));
  IoctlReply r{reply->status, std::move(reply->payload)};
  if (r.out.size() > room && code != bus::kIoctlGetDeviceList) r.out.resize(room);
  return r;
}

std::optional<std::string> Emulator::DeviceReport(uint32_t ip, int device_no) {
  std::shared_ptr<ServerLink> link;
  {
    std::lock_guard lock(mutex_);
    auto it = servers_.find(ip);
    if (it != servers_.end()) link = it->second.link;
  }
  if (!link || device_no < 0 || device_no > 255) return std::nullopt;
  auto reply = link->Call(lab::kOpDeviceReport, {uint8_t(device_no)});
  if (!reply || reply->status != 0) return std::nullopt;
  return std::string(reply->payload.begin(), reply->payload.end());
}

void Emulator::OnLinkLost(uint32_t ip, ServerLink* link) {
  {
    std::lock_guard lock(mutex_);
    auto it = servers_.find(ip);
    if (it == servers_.end() || it->second.link.get() != link) return;
  }
  std::fprintf(stderr, "vx-busd: lost server %s\n", bus::Ipv4Text(ip).c_str());
  DropServer(ip, true);
}

void Emulator::DropServer(uint32_t ip, bool lost) {
  std::shared_ptr<ServerLink> link;
  {
    std::lock_guard lock(mutex_);
    auto it = servers_.find(ip);
    if (it == servers_.end()) return;
    link = std::move(it->second.link);
    servers_.erase(it);
  }
  if (link) link->Close();
  if (lost) {
    bus::EventRecord e;
    e.code = bus::kEventErrorCode;
    e.error_code = 1;
    e.server_ip = ip;
    Publish(e);
  }
  bus::EventRecord e;
  e.code = bus::kEventUpdateBusList;
  Publish(e);
}

void Emulator::Tick() {
  std::vector<uint32_t> stale;
  bool nets_changed = false, locations_changed = false;
  auto nets = config_.local_nets ? config_.local_nets() : std::vector<LocalNet>{};
  {
    std::lock_guard lock(mutex_);
    auto now = Clock::now();
    for (auto& [ip, s] : servers_) {
      bool linked = s.link && s.link->Alive();
      if (!linked && now - s.last_seen > config_.stale_after) stale.push_back(ip);
    }
    if (config_.local_nets && nets != nets_) {
      nets_ = nets;
      nets_changed = true;
      for (auto& [ip, s] : servers_) {
        int loc = LocationOf(ip, s.location == 3);
        locations_changed |= loc != s.location;
        s.location = loc;
      }
    }
  }
  for (uint32_t ip : stale) DropServer(ip, true);
  if (nets_changed) {
    bus::EventRecord e;
    e.code = bus::kEventUpdateIp;
    Publish(e);
  }
  if (locations_changed) {
    bus::EventRecord e;
    e.code = bus::kEventUpdateBusList;
    Publish(e);
  }
}

}  // namespace vx::busd
