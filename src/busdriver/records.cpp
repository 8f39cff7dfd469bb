#include "busdriver/records.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <cstring>

#include "platform/net/network.h"

namespace vx::bus {
namespace {

uint32_t Load32(const uint8_t* p) {
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}
void Store32(uint8_t* p, uint32_t v) {
  p[0] = uint8_t(v);
  p[1] = uint8_t(v >> 8);
  p[2] = uint8_t(v >> 16);
  p[3] = uint8_t(v >> 24);
}
uint16_t Load16(const uint8_t* p) { return uint16_t(p[0] | p[1] << 8); }
int SignedByte(uint8_t b) { return int(int8_t(b)); }

// A bounds-checked reader over the bytes the driver returned.
class Reader {
 public:
  explicit Reader(std::span<const uint8_t> b) : b_(b) {}
  bool Has(size_t n) const { return n <= b_.size() - pos_; }
  bool Skip(size_t n) {
    if (!Has(n)) return false;
    pos_ += n;
    return true;
  }
  const uint8_t* Take(size_t n) {
    if (!Has(n)) return nullptr;
    const uint8_t* p = b_.data() + pos_;
    pos_ += n;
    return p;
  }
  size_t pos() const { return pos_; }

 private:
  std::span<const uint8_t> b_;
  size_t pos_ = 0;
};

// The text of an L-byte field: the bytes before the first NUL. Fails when the
// text is longer than the 63 bytes a driver text may hold.
bool TextField(const uint8_t* p, size_t len, bool need_nul, std::string* out) {
  const void* nul = len ? std::memchr(p, 0, len) : nullptr;
  if (need_nul && len > 0 && !nul) return false;
  size_t n = nul ? size_t(static_cast<const uint8_t*>(nul) - p) : len;
  if (n > kMaxTextBytes) return false;
  out->assign(reinterpret_cast<const char*>(p), n);
  return true;
}

// An extra pair's text: the pairs are not interpreted, so a text longer than
// the 63 bytes a driver text may hold is cut to them (what the 64-byte
// buffer it is copied into keeps) instead of costing the whole device list.
void PairText(const uint8_t* p, size_t len, std::string* out) {
  const void* nul = len ? std::memchr(p, 0, len) : nullptr;
  size_t n = nul ? size_t(static_cast<const uint8_t*>(nul) - p) : len;
  out->assign(reinterpret_cast<const char*>(p), std::min(n, kMaxTextBytes));
}

}  // namespace

std::string Ipv4Text(uint32_t ip) { return net::Ipv4::FromNetworkOrder(ip).ToString(); }

uint32_t LoadIpv4(const uint8_t* p) { return Load32(p); }
void StoreIpv4(uint8_t* p, uint32_t ip) { Store32(p, ip); }

// ---- bus list --------------------------------------------------------------

std::optional<BusList> ParseBusList(std::span<const uint8_t> buf, size_t returned, BusListError* why) {
  BusListError dummy;
  BusListError& err = why ? *why : dummy;
  err = BusListError::kNone;
  if (returned > kBusListSize || returned > buf.size()) {
    err = BusListError::kTooLong;
    return std::nullopt;
  }
  Reader r(buf.first(returned));
  const uint8_t* head = r.Take(8);
  if (!head || head[0] == 0) {
    err = head ? BusListError::kStatusZero : BusListError::kMalformed;
    if (!head && returned > 0 && buf[0] == 0) err = BusListError::kStatusZero;
    return std::nullopt;
  }
  BusList list;
  int count = SignedByte(head[4]);
  for (int i = 0; i < count; ++i) {
    const uint8_t* rec = r.Take(12);
    if (!rec) break;
    int len = SignedByte(rec[8]);
    const uint8_t* name = len >= 0 ? r.Take(size_t(len)) : nullptr;
    BusEntry e;
    if (!name || !TextField(name, size_t(len), true, &e.name)) {
      err = BusListError::kMalformed;
      return std::nullopt;
    }
    e.ip = LoadIpv4(rec);
    e.location = SignedByte(rec[4]);
    list.entries.push_back(std::move(e));
    continue;
  }
  if (int(list.entries.size()) != (count > 0 ? count : 0)) {
    err = BusListError::kMalformed;
    return std::nullopt;
  }
  return list;
}

std::vector<uint8_t> EncodeBusList(const BusList& list) {
  std::vector<uint8_t> out(8, 0);
  if (list.entries.size() > 127) return {};
  out[0] = 1;
  out[4] = uint8_t(list.entries.size());
  for (const auto& e : list.entries) {
    if (e.name.size() > kMaxTextBytes) return {};
    size_t at = out.size();
    out.resize(at + 12 + e.name.size() + 1, 0);
    StoreIpv4(&out[at], e.ip);
    out[at + 4] = uint8_t(int8_t(e.location));
    out[at + 8] = uint8_t(e.name.size() + 1);
    std::memcpy(&out[at + 12], e.name.data(), e.name.size());
  }
  if (out.size() > kBusListSize) return {};
  return out;
}

// ---- device list -----------------------------------------------------------

std::optional<DeviceList> ParseDeviceList(std::span<const uint8_t> buf, size_t returned,
                                          DeviceListError* why) {
  DeviceListError dummy;
  DeviceListError& err = why ? *why : dummy;
  err = DeviceListError::kNone;
  if (returned > kDeviceListSize || returned > buf.size()) {
    err = DeviceListError::kTooLong;
    return std::nullopt;
  }
  Reader r(buf.first(returned));
  const uint8_t* head = r.Take(8);
  if (!head) {
    err = (returned > 0 && buf[0] == 0) ? DeviceListError::kStatusZero : DeviceListError::kMalformed;
    return std::nullopt;
  }
  if (head[0] == 0) {
    err = DeviceListError::kStatusZero;
    return std::nullopt;
  }
  int count = SignedByte(head[4]);
  if (count < 0) {
    err = DeviceListError::kNegativeCount;
    return std::nullopt;
  }
  DeviceList list;
  err = DeviceListError::kMalformed;
  for (int i = 0; i < count; ++i) {
    const uint8_t* rec = r.Take(27);
    if (!rec) return std::nullopt;
    DeviceEntry d;
    d.device_no = rec[0];
    d.vid = Load16(rec + 1);
    d.pid = Load16(rec + 3);
    d.lock_type = SignedByte(rec[5]);
    d.lock_count = SignedByte(rec[6]);
    std::string* texts[5] = {&d.usb_class, &d.owner, &d.manufacturer, &d.product, &d.serial};
    for (int t = 0; t < 5; ++t) {
      int len = SignedByte(rec[7 + 4 * t]);
      const uint8_t* p = len >= 0 ? r.Take(size_t(len)) : nullptr;
      if (!p || !TextField(p, size_t(len), false, texts[t])) return std::nullopt;
    }
    const uint8_t* k = r.Take(1);
    if (!k || SignedByte(*k) < 0) return std::nullopt;
    for (int j = 0; j < *k; ++j) {
      const uint8_t* lens = r.Take(8);
      if (!lens) return std::nullopt;
      int a = SignedByte(lens[0]), b = SignedByte(lens[4]);
      if (a < 0 || b < 0) return std::nullopt;
      const uint8_t* pa = r.Take(size_t(a));
      const uint8_t* pb = pa ? r.Take(size_t(b)) : nullptr;
      if (!pb) return std::nullopt;
      ExtraPair pair;
      PairText(pa, size_t(a), &pair.key);
      PairText(pb, size_t(b), &pair.value);
      d.extra.push_back(std::move(pair));
    }
    list.devices.push_back(std::move(d));
  }
  err = DeviceListError::kNone;
  return list;
}

std::vector<uint8_t> EncodeDeviceList(const DeviceList& list) {
  if (list.devices.size() > 127) return {};
  std::vector<uint8_t> out(8, 0);
  out[0] = 1;
  out[4] = uint8_t(list.devices.size());
  auto text = [&out](const std::string& s) { out.insert(out.end(), s.begin(), s.end()); };
  for (const auto& d : list.devices) {
    const std::string* texts[5] = {&d.usb_class, &d.owner, &d.manufacturer, &d.product, &d.serial};
    for (auto* t : texts)
      if (t->size() > kMaxTextBytes) return {};
    if (d.extra.size() > 127) return {};
    size_t at = out.size();
    out.resize(at + 27, 0);
    out[at] = d.device_no;
    out[at + 1] = uint8_t(d.vid);
    out[at + 2] = uint8_t(d.vid >> 8);
    out[at + 3] = uint8_t(d.pid);
    out[at + 4] = uint8_t(d.pid >> 8);
    out[at + 5] = uint8_t(int8_t(d.lock_type));
    out[at + 6] = uint8_t(int8_t(d.lock_count));
    for (int t = 0; t < 5; ++t) out[at + 7 + 4 * t] = uint8_t(texts[t]->size());
    for (auto* t : texts) text(*t);
    out.push_back(uint8_t(d.extra.size()));
    for (const auto& p : d.extra) {
      if (p.key.size() > kMaxTextBytes || p.value.size() > kMaxTextBytes) return {};
      size_t l = out.size();
      out.resize(l + 8, 0);
      out[l] = uint8_t(p.key.size());
      out[l + 4] = uint8_t(p.value.size());
      text(p.key);
      text(p.value);
    }
    if (out.size() > kDeviceListSize) return {};
  }
  return out;
}

// ---- version record --------------------------------------------------------

std::optional<VersionRecord> ParseVersion(std::span<const uint8_t> buf, size_t returned) {
  if (returned > kSmallRecordSize || returned > buf.size() || returned < 7 || buf[0] == 0)
    return std::nullopt;
  return VersionRecord{SignedByte(buf[4]), SignedByte(buf[5]), SignedByte(buf[6])};
}

std::vector<uint8_t> EncodeVersion(const VersionRecord& v) {
  std::vector<uint8_t> out(kSmallRecordSize, 0);
  out[0] = 1;
  out[4] = uint8_t(int8_t(v.a));
  out[5] = uint8_t(int8_t(v.b));
  out[6] = uint8_t(int8_t(v.c));
  return out;
}

std::string FullVersionText(const VersionRecord& v) {
  return std::to_string(v.a) + "." + std::to_string(v.b) + "." + std::to_string(v.c);
}
std::string DriverShortVersion(const VersionRecord& v) {
  return std::to_string(v.a) + "." + std::to_string(v.c);
}
std::string TcpBusShortVersion(const VersionRecord& v) { return std::to_string(v.c); }

// ---- lock and request ------------------------------------------------------

std::vector<uint8_t> EncodeLock(const LockRecord& r) {
  std::vector<uint8_t> out(6, 0);
  out[0] = r.device_no;
  Store32(&out[1], r.lock_time);
  out[5] = r.lock_type;
  return out;
}

std::optional<LockRecord> ParseLock(std::span<const uint8_t> buf) {
  if (buf.size() < 6) return std::nullopt;
  return LockRecord{buf[0], Load32(&buf[1]), buf[5]};
}

std::vector<uint8_t> EncodeRequest(const RequestRecord& r) {
  std::vector<uint8_t> out(6, 0);
  out[0] = r.device_no;
  out[1] = r.command;
  StoreIpv4(&out[2], r.ip);
  return out;
}

std::optional<RequestRecord> ParseRequest(std::span<const uint8_t> buf) {
  if (buf.size() < 6) return std::nullopt;
  return RequestRecord{buf[0], buf[1], LoadIpv4(&buf[2])};
}

// ---- forwarded datagram ----------------------------------------------------

std::vector<uint8_t> EncodeUdpForward(uint32_t source_ip, std::span<const uint8_t> bytes) {
  if (bytes.size() > kUdpPacketBufferSize - 8) return {};
  std::vector<uint8_t> out(8 + bytes.size());
  StoreIpv4(&out[0], source_ip);
  Store32(&out[4], uint32_t(bytes.size()));
  if (!bytes.empty()) std::memcpy(&out[8], bytes.data(), bytes.size());
  return out;
}

std::optional<UdpForward> ParseUdpForward(std::span<const uint8_t> buf) {
  if (buf.size() < 8) return std::nullopt;
  uint32_t n = Load32(&buf[4]);
  if (n > buf.size() - 8) return std::nullopt;
  UdpForward f;
  f.source_ip = LoadIpv4(&buf[0]);
  f.bytes.assign(buf.begin() + 8, buf.begin() + 8 + n);
  return f;
}

// ---- TCP bus path ----------------------------------------------------------

namespace {
constexpr std::string_view kPathHead = "\\\\.\\usb#vid_1597&pid_1001&rev_0000#";
constexpr std::string_view kPathMid = "4e25#";
}  // namespace

std::string TcpBusPath(uint32_t ip) {
  char hex[9];
  std::snprintf(hex, sizeof hex, "%08X", ip);
  return std::string(kPathHead) + hex + std::string(kPathMid) + kTcpBusInterfaceGuid;
}

std::optional<uint32_t> ParseTcpBusPath(std::string_view path) {
  size_t expect = kPathHead.size() + 8 + kPathMid.size() + std::strlen(kTcpBusInterfaceGuid);
  if (path.size() != expect || path.substr(0, kPathHead.size()) != kPathHead) return std::nullopt;
  std::string_view hex = path.substr(kPathHead.size(), 8);
  if (path.substr(kPathHead.size() + 8, kPathMid.size()) != kPathMid) return std::nullopt;
  if (path.substr(kPathHead.size() + 8 + kPathMid.size()) != kTcpBusInterfaceGuid) return std::nullopt;
  uint32_t v = 0;
  for (char c : hex) {
    int d = (c >= '0' && c <= '9') ? c - '0' : (c >= 'A' && c <= 'F') ? c - 'A' + 10 : -1;
    if (d < 0) return std::nullopt;
    v = v << 4 | uint32_t(d);
  }
  return v;
}

// ---- events ----------------------------------------------------------------

std::string_view EventName(uint8_t code) {
  switch (code) {
    case 1:
      return "UPDATE_DEVICE_LIST";
    case 2:
      return "UPDATE_BUS_LIST";
    case 3:
      return "UPDATE_IP";
    case 4:
      return "OP_UBUS_REQUEST_TO_USE_DEVICE";
    case 5:
      return "OP_UBUS_AUDIO_DATA";
    case 6:
      return "OP_UBUS_ERROR_CODE_EVENT";
    default:
      return {};
  }
}

std::optional<EventRecord> ParseEvent(std::span<const uint8_t> rec) {
  if (rec.empty() || rec.size() > kEventBufferSize) return std::nullopt;
  EventRecord e;
  e.code = rec[0];
  switch (e.code) {
    case kEventUpdateDeviceList:
      if (rec.size() < 13) return std::nullopt;
      e.server_ip = LoadIpv4(&rec[9]);
      return e;
    case kEventUpdateBusList:
    case kEventUpdateIp:
    case kEventAudioData:
      return e;
    case kEventRequestToUse: {
      if (rec.size() < 15) return std::nullopt;
      e.command = rec[1];
      e.device_no = SignedByte(rec[2]);
      e.server_ip = LoadIpv4(&rec[3]);
      e.asker_ip = LoadIpv4(&rec[7]);
      size_t n = rec[11];
      if (n > rec.size() - 15) return std::nullopt;
      if (n > 0 && rec[14 + n] == 0) --n;
      e.host_name.assign(reinterpret_cast<const char*>(&rec[15]), n);
      return e;
    }
    case kEventErrorCode:
      if (rec.size() < 2) return std::nullopt;
      e.error_code = rec[1];
      if (e.error_code == 1) {
        if (rec.size() < 9) return std::nullopt;
        e.server_ip = LoadIpv4(&rec[5]);
      } else {
        if (rec.size() < 21) return std::nullopt;
        for (int i = 0; i < 4; ++i) e.error_values[i] = Load32(&rec[5 + 4 * i]);
      }
      return e;
    default:
      return std::nullopt;
  }
}

std::vector<uint8_t> EncodeEvent(const EventRecord& e) {
  std::vector<uint8_t> out;
  switch (e.code) {
    case kEventUpdateDeviceList:
      out.assign(13, 0);
      StoreIpv4(&out[9], e.server_ip);
      break;
    case kEventRequestToUse: {
      if (e.host_name.size() > 254) return {};
      size_t n = e.host_name.size() + 1;  // with its NUL
      out.assign(15 + n, 0);
      out[1] = e.command;
      out[2] = uint8_t(int8_t(e.device_no));
      StoreIpv4(&out[3], e.server_ip);
      StoreIpv4(&out[7], e.asker_ip);
      out[11] = uint8_t(n);
      std::memcpy(&out[15], e.host_name.data(), e.host_name.size());
      break;
    }
    case kEventErrorCode:
      out.assign(21, 0);
      out[1] = e.error_code;
      if (e.error_code == 1) {
        StoreIpv4(&out[5], e.server_ip);
      } else {
        for (int i = 0; i < 4; ++i) Store32(&out[5 + 4 * i], e.error_values[i]);
      }
      break;
    default:
      out.assign(4, 0);
      break;
  }
  out[0] = e.code;
  return out;
}

}  // namespace vx::bus
