// GetReadInfo and the tree behind it, fed by the fuzzer: the input is split
// into the device list the server's TCP bus returns (raw bytes, malformed or
// not) and a run of event records, each with a length that may be negative
// or larger than the record. The tree must stay consistent with its view and
// nothing may read past the bytes given.
#include <cstdint>
#include <cstring>
#include <vector>

#include "model/testing/model_fixture.h"

using namespace vx;
using namespace vx::model;
namespace mt = vx::model::testing;

namespace {

uint16_t Take16(const uint8_t*& p, size_t& n) {
  if (n < 2) {
    n = 0;
    return 0;
  }
  uint16_t v = uint16_t(p[0] | p[1] << 8);
  p += 2, n -= 2;
  return v;
}

void Check(mt::ModelFixture& f) {
  size_t nodes = 0;
  for (const auto& s : f.tree.Servers()) {
    nodes += 1 + s->devices.size();
    if (!f.view.nodes.count(s->id)) __builtin_trap();
    for (const auto& d : s->devices)
      if (f.view.nodes.at(d.id).parent != s->id) __builtin_trap();
  }
  if (nodes != f.view.nodes.size()) __builtin_trap();
  if (f.list->Busy()) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  mt::ModelFixture f(size % 2 == 0);
  f.driver.SetBusList({mt::Bus("uds1", "10.0.0.2", 1), mt::Bus("far", "10.9.0.5", 3)});
  f.info.replies["10.0.0.2"] = mt::Info("00:80:92:00:00:02");
  f.info.replies["10.9.0.5"] = mt::Info("00:80:92:00:09:05");

  const uint8_t* p = data;
  size_t n = size;
  const size_t list_size = std::min<size_t>(Take16(p, n) % 2600, n);
  std::vector<uint8_t> device_list(p, p + list_size);
  p += list_size, n -= list_size;
  f.driver.SetDevices("10.0.0.2", {});
  f.driver.SetDevices("10.9.0.5", {});
  f.list->RefreshServerList();
  f.info.Deliver();
  for (auto& h : f.driver.handles) h->Script(bus::kIoctlGetDeviceList, {{true, 0, device_list}});

  while (n > 0) {
    const int length = int16_t(Take16(p, n));
    const size_t record_size = std::min<size_t>(n, length < 0 ? 16 : size_t(length) % 64);
    std::vector<uint8_t> record(bus::kEventBufferSize, 0);
    std::memcpy(record.data(), p, record_size);
    p += record_size, n -= record_size;
    f.events->GetReadInfo(record, length);
    f.info.Deliver();
    Check(f);
  }
  return 0;
}
