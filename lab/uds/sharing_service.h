// Device sharing of the simulated servers (TCP 20005): each server's USB
// devices, held by one PC at a time, with expiring locks, requests relayed
// between PCs, and change notifications to every connected bus driver
// emulator. The protocol is the lab framing (busdriver/labchannel/frame.h)
// carrying the driver's own records; docs/bus-driver.md describes it.
#pragma once

#include <chrono>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "busdriver/labchannel/frame.h"
#include "busdriver/records.h"
#include "platform/clock.h"
#include "pnp_profile.h"

namespace vx::lab {

struct SharedDevice {
  int device_no = 0;
  uint16_t vid = 0, pid = 0;
  std::string usb_class = "UNKNOWN", manufacturer, product, serial;
  std::vector<bus::ExtraPair> extra;
  bool printer_port = false;  // port set to printer-server use: claims fail with -30
  bool plugged = true;
  std::optional<pnp::PnpProfile> pnp;  // the keys Windows creates for it (lab/pnp)
  // Sharing state.
  std::string owner;  // the holder PC's computer name; empty when free
  int lock_type = 0, lock_count = 0;
  std::optional<Clock::TimePoint> lock_until;
  uint32_t hold = 0;  // counts the holds: each new holder gets the next number
};

// Last errors of the sharing protocol besides the driver's -30 and -32.
inline constexpr int32_t kErrorHeldByOther = -31;
inline constexpr int32_t kErrorNoSuchDevice = -33;
inline constexpr int32_t kErrorNobodyToAsk = -34;

class SharingService {
 public:
  explicit SharingService(Clock& clock = SystemClock());
  ~SharingService();
  SharingService(const SharingService&) = delete;
  SharingService& operator=(const SharingService&) = delete;

  // Starts (or restarts, dropping every connection and hold) a server's
  // sharing service on ip:port. Returns an error text, empty on success.
  std::string AddServer(const std::string& name, const std::string& ip, uint16_t port,
                        std::vector<SharedDevice> devices);
  void RemoveServer(const std::string& name);
  // The port a server listens on (useful with port 0), 0 when unknown.
  uint16_t PortOf(const std::string& name);
  // Run-time steering; nullopt for commands it does not know.
  std::optional<std::string> Control(const std::vector<std::string>& words);

  // The "devices" list of a server's JSON object.
  static std::optional<std::vector<SharedDevice>> DevicesFromJson(const nlohmann::json& server,
                                                                  std::string* why);

 private:
  struct Conn {
    int fd = -1;
    uint32_t peer_ip = 0;
    std::string pc;  // the PC's computer name from its hello; empty until then
    FrameDecoder decoder;
  };
  struct Server {
    ~Server();
    std::string name, ip;
    int listen_fd = -1;
    uint16_t port = 0;
    std::vector<SharedDevice> devices;
    std::vector<std::unique_ptr<Conn>> conns;
  };
  void Loop();
  void Wake();
  void Handle(Server& s, Conn& c, const Frame& f);
  void Notify(Server& s);
  void Relay(Server& s, Conn& from, const bus::RequestRecord& req, int32_t* status);
  void DropConn(Server& s, size_t index);
  void ExpireLocks();
  Server* Find(const std::string& name_or_ip);
  SharedDevice* Device(Server& s, int device_no, bool plugged_only = true);

  Clock& clock_;
  std::recursive_mutex mutex_;
  std::map<std::string, std::unique_ptr<Server>> servers_;
  int wake_[2] = {-1, -1};
  bool stop_ = false;
  uint64_t generation_ = 0;  // bumped when servers or connections change outside the loop
  std::thread thread_;
};

}  // namespace vx::lab
