#include "devices/disconnect_all.h"

#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <thread>

#include "busdriver/records.h"
#include "busdriver/testing/fake_driver.h"
#include "platform/trace.h"

namespace vx::devices {
namespace {

using bus::testing::FakeHandle;

// Holds every ejection until the test opens the gate; counts those inside.
class GateEjector final : public Ejector {
 public:
  int Eject(uint16_t, uint16_t, const std::string&) override {
    std::unique_lock l(m_);
    ++inside_;
    cv_.notify_all();
    cv_.wait(l, [&] { return open_; });
    return -3;  // vetoed: a worker releases the device all the same
  }
  bool WaitInside(int n) {
    std::unique_lock l(m_);
    return cv_.wait_for(l, std::chrono::seconds(10), [&] { return inside_ >= n; });
  }
  void Open() {
    std::lock_guard l(m_);
    open_ = true;
    cv_.notify_all();
  }

 private:
  std::mutex m_;
  std::condition_variable cv_;
  int inside_ = 0;
  bool open_ = false;
};

HeldCandidate Held(const std::string& no, const std::string& cls, const std::string& owner) {
  return {DeviceRef{no, cls, "P" + no, 0x1000, 0x2000, "S" + no, "Dev " + no}, owner};
}

size_t Releases(FakeHandle& h) { return h.CallsOf(bus::kIoctlReleaseDevice).size(); }

TEST(DisconnectAll, ThreeStorageDevicesOnThreeWorkersReturnOnlyAfterAll) {
  auto bus = std::make_shared<FakeHandle>();
  std::vector<ServerDevices> servers{{"10.77.0.21",
                                      bus,
                                      {Held("1", "MASS STORAGE", "PC1"), Held("2", "Mass Storage", "PC1"),
                                       Held("3", "MASS STORAGE", "PC1"), Held("4", "MASS STORAGE", "PC2")}}};
  GateEjector ej;
  std::atomic<bool> returned{false};
  std::vector<DisconnectAllItem> items;
  TraceCapture trace;
  std::thread caller([&] {
    items = DisconnectAll(InlineMainThread(), servers, "PC1", std::nullopt, ej);
    returned = true;
  });
  // All three are ejecting at the same time: three workers.
  ASSERT_TRUE(ej.WaitInside(3));
  EXPECT_FALSE(returned.load());
  EXPECT_EQ(Releases(*bus), 0u);
  ej.Open();
  caller.join();
  EXPECT_EQ(Releases(*bus), 3u);
  ASSERT_EQ(items.size(), 3u);
  for (const auto& i : items) {
    EXPECT_TRUE(i.released);
    EXPECT_EQ(i.eject_result, -3);
    EXPECT_NE(i.device_no, "4");
  }
  EXPECT_TRUE(trace.Contains("Eject \"Dev 2\" Failed ! return : -3"));
  EXPECT_TRUE(trace.Contains("=======> DisconnectAllDevice(o) : Dev 3"));
  EXPECT_TRUE(bus->CallsOf(bus::kIoctlUnlockDevice).empty());
}

class NoEject final : public Ejector {
 public:
  int Eject(uint16_t, uint16_t, const std::string&) override {
    ++calls;
    return 0;
  }
  std::atomic<int> calls{0};
};

TEST(DisconnectAll, OneServerOnlyAndServersWithoutBusAreSkipped) {
  auto a = std::make_shared<FakeHandle>(), b = std::make_shared<FakeHandle>();
  std::vector<ServerDevices> servers{{"10.77.0.21", a, {Held("1", "PRINTER", "PC1")}},
                                     {"10.77.0.22", b, {Held("1", "PRINTER", "PC1"), Held("2", "", "PC1")}},
                                     {"10.77.0.23", nullptr, {Held("1", "PRINTER", "PC1")}}};
  NoEject ej;
  TraceCapture trace;
  auto items = DisconnectAll(InlineMainThread(), servers, "PC1", std::string("10.77.0.22"), ej);
  EXPECT_EQ(items.size(), 2u);
  EXPECT_EQ(Releases(*a), 0u);
  EXPECT_EQ(Releases(*b), 2u);
  EXPECT_EQ(ej.calls.load(), 0);  // no storage among them
  EXPECT_TRUE(trace.Contains("Starting Disconnect 10.77.0.22"));

  items = DisconnectAll(InlineMainThread(), servers, "PC1", std::nullopt, ej);
  EXPECT_EQ(items.size(), 3u);  // the server without a bus is left out
}

TEST(DisconnectAll, NothingHeldReturnsAtOnceAndFailedReleaseIsReported) {
  auto a = std::make_shared<FakeHandle>();
  NoEject ej;
  // Owner compared exactly; an empty own name never matches free devices.
  std::vector<ServerDevices> servers{
      {"10.77.0.21", a, {Held("1", "PRINTER", "pc1"), Held("2", "PRINTER", "")}}};
  EXPECT_TRUE(DisconnectAll(InlineMainThread(), servers, "PC1", std::nullopt, ej).empty());
  EXPECT_TRUE(DisconnectAll(InlineMainThread(), servers, "", std::nullopt, ej).empty());
  EXPECT_TRUE(a->Calls().empty());

  a->Script(bus::kIoctlReleaseDevice, {bus::testing::Answer{false, 31, {}}});
  servers[0].devices.push_back(Held("3", "PRINTER", "PC1"));
  TraceCapture trace;
  auto items = DisconnectAll(InlineMainThread(), servers, "PC1", std::nullopt, ej);
  ASSERT_EQ(items.size(), 1u);
  EXPECT_FALSE(items[0].released);
  EXPECT_TRUE(trace.Contains("=======> DisconnectAllDevice(x) : Dev 3"));
}

}  // namespace
}  // namespace vx::devices
