#include "admin/config_client.h"

#include <algorithm>

namespace vx::admin {
int ConfigClient::Command(const Mac& server, int32_t opcode, int32_t direction, const std::string& user,
                          const std::string& password) {
  ConfigHeader h;
  h.ServerMac = server;
  h.Opcode = opcode;
  h.Direction = direction;
  h.LoginUser = user;
  h.LoginPassword = password;
  return t_.Read(std::move(h), {});
}

int ConfigClient::ReadRecord(const Mac& server, int32_t opcode, std::span<uint8_t> record) {
  ConfigHeader h;
  h.ServerMac = server;
  h.Opcode = opcode;
  h.Direction = kRead;
  return t_.Read(std::move(h), record);
}

int ConfigClient::CheckLogin(const Mac& server, const std::string& user, const std::string& password) {
  return Command(server, CFG_LOGIN, kRead, user, password);
}

int ConfigClient::SetAdministrator(const Mac& server, const std::string& user, const std::string& password) {
  return Command(server, CFG_LOGIN, kWrite, user, password);
}

int ConfigClient::Restart(const Mac& server) { return Command(server, CFG_RESTART, kWrite); }

int ConfigClient::FactoryDefault(const Mac& server) { return Command(server, CFG_FACTORY_DEFAULT, kWrite); }

int ConfigClient::GetGeneral(const Mac& server, GeneralConfig& out) {
  std::array<uint8_t, kGeneralSize> b{};
  const int r = ReadRecord(server, CFG_GENERAL, b);
  if (r == kResultOk) out = *DecodeGeneral(b, t_.Codec());
  return r;
}

int ConfigClient::SetGeneral(const Mac& server, GeneralConfig g) {
  g.Reserved84 = 0;
  g.ExtendedWrite = 1;
  ConfigHeader h;
  h.ServerMac = server;
  h.Opcode = CFG_GENERAL_EX;
  h.Direction = kWrite;
  return t_.Write(std::move(h), EncodeGeneral(g, t_.Codec()));
}

int ConfigClient::GetPrinterInfo(const Mac& server, PrinterPortInfo& out) {
  std::array<uint8_t, kPrinterInfoSize> b{};
  const int r = ReadRecord(server, CFG_PRINTER_INFO, b);
  if (r == kResultOk) out = *DecodePrinterInfo(b, t_.Codec());
  return r;
}

int ConfigClient::GetTcpIp(const Mac& server, TcpIpConfig& out) {
  std::array<uint8_t, kTcpIpSize> b{};
  const int r = ReadRecord(server, CFG_TCPIP, b);
  if (r == kResultOk) out = *DecodeTcpIp(b);
  return r;
}

int ConfigClient::GetTcpIpStatus(const Mac& server, TcpIpConfig& out) {
  std::array<uint8_t, kTcpIpSize> b{};
  const int r = ReadRecord(server, CFG_TCPIP_STATUS, b);
  if (r == kResultOk) out = *DecodeTcpIp(b);
  return r;
}

int ConfigClient::SetTcpIp(const Mac& server, TcpIpConfig t) {
  t.ExtendedWrite = 0;
  ConfigHeader h;
  h.ServerMac = server;
  h.Opcode = CFG_TCPIP;
  h.Direction = kWrite;
  return t_.Write(std::move(h), EncodeTcpIp(t));
}

int ConfigClient::GetProtocols(const Mac& server, ProtocolConfig& out) {
  std::array<uint8_t, kProtocolSize> b{};
  int r = ReadRecord(server, CFG_PROTOCOL_EX, b);
  if (r == -1) r = ReadRecord(server, CFG_PROTOCOL, b);  // older servers
  if (r == kResultOk) out = *DecodeProtocol(b);
  return r;
}

int ConfigClient::GetWireless(const Mac& server, WirelessConfig& out) {
  std::array<uint8_t, kWirelessSize> b{};
  const int r = ReadRecord(server, CFG_WIRELESS, b);
  if (r == kResultOk) out = *DecodeWireless(b, t_.Codec());
  return r;
}

std::vector<FirmwareChunk> SplitFirmware(std::span<const uint8_t> image) {
  std::vector<FirmwareChunk> chunks;
  const size_t total = image.size();
  for (size_t offset = 0; offset < total; offset += kChunkData) {
    FirmwareChunk c;
    c.Marker = offset == 0 ? static_cast<int32_t>(total) : 0;
    c.Offset = static_cast<int32_t>(offset);
    c.Length = static_cast<int32_t>(kChunkData);
    if (offset + kChunkData > total) {
      c.Marker = 1;
      c.Length = static_cast<int32_t>(total - offset);
    }
    std::copy_n(image.begin() + static_cast<long>(offset), static_cast<size_t>(c.Length), c.Data.begin());
    chunks.push_back(c);
  }
  return chunks;
}

int ConfigClient::UploadFirmware(const Mac& server, std::span<const uint8_t> image,
                                 const ProgressFn& progress) {
  // The chunk fields are signed 32-bit numbers.
  if (image.empty() || image.size() > 0x7FFFFFFFu - kChunkData) return -1;
  auto report = [&](int p) {
    if (progress) progress(p);
  };
  report(0);
  int result = -1;
  const int64_t total = static_cast<int64_t>(image.size());
  for (const FirmwareChunk& c : SplitFirmware(image)) {
    ConfigHeader h;
    h.ServerMac = server;
    h.Opcode = CFG_FIRMWARE;
    h.Direction = kWrite;
    const int budget =
        c.Marker == 1 ? t_.Settings().last_chunk_timeout_budget : t_.Settings().chunk_timeout_budget;
    result = t_.ChunkWrite(std::move(h), EncodeFirmwareChunk(c), budget);
    if (result != kResultOk) return -1;
    report(static_cast<int>(static_cast<int64_t>(c.Offset) * 100 / total));
  }
  if (result == kResultOk) report(100);
  return result;
}

}  // namespace vx::admin
