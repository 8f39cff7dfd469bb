// The listener's classify-and-store path: 100 distinct server replies into an
// empty table (all stored while the lock is free), the same replies again
// (each replaces its entry), announcements of known servers; against the
// reference of merely copying the 100 records.
#include <benchmark/benchmark.h>

#include <cstring>
#include <mutex>
#include <vector>

#include "discovery/datagram.h"

namespace {

using namespace vx::discovery;

struct Input {
  std::vector<Record> replies;
  std::vector<vx::net::Ipv4> sources;
};

const Input& Replies() {
  static const Input input = [] {
    Input in;
    for (int i = 0; i < 100; ++i) {
      ServerRecordFields f;
      f.mac = {0, 0x80, 0x92, 0, 0, static_cast<uint8_t>(i)};
      f.model = "MD-LAN01";
      f.configd_version = "1.52";
      f.configd_type = 1;
      f.usb_ports = 4;
      in.replies.push_back(EncodeServerRecord(f));
      in.sources.push_back(vx::net::Ipv4{{10, 77, 1, static_cast<uint8_t>(i + 1)}});
    }
    return in;
  }();
  return input;
}

void BM_Reference_CopyRecords(benchmark::State& state) {
  const Input& in = Replies();
  std::vector<Record> copy(100);
  for (auto _ : state) {
    for (size_t i = 0; i < 100; ++i) std::memcpy(copy[i].data(), in.replies[i].data(), kRecordSize);
    benchmark::DoNotOptimize(copy.data());
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * 100);
}
BENCHMARK(BM_Reference_CopyRecords);

void BM_ClassifyAndStore100(benchmark::State& state) {
  const Input& in = Replies();
  size_t stored = 0;
  for (auto _ : state) {
    DiscoveryTable table;
    for (size_t i = 0; i < 100; ++i) {
      auto r = ProcessDatagram(in.replies[i], in.sources[i], table);
      benchmark::DoNotOptimize(r);
    }
    stored = table.Count();
  }
  state.SetItemsProcessed(state.iterations() * 100);
  state.counters["stored"] = static_cast<double>(stored);
}
BENCHMARK(BM_ClassifyAndStore100);

void BM_Replace100(benchmark::State& state) {
  const Input& in = Replies();
  DiscoveryTable table;
  for (size_t i = 0; i < 100; ++i) ProcessDatagram(in.replies[i], in.sources[i], table);
  for (auto _ : state) {
    for (size_t i = 0; i < 100; ++i) {
      auto r = ProcessDatagram(in.replies[i], in.sources[i], table);
      benchmark::DoNotOptimize(r);
    }
  }
  state.SetItemsProcessed(state.iterations() * 100);
  state.counters["stored"] = static_cast<double>(table.Count());
}
BENCHMARK(BM_Replace100);

void BM_BootOfKnownServer(benchmark::State& state) {
  const Input& in = Replies();
  DiscoveryTable table;
  for (size_t i = 0; i < 100; ++i) ProcessDatagram(in.replies[i], in.sources[i], table);
  const uint8_t boot[] = {'R', 'B', 'O', 'O', 'T', 'U', 'P', 0, 0, 0x80, 0x92, 0, 0, 1};
  for (auto _ : state) {
    for (size_t i = 0; i < 100; ++i) {
      auto r = ProcessDatagram(boot, in.sources[i], table);
      benchmark::DoNotOptimize(r);
    }
  }
  state.SetItemsProcessed(state.iterations() * 100);
}
BENCHMARK(BM_BootOfKnownServer);

}  // namespace

BENCHMARK_MAIN();
