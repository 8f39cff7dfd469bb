// The state of one simulated PC's bus driver: the bus list built from the
// discovery datagrams the PC forwards, one TCP bus per server (a connection
// to the server's device-sharing service), and the event queues of the open
// master bus handles. Transport-free: the lab channel server calls it.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "busdriver/records.h"

namespace vx::busd {

class ServerLink;

struct LocalNet {
  uint32_t addr = 0, mask = 0;  // inet_addr values
  bool operator==(const LocalNet&) const = default;
};

struct EmulatorConfig {
  std::string computer_name = "VXPC";
  std::set<uint32_t> remote_servers;  // listed with location 3
  uint16_t server_port = 20005;       // the servers' device-sharing port
  std::string link_source_ip;         // source address of the TCP buses (tests); empty: any
  std::chrono::milliseconds stale_after{45000};
  std::chrono::milliseconds tick{500};
  bus::VersionRecord driver_version{1, 0, 35};
  bus::VersionRecord tcp_bus_version{1, 0, 7};
  // This PC's IPv4 networks; polled every tick (a change raises event 3).
  std::function<std::vector<LocalNet>()> local_nets;
  // Called after a claim the server granted (server, device number), on the
  // thread of that claim; it must not block.
  std::function<void(uint32_t server_ip, int device_no)> on_claimed;
};

// One reply to an IOCTL: success or the last error, and the bytes returned.
struct IoctlReply {
  int32_t status = 0;
  std::vector<uint8_t> out;
};

// The event queue of one master bus handle with its held read.
class EventQueue {
 public:
  using Completion = std::function<void(int32_t status, std::vector<uint8_t> record)>;
  // Completes at once when a record (or an abort) is waiting, else holds it.
  // A second read while one is held fails the new one.
  void Read(Completion done);
  void Push(std::vector<uint8_t> record);
  // Completes the held read with no record; without one, the next read.
  void Abort();
  // Drops the held read (the handle closed).
  void Close();

 private:
  std::mutex mutex_;
  std::deque<std::vector<uint8_t>> records_;
  Completion held_;
  bool abort_pending_ = false, closed_ = false;
};

class Emulator {
 public:
  explicit Emulator(EmulatorConfig config);
  ~Emulator();
  Emulator(const Emulator&) = delete;
  Emulator& operator=(const Emulator&) = delete;

  // Master bus IOCTLs (bus list, build TCP bus, abort, UDP packet, version).
  IoctlReply MasterIoctl(EventQueue& queue, uint32_t code, const std::vector<uint8_t>& in, size_t room);
  // Opening a TCP bus by path: only after IOCTL_BUILD_TCP_BUS connected it.
  bool TcpBusExists(uint32_t server_ip);
  // TCP bus IOCTLs, relayed to the server (version answered here).
  IoctlReply TcpBusIoctl(uint32_t server_ip, uint32_t code, const std::vector<uint8_t>& in, size_t room);

  std::shared_ptr<EventQueue> OpenMaster();
  void CloseMaster(const std::shared_ptr<EventQueue>& q);

  // A discovery datagram as the PC forwards it (also fed by --discover).
  void OnUdpPacket(uint32_t source_ip, const std::vector<uint8_t>& bytes, bool remote = false);
  // Asks a server with a TCP bus for its report of one device (the lab's
  // device-report request); nullopt when there is no bus or no such device.
  std::optional<std::string> DeviceReport(uint32_t server_ip, int device_no);
  // Snapshot of the bus list (for logging and tests).
  bus::BusList BusListNow();
  const EmulatorConfig& config() const { return config_; }

 private:
  struct Server {
    std::string name;
    int location = 1;
    std::chrono::steady_clock::time_point last_seen;
    std::shared_ptr<ServerLink> link;
  };
  void Publish(const bus::EventRecord& e);
  void Tick();
  void DropServer(uint32_t ip, bool lost);
  void OnLinkLost(uint32_t ip, ServerLink* link);
  int LocationOf(uint32_t ip, bool remote);

  EmulatorConfig config_;
  std::mutex mutex_;
  std::map<uint32_t, Server> servers_;
  std::vector<std::weak_ptr<EventQueue>> queues_;
  std::vector<LocalNet> nets_;
  bool stop_ = false;
  std::condition_variable cv_;
  std::thread ticker_;
};

// True for a forwarded reply or long announcement (173 bytes led by
// "RANNOU", 0x25, 0x4E and five zero bytes); a forwarded short announcement
// is 173 bytes led by "RANNOU" and NUL, and carries no server record.
bool IsFullRecord(const std::vector<uint8_t>& record);

// The server name inside a forwarded 173-byte record (the text at offset 55,
// else the model name at offset 35).
std::string ServerNameOf(const std::vector<uint8_t>& record);

}  // namespace vx::busd
