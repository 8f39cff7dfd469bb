// The configuration service of the simulated servers: each server keeps its
// records (from the "config_service" object of its JSON, with defaults), an
// administrator name and password and an administrator session, and answers
// the configuration frames addressed to its MAC (`MacBytes`) over UDP 7419
// and TCP 7305. Writes of the general and TCP/IP records, restart, factory
// default and a complete firmware image make the server restart; the engine
// takes it down and brings it back with the name and address of its records.
#pragma once

#include <chrono>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "admin/config_records.h"
#include "uds_config.h"

namespace vx::lab {

struct ConfigAction {
  std::optional<std::vector<uint8_t>> reply;  // the answer, if any
  bool restart = false;                       // go silent, come back with the records' identity
};

// What a write changed about a server, applied when it comes back.
struct ConfigIdentity {
  std::optional<std::string> name;
  std::optional<net::Ipv4> ip;
  int prefix = 24;
};

class ConfigService {
 public:
  using TimePoint = std::chrono::steady_clock::time_point;

  // The records of a server seen for the first time, from its JSON object;
  // the object is kept as the factory default. Throws std::runtime_error
  // for a malformed "config_service" object.
  void Ensure(const SimServer& s);
  void Forget(const discovery::Mac& mac);

  // The size of the frame that starts with `head` (header plus the record a
  // write carries), or nullopt when fewer than 52 bytes are given.
  static std::optional<size_t> FrameSize(std::span<const uint8_t> head);
  // True when the frame is addressed to `s`.
  static bool AddressedTo(std::span<const uint8_t> frame, const SimServer& s);

  // Answers one frame addressed to `s` (the caller checked AddressedTo).
  ConfigAction Handle(const SimServer& s, std::span<const uint8_t> frame, TimePoint now);
  // The name and address that writes (or a factory default) gave the server
  // since the last call; the engine applies them when the server comes back.
  ConfigIdentity TakeIdentity(const SimServer& s);

  // `config NAME show|stats|logout|fail-firmware on|off|ignore-48 on|off|session S`.
  std::string Control(const SimServer& s, const std::vector<std::string>& args);

 private:
  struct State {
    nlohmann::json factory;  // the server's object as first seen
    admin::GeneralConfig general;
    admin::TcpIpConfig tcpip;
    admin::ProtocolConfig protocols;
    admin::PrinterPortInfo printers;
    admin::WirelessConfig wireless;
    std::string admin_user = "admin";
    std::string admin_password;
    bool ignore_protocol_ex = false;
    bool fail_firmware = false;
    int session_seconds = 60;
    // The administrator logged in: the client's MAC and the session's end.
    std::optional<admin::Mac> session_client;
    TimePoint session_until{};
    // The image being received.
    int32_t image_total = 0;
    int32_t next_offset = 0;
    uint64_t image_bytes = 0;
    uint64_t images_completed = 0;
    std::map<int32_t, uint64_t> frames;  // frames answered, by opcode
    bool name_written = false;           // since the last restart
    bool address_written = false;
  };

  static State FromJson(const SimServer& s, const nlohmann::json& object);
  ConfigAction Firmware(State& st, const admin::ConfigHeader& h, std::span<const uint8_t> record);

  std::map<discovery::Mac, State> states_;
};

}  // namespace vx::lab
