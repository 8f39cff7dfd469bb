// The simulated servers at run time: one UDP socket on the discovery port
// (any address, so that broadcasts arrive) answering from each server's own
// address, one TCP listener per server on the configuration port, the
// announcements, reboots, address changes and the control commands.
#pragma once

#include <poll.h>

#include <chrono>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "config_service.h"
#include "sharing_hooks.h"
#include "uds_config.h"

namespace vx::lab {

class Engine {
 public:
  using TimePoint = std::chrono::steady_clock::time_point;

  struct Options {
    uint16_t udp_port = discovery::kDiscoveryPort;
    uint16_t tcp_port = discovery::kConfigPort;
    bool verbose = false;
  };

  Engine(UdsConfig config, SharingExtension& sharing, Options options);
  ~Engine();
  Engine(const Engine&) = delete;
  Engine& operator=(const Engine&) = delete;

  // Opens the sockets and brings every server up (boot announcement).
  bool Start(std::string* error);
  // The descriptors to wait on, and what to do when some are ready.
  std::vector<pollfd> PollFds() const;
  void HandleReady(const std::vector<pollfd>& ready);
  // Milliseconds until the next timer (announcement, end of a reboot), at most `cap`.
  int NextTimerMs(int cap) const;
  void RunTimers();

  // One control command line -> one reply line ("OK ..." or "ERR ...").
  std::string Execute(const std::string& line);
  bool QuitRequested() const { return quit_; }

 private:
  struct Live {
    SimServer s;
    bool up = false;
    TimePoint back_at{};
    int tcp_listener = -1;
    TimePoint next_announce{};
    bool next_long = true;
    bool config_restart = false;  // down because of a configuration request
  };
  struct Connection {
    int fd = -1;
    std::string server;
    std::vector<uint8_t> buffer;
  };

  Live* Find(const std::string& name);
  Live* FindByIp(const net::Ipv4& ip);
  void BringUp(Live& l, bool announce_boot);
  void TakeDown(Live& l);
  void OpenTcp(Live& l);
  void CloseTcp(Live& l);
  bool EnsureAddress(const SimServer& s);
  void ReleaseAddress(const net::Ipv4& ip);
  void ReadUdp();
  void Accept(Live& l);
  void ReadConnection(Connection& c);
  void SendFrom(const net::Ipv4& from, const net::Endpoint& to, std::span<const uint8_t> bytes);
  void SendBoot(const Live& l);
  void SendAnnouncement(Live& l, bool long_form);
  void Log(const std::string& line) const;
  // The configuration service (config_engine.cpp): a frame for the servers
  // whose `MacBytes` it names; answers go to `reply_to` (UDP) or `fd` (TCP).
  void ServeConfigUdp(std::span<const uint8_t> frame, const net::Endpoint& requester);
  bool ServeConfigTcp(Live& l, int fd, std::span<const uint8_t> frame);
  void ScheduleRestart(Live& l);
  void RunRestarts();
  void ComeBack(Live& l);
  std::string ConfigCommand(const std::vector<std::string>& words);
  std::string Add(const std::string& json_text);
  std::string Remove(const std::string& name);
  std::string Rename(Live& l, const std::string& new_name);
  std::string SetIp(Live& l, const std::string& value);
  std::string SetField(Live& l, const std::string& key, const std::string& value);
  std::string List() const;
  std::string Stats() const;

  UdsConfig config_;
  SharingExtension& sharing_;
  ConfigService config_service_;
  std::vector<std::string> restarts_;  // servers to take down once the current input is handled
  const Options options_;
  int udp_ = -1;
  unsigned if_index_ = 0;
  std::vector<Live> servers_;
  std::vector<Connection> connections_;
  std::set<std::string> added_addresses_;         // "ip/prefix" this process added
  std::map<std::string, uint64_t> udp_requests_;  // valid UDP requests by source address
  std::map<std::string, uint64_t> tcp_requests_;  // valid TCP requests by server name
  uint64_t udp_invalid_ = 0;
  bool quit_ = false;
};

// The datagrams a server sends on its own.
std::vector<uint8_t> BootAnnouncement(const SimServer& s);
std::vector<uint8_t> ShortAnnouncement(const SimServer& s);

}  // namespace vx::lab
