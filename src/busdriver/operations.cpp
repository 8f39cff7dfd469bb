#include "busdriver/operations.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/net/network.h"
#include "platform/trace.h"

namespace vx::bus {
namespace {

std::string Format(const char* fmt, ...) {
  char buf[512];
  va_list ap;
  va_start(ap, fmt);
  std::vsnprintf(buf, sizeof buf, fmt, ap);
  va_end(ap);
  return buf;
}

// One IOCTL on a zeroed buffer of `size` bytes whose first bytes are `input`.
IoResult Call(DriverHandle& h, uint32_t code, std::vector<uint8_t>& buf, size_t size,
              std::span<const uint8_t> input = {}) {
  buf.assign(size, 0);
  if (!input.empty()) std::memcpy(buf.data(), input.data(), input.size());
  return h.Ioctl(code, buf, input.empty() ? size : input.size());
}

bool ReadVersion(DriverHandle& h, uint32_t code, std::string* full, std::string* short_text, bool driver) {
  std::vector<uint8_t> buf;
  IoResult r = Call(h, code, buf, kSmallRecordSize);
  auto v = r.ok ? ParseVersion(buf, r.bytes) : std::nullopt;
  if (!v) {
    TraceLine(Format("%s() : Fail result(%d) nBytes(%u) err(%d)",
                     driver ? "GetDriverVersion" : "GetTcpBusVersion", int(r.ok), r.bytes,
                     int32_t(r.last_error)));
    return false;
  }
  *full = FullVersionText(*v);
  *short_text = driver ? DriverShortVersion(*v) : TcpBusShortVersion(*v);
  return true;
}

// Claim, release, lock, unlock and request: a small record in and out.
IoResult SmallCall(DriverHandle& h, uint32_t code, const std::vector<uint8_t>& input, const char* name) {
  std::vector<uint8_t> buf;
  IoResult r = Call(h, code, buf, input.size(), input);
  TraceLine(
      Format("\n%s() : _tcpBusHandle = %08X result(%d) nBytes(%u)\n", name, h.TraceId(), int(r.ok), r.bytes));
  return r;
}

}  // namespace

std::shared_ptr<DriverHandle> GetMasterBus(DriverChannel& channel) { return channel.OpenMasterBus(); }

bool GetTcpBus(DriverChannel& channel, const std::string& ip_text, std::shared_ptr<DriverHandle>* handle,
               std::string* path) {
  auto ip = net::Ipv4::Parse(ip_text);
  uint32_t err = kErrorFileNotFound;
  std::shared_ptr<DriverHandle> h;
  std::string p;
  if (ip) {
    p = TcpBusPath(ip->NetworkOrder());
    h = channel.OpenPath(p, &err);
  }
  if (!h) {
    TraceLine(Format("GetTcpBus CreateFile Error: %d\n", int(err)));
    return false;
  }
  *handle = std::move(h);
  *path = p;
  return true;
}

bool IOCTL_BUILD_TCP_BUS(DriverHandle& master, const std::string& ip_text) {
  auto ip = net::Ipv4::Parse(ip_text);
  IoResult r;
  if (ip) {
    const auto& in = ip->bytes;
    std::vector<uint8_t> buf;
    r = Call(master, kIoctlBuildTcpBus, buf, kSmallRecordSize, in);
  }
  if (!r.ok) {
    TraceLine(Format("IOCTL_BUILD_TCP_BUS() : Build TCP Bus Fail _mBusHandle = %08X -----------------",
                     master.TraceId()));
  }
  return r.ok;
}

int GetBusList(DriverHandle& master, Clock& clock, std::vector<BusEntry>* entries) {
  std::optional<BusList> list;
  for (int attempt = 0; attempt < 2; ++attempt) {
    std::vector<uint8_t> buf;
    IoResult r = Call(master, kIoctlGetBusList, buf, kBusListSize);
    BusListError why = BusListError::kNone;
    list = r.ok ? ParseBusList(buf, r.bytes, &why) : std::nullopt;
    if (list) break;
    if (r.ok && why == BusListError::kTooLong) {
      TraceLine(Format("GetBusList() : too many bytes nBytes(%u)", r.bytes));
      return -1;  // a list past the buffer is not read again
    }
    TraceLine(Format("GetBusList() : attempt %d failed result(%d) err(%d) reason(%d)", attempt + 1, int(r.ok),
                     int32_t(r.last_error), int(why)));
    clock.SleepFor(std::chrono::seconds(1));
  }
  if (!list) return -1;
  *entries = std::move(list->entries);
  return int(entries->size());
}

int GetBusList(DriverHandle& master, Clock& clock, std::vector<std::string>* ips,
               std::vector<std::string>* names, std::vector<std::string>* locations) {
  std::vector<BusEntry> entries;
  int n = GetBusList(master, clock, &entries);
  if (n < 0) return n;
  ips->clear();
  names->clear();
  locations->clear();
  for (const auto& e : entries) {
    ips->push_back(Ipv4Text(e.ip));
    names->push_back(e.name);
    locations->push_back(std::to_string(e.location));
  }
  return n;
}

bool GetDriverVersion(DriverHandle& master, std::string* full, std::string* short_text) {
  return ReadVersion(master, kIoctlGetDriverVersion, full, short_text, true);
}

bool GetTcpBusVersion(DriverHandle& tcp_bus, std::string* full, std::string* short_text) {
  return ReadVersion(tcp_bus, kIoctlGetTcpBusVersion, full, short_text, false);
}

bool GetDeviceList(DriverHandle& tcp_bus, DeviceList* out, DeviceListError* why) {
  std::vector<uint8_t> buf;
  IoResult r = Call(tcp_bus, kIoctlGetDeviceList, buf, kDeviceListSize);
  DeviceListError reason = DeviceListError::kNone;
  auto list = r.ok ? ParseDeviceList(buf, r.bytes, &reason) : std::nullopt;
  if (why) *why = r.ok ? reason : DeviceListError::kNone;
  if (!list) {
    TraceLine(Format("GetDeviceList() : Fail _tcpBusHandle = %08X result(%d) nBytes(%u) reason(%d)",
                     tcp_bus.TraceId(), int(r.ok), r.bytes, int(reason)));
    return false;
  }
  *out = std::move(*list);
  return true;
}

uint8_t DeviceNumber(const std::string& text) {
  // atol: leading blanks, a sign, digits; anything else stops the number.
  long v = std::strtol(text.c_str(), nullptr, 10);
  return uint8_t(static_cast<unsigned long>(v));
}

bool ClaimDevice(DriverHandle& tcp_bus, const std::string& device_no, ClaimNotice* notice) {
  IoResult r = SmallCall(tcp_bus, kIoctlClaimDevice, {DeviceNumber(device_no)}, "ClaimDevice");
  if (!r.ok && int32_t(r.last_error) == kErrorPortIsPrinterServer && notice) notice->PortSetToPrinterServer();
  return r.ok;
}

bool ReleaseDevice(DriverHandle& tcp_bus, const std::string& device_no) {
  IoResult r = SmallCall(tcp_bus, kIoctlReleaseDevice, {DeviceNumber(device_no)}, "ReleaseDevice");
  return r.ok || int32_t(r.last_error) == kErrorNotHeld;
}

bool LockDevice(DriverHandle& tcp_bus, const std::string& device_no, int lock_type, uint32_t lock_time) {
  auto in = EncodeLock({DeviceNumber(device_no), lock_time, uint8_t(lock_type)});
  return SmallCall(tcp_bus, kIoctlLockDevice, in, "LockDevice").ok;
}

bool UnlockDevice(DriverHandle& tcp_bus, const std::string& device_no, int lock_type, uint32_t lock_time) {
  auto in = EncodeLock({DeviceNumber(device_no), lock_time, uint8_t(lock_type)});
  return SmallCall(tcp_bus, kIoctlUnlockDevice, in, "UnlockDevice").ok;
}

bool RequestDevice(DriverHandle& tcp_bus, const std::string& device_no, int command,
                   const std::string& ip_text) {
  uint32_t ip = 0;
  if (!ip_text.empty()) {
    auto parsed = net::Ipv4::Parse(ip_text);
    if (!parsed) {
      TraceLine(Format("\nRequestDevice() : _tcpBusHandle = %08X bad address \"%s\"\n", tcp_bus.TraceId(),
                       ip_text.c_str()));
      return false;
    }
    ip = parsed->NetworkOrder();
  }
  auto in = EncodeRequest({DeviceNumber(device_no), uint8_t(command), ip});
  return SmallCall(tcp_bus, kIoctlRequestDevice, in, "RequestDevice").ok;
}

bool Abort(DriverHandle& master) {
  std::vector<uint8_t> buf;
  IoResult r = Call(master, kIoctlAbort, buf, kSmallRecordSize);
  TraceLine(Format("\nAbort() : result(%d) nBytes(%u)\n", int(r.ok), r.bytes));
  if (!r.ok)
    TraceLine(Format("Abort() : Fail _mBusHandle = %08X : Buffer = %p\n", master.TraceId(),
                     static_cast<void*>(buf.data())));
  return r.ok;
}

bool SendUdpPacket(DriverHandle& master, uint32_t source_ip, const uint8_t* bytes, uint32_t n) {
  auto in = EncodeUdpForward(source_ip, std::span<const uint8_t>(bytes, bytes ? n : 0));
  IoResult r;
  if (!in.empty() && (bytes || n == 0)) {
    std::vector<uint8_t> buf;
    r = Call(master, kIoctlSendUdpPacket, buf, kUdpPacketBufferSize, in);
  }
  if (!r.ok) TraceLine("Got UDP Packet Fail !");
  return r.ok;
}

VersionCheck CheckDriverVersion(const std::string& full, const std::string& short_text) {
  VersionCheck c;
  c.pass = full.compare(kMinimumDriverVersion) >= 0;
  if (!c.pass)
    c.warning = "Warning !!!\n\nCurrent Driver Version is : " + short_text +
                "\n\nPlease change Driver Version to 1.35";
  return c;
}

void DriverVersionInfo::NoteTcpBusOpened(DriverHandle& tcp_bus) {
  if (asked_) return;
  asked_ = true;
  std::string full;
  GetTcpBusVersion(tcp_bus, &full, &tcp_short_);
}

std::string DriverVersionInfo::Text() const {
  return tcp_short_.empty() ? driver_short_ : driver_short_ + "." + tcp_short_;
}

}  // namespace vx::bus
