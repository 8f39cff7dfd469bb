// The engine's side of the configuration service: which server a frame is
// for, where its answer goes, and the restarts that writes cause.
#include <sys/socket.h>

#include "uds_engine.h"

namespace vx::lab {

void Engine::ServeConfigUdp(std::span<const uint8_t> frame, const net::Endpoint& requester) {
  auto size = ConfigService::FrameSize(frame);
  if (!size || frame.size() != *size) {
    ++udp_invalid_;
    return;
  }
  for (auto& l : servers_) {
    if (!l.up || l.s.silent || !ConfigService::AddressedTo(frame, l.s)) continue;
    ConfigAction a = config_service_.Handle(l.s, frame, std::chrono::steady_clock::now());
    if (a.reply) {
      // As with discovery: directly to a requester on the server's subnet,
      // else by broadcast to the requester's port.
      bool broadcast = l.s.reply == SimServer::Reply::kBroadcast ||
                       (l.s.reply == SimServer::Reply::kAuto && !l.s.SameSubnet(requester.address));
      SendFrom(l.s.ip, broadcast ? net::Endpoint{net::Ipv4::Broadcast(), requester.port} : requester,
               *a.reply);
    }
    if (a.restart) ScheduleRestart(l);
  }
}

bool Engine::ServeConfigTcp(Live& l, int fd, std::span<const uint8_t> frame) {
  // A frame for another server makes no sense here: the connection is closed.
  if (!ConfigService::AddressedTo(frame, l.s)) return false;
  ConfigAction a = config_service_.Handle(l.s, frame, std::chrono::steady_clock::now());
  bool ok = true;
  if (a.reply)
    ok = send(fd, a.reply->data(), a.reply->size(), MSG_NOSIGNAL) == static_cast<ssize_t>(a.reply->size());
  if (a.restart) ScheduleRestart(l);
  return ok;
}

void Engine::ScheduleRestart(Live& l) {
  if (std::find(restarts_.begin(), restarts_.end(), l.s.name) == restarts_.end())
    restarts_.push_back(l.s.name);
}

// Restarts wait until the input that caused them is handled, since taking a
// server down closes its connections.
void Engine::RunRestarts() {
  std::vector<std::string> names;
  names.swap(restarts_);
  for (const auto& name : names) {
    Live* l = Find(name);
    if (!l || !l->up) continue;
    Log("server " + name + " restarts after a configuration request");
    TakeDown(*l);
    l->up = false;
    l->config_restart = true;
    l->back_at = std::chrono::steady_clock::now() + std::chrono::seconds(config_.reboot_seconds);
  }
}

void Engine::ComeBack(Live& l) {
  if (l.config_restart) {
    l.config_restart = false;
    ConfigIdentity id = config_service_.TakeIdentity(l.s);
    if (id.name && *id.name != l.s.name) {
      std::string r = Rename(l, *id.name);
      if (r != "OK") Log("server " + l.s.name + " keeps its name: " + r);
    }
    if (id.ip && (*id.ip != l.s.ip || id.prefix != l.s.prefix)) {
      std::string r = SetIp(l, id.ip->ToString() + "/" + std::to_string(id.prefix));
      if (r != "OK") Log("server " + l.s.name + " keeps its address: " + r);
    }
  }
  BringUp(l, true);
}

std::string Engine::ConfigCommand(const std::vector<std::string>& w) {
  if (w.size() < 3)
    return "ERR usage: config NAME show|logout|fail-firmware on|off|ignore-48 on|off|session S";
  Live* l = Find(w[1]);
  if (!l) return "ERR no server " + w[1];
  return config_service_.Control(l->s, std::vector<std::string>(w.begin() + 2, w.end()));
}

}  // namespace vx::lab
