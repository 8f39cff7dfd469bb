// The bus driver operations the program uses, each over a DriverHandle. They
// report failure as false (or -1 for the bus list) with a trace line; only
// ClaimDevice tells the user something, through ClaimNotice.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "busdriver/driver_channel.h"
#include "busdriver/records.h"
#include "platform/clock.h"

namespace vx::bus {

// GetMasterBus: the master bus handle, or nullptr (the driver is missing).
std::shared_ptr<DriverHandle> GetMasterBus(DriverChannel& channel);

// GetTcpBus: opens the TCP bus of `ip_text` by its device path.
bool GetTcpBus(DriverChannel& channel, const std::string& ip_text, std::shared_ptr<DriverHandle>* handle,
               std::string* path);

// IOCTL_BUILD_TCP_BUS: asks the driver to create the TCP bus of a server.
bool IOCTL_BUILD_TCP_BUS(DriverHandle& master, const std::string& ip_text);

// GetBusList: up to two attempts, a sleep of 1 s after each that fails or
// returns status 0. Returns -1 when the last attempt failed, returned status 0
// or a malformed list; else the count, with the three texts of each entry.
int GetBusList(DriverHandle& master, Clock& clock, std::vector<std::string>* ips,
               std::vector<std::string>* names, std::vector<std::string>* locations);
// The same, giving the decoded entries.
int GetBusList(DriverHandle& master, Clock& clock, std::vector<BusEntry>* entries);

// GetDriverVersion / GetTcpBusVersion: the outputs stay unchanged on failure.
bool GetDriverVersion(DriverHandle& master, std::string* full, std::string* short_text);
bool GetTcpBusVersion(DriverHandle& tcp_bus, std::string* full, std::string* short_text);

// The device-list IOCTL of a TCP bus. Fails on a failed call, status 0, more
// than 2048 bytes or a malformed list (see `why`).
bool GetDeviceList(DriverHandle& tcp_bus, DeviceList* out, DeviceListError* why = nullptr);

// Shown when a claim is refused because the server's port is set to
// printer-server use (the caller shows it only in the Japanese interface).
inline constexpr const char* kPrinterPortMessage =
    "「ポート設定」が「プリンタ（プリントサーバで使用）」になっています。"
    "USBデバイスを共有するには、「USB共有デバイス（Vessixで使用）」に設定してください。";
class ClaimNotice {
 public:
  virtual ~ClaimNotice() = default;
  virtual void PortSetToPrinterServer() = 0;
};

// Device numbers are the decimal DeviceNo text, converted like atol and kept
// as one byte.
uint8_t DeviceNumber(const std::string& device_no_text);

bool ClaimDevice(DriverHandle& tcp_bus, const std::string& device_no, ClaimNotice* notice = nullptr);
// True also when the driver answers last error -32 (this PC no longer holds it).
bool ReleaseDevice(DriverHandle& tcp_bus, const std::string& device_no);
bool LockDevice(DriverHandle& tcp_bus, const std::string& device_no, int lock_type, uint32_t lock_time);
bool UnlockDevice(DriverHandle& tcp_bus, const std::string& device_no, int lock_type, uint32_t lock_time);
// `ip_text` empty: no address (zero). An address that does not parse fails.
bool RequestDevice(DriverHandle& tcp_bus, const std::string& device_no, int command,
                   const std::string& ip_text);
bool Abort(DriverHandle& master);
// Forwards one discovery datagram (source address as inet_addr value).
bool SendUdpPacket(DriverHandle& master, uint32_t source_ip, const uint8_t* bytes, uint32_t n);

// ---- start-up helpers ------------------------------------------------------

// The lowest driver version the program runs with.
inline constexpr const char* kMinimumDriverVersion = "1.0.35";
struct VersionCheck {
  bool pass = false;
  std::string warning;  // the message shown before the program ends (when !pass)
};
// Compares the full version text with "1.0.35" as text (byte-wise, which is
// what a locale-aware comparison gives for digits and dots).
VersionCheck CheckDriverVersion(const std::string& full, const std::string& short_text);

// The driver version string of the About box: the driver's short version,
// plus "." and the first TCP bus's short version once one was read.
class DriverVersionInfo {
 public:
  void SetDriver(const std::string& short_text) { driver_short_ = short_text; }
  // Reads the version of the first TCP bus opened in the process, once.
  void NoteTcpBusOpened(DriverHandle& tcp_bus);
  std::string Text() const;

 private:
  std::string driver_short_;
  std::string tcp_short_;
  bool asked_ = false;
};

}  // namespace vx::bus
