// The record operations of the configuration protocol, one per opcode: each
// takes the server's MAC (`MacBytes`) and returns -1 when no valid reply
// arrived, else the reply's `Result` (0 = success). Reads normalise the
// record they return. They run over the transport the caller selected.
#pragma once

#include <functional>
#include <span>
#include <string>

#include "admin/config_records.h"
#include "admin/config_transport.h"

namespace vx::admin {

// Firmware upload progress: a percentage 0..100.
using ProgressFn = std::function<void(int percent)>;

class ConfigClient {
 public:
  ConfigClient(ConfigTransport& transport) : t_(transport) {}

  int CheckLogin(const Mac& server, const std::string& user, const std::string& password);
  int SetAdministrator(const Mac& server, const std::string& user, const std::string& password);
  int GetGeneral(const Mac& server, GeneralConfig& out);
  // Writes with opcode 50, `Reserved84` 0 and `ExtendedWrite` 1; no reply
  // is awaited (the server restarts): 0 means "sent".
  int SetGeneral(const Mac& server, GeneralConfig g);
  int GetPrinterInfo(const Mac& server, PrinterPortInfo& out);
  int GetTcpIp(const Mac& server, TcpIpConfig& out);
  int GetTcpIpStatus(const Mac& server, TcpIpConfig& out);
  // Writes with `ExtendedWrite` 0; no reply is awaited: 0 means "sent".
  int SetTcpIp(const Mac& server, TcpIpConfig t);
  // Opcode 48, and once more with 6 when 48 got no valid reply at all.
  int GetProtocols(const Mac& server, ProtocolConfig& out);
  int Restart(const Mac& server);
  int FactoryDefault(const Mac& server);
  int GetWireless(const Mac& server, WirelessConfig& out);
  // Sends `image` in 512-byte chunks over the TCP connection (the caller has
  // selected it). Returns the last chunk's outcome (0) or -1 at the first
  // chunk that fails. An empty image is refused (-1) before anything is sent.
  int UploadFirmware(const Mac& server, std::span<const uint8_t> image, const ProgressFn& progress);

  ConfigTransport& Transport() { return t_; }

 private:
  int ReadRecord(const Mac& server, int32_t opcode, std::span<uint8_t> record);
  int Command(const Mac& server, int32_t opcode, int32_t direction, const std::string& user = {},
              const std::string& password = {});

  ConfigTransport& t_;
};

// The chunks of an image: `Marker` is the total size in the first chunk and
// 0 later, and 1 in the chunk for which offset + 512 exceeds the size (whose
// `Length` is then the remaining byte count).
std::vector<FirmwareChunk> SplitFirmware(std::span<const uint8_t> image);

}  // namespace vx::admin
