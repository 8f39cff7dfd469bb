#include "devices/device_ops.h"

#include <gtest/gtest.h>

#include "busdriver/records.h"
#include "busdriver/testing/fake_driver.h"
#include "platform/trace.h"

namespace vx::devices {
namespace {

using bus::testing::Answer;
using bus::testing::FakeHandle;

DeviceRef Storage() { return {"7", "Mass Storage", "Disk", 0x04bb, 0x0c1a, "ABC123", "Disk (7)"}; }
DeviceRef Printer() { return {"3", "PRINTER", "Laser", 0x1234, 0x5678, "0", "Laser (3)"}; }

bus::LockRecord LockOf(const bus::testing::RecordedCall& c) { return *bus::ParseLock(c.input); }

class ScriptedEjector final : public Ejector {
 public:
  explicit ScriptedEjector(int result) : result_(result) {}
  int Eject(uint16_t vid, uint16_t pid, const std::string& serial) override {
    ++calls;
    last = {vid, pid, serial};
    return result_;
  }
  int calls = 0;
  std::tuple<uint16_t, uint16_t, std::string> last;

 private:
  int result_;
};

TEST(LockTime, ByClassCaseInsensitiveEmptyIsNotStorage) {
  EXPECT_EQ(LockTimeFor("MASS STORAGE"), 259200u);
  EXPECT_EQ(LockTimeFor("mass storage"), 259200u);
  EXPECT_EQ(LockTimeFor("MASS STORAGE "), 3600u);
  EXPECT_EQ(LockTimeFor(""), 3600u);
  EXPECT_EQ(LockTimeFor("PRINTER"), 3600u);
}

TEST(Connect, ClaimsThenLocksManuallyWithTheClassTime) {
  for (auto [device, time] : {std::pair{Storage(), 259200u}, std::pair{Printer(), 3600u}}) {
    FakeHandle h;
    ASSERT_EQ(ConnectDevice(h, device), ConnectResult::kConnected);
    auto calls = h.Calls();
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0].code, bus::kIoctlClaimDevice);
    ASSERT_EQ(calls[1].code, bus::kIoctlLockDevice);
    auto lock = LockOf(calls[1]);
    EXPECT_EQ(lock.lock_type, 2);
    EXPECT_EQ(lock.lock_time, time);
    EXPECT_EQ(lock.device_no, bus::DeviceNumber(device.device_no));
  }
}

TEST(Connect, RefusedClaimTellsThePrinterPortAndTakesNothingElse) {
  struct Notice : bus::ClaimNotice {
    int told = 0;
    void PortSetToPrinterServer() override { ++told; }
  } notice;
  FakeHandle h;
  h.Script(bus::kIoctlClaimDevice, {Answer{false, bus::kErrorPortIsPrinterServer, {}}});
  EXPECT_EQ(ConnectDevice(h, Printer(), &notice), ConnectResult::kClaimFailed);
  EXPECT_EQ(notice.told, 1);
  EXPECT_EQ(h.Calls().size(), 1u);  // no lock, no release
}

TEST(Connect, LockRefusedAfterClaimGivesTheClaimBack) {
  FakeHandle h;
  h.Script(bus::kIoctlLockDevice, {Answer{false, 31, {}}});
  TraceCapture trace;
  EXPECT_EQ(ConnectDevice(h, Storage()), ConnectResult::kLockFailed);
  auto calls = h.Calls();
  ASSERT_EQ(calls.size(), 3u);
  EXPECT_EQ(calls[2].code, bus::kIoctlReleaseDevice);
  EXPECT_EQ(calls[2].input, std::vector<uint8_t>{7});
  EXPECT_TRUE(trace.Contains(">>> Lock Timeout : 259200"));
}

TEST(Disconnect, StorageIsEjectedBeforeUnlockAndRelease) {
  FakeHandle h;
  ScriptedEjector ej(0);
  TraceCapture trace;
  auto out = DisconnectDevice(h, Storage(), ej);
  EXPECT_EQ(out.result, DisconnectResult::kDisconnected);
  EXPECT_EQ(ej.calls, 1);
  EXPECT_EQ(ej.last, std::make_tuple(uint16_t(0x04bb), uint16_t(0x0c1a), std::string("ABC123")));
  auto calls = h.Calls();
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_EQ(calls[0].code, bus::kIoctlUnlockDevice);
  EXPECT_EQ(LockOf(calls[0]).lock_time, 0u);
  EXPECT_EQ(LockOf(calls[0]).lock_type, 2);
  EXPECT_EQ(calls[1].code, bus::kIoctlReleaseDevice);
  EXPECT_TRUE(trace.Contains("Eject \"Disk (7)\" OK ! return : 0"));
}

TEST(Disconnect, NotPresentGoesOnNoKeyAndVetoStopWithTheDeviceKept) {
  for (int r : {-2, -1, -3}) {
    FakeHandle h;
    ScriptedEjector ej(r);
    TraceCapture trace;
    auto out = DisconnectDevice(h, Storage(), ej);
    EXPECT_EQ(out.eject_result, r);
    if (r == -2) {
      EXPECT_EQ(out.result, DisconnectResult::kDisconnected);
      EXPECT_EQ(h.Calls().size(), 2u);
      EXPECT_TRUE(trace.Contains("Eject \"Disk (7)\" OK ! return : -2"));
    } else {
      EXPECT_EQ(out.result, DisconnectResult::kEjectFailed);
      EXPECT_TRUE(h.Calls().empty()) << r;  // still connected and locked
      EXPECT_TRUE(trace.Contains("Eject \"Disk (7)\" Failed ! return : " + std::to_string(r)));
    }
  }
}

TEST(Disconnect, ClipScannerIsNeverEjectedAndItsViewerEndsFirst) {
  struct Viewer : ViewerCloser {
    std::string closed;
    void CloseViewer(const std::string& t) override { closed = t; }
  } viewer;
  DeviceRef clip = Storage();
  clip.product = "GV-SC400 SEGCLIP";
  FakeHandle h;
  ScriptedEjector ej(-3);
  EXPECT_EQ(DisconnectDevice(h, clip, ej, &viewer).result, DisconnectResult::kDisconnected);
  EXPECT_EQ(ej.calls, 0);
  EXPECT_EQ(viewer.closed, "SEG CLIP");
  // Another product's viewer is left alone; a printer is never ejected.
  Viewer other;
  FakeHandle h2;
  DisconnectDevice(h2, Printer(), ej, &other);
  EXPECT_EQ(ej.calls, 0);
  EXPECT_TRUE(other.closed.empty());
}

TEST(Disconnect, FailedUnlockStillReleasesReleaseRefusedIsReportedNotHeldIsDone) {
  ScriptedEjector ej(0);
  FakeHandle h;
  h.Script(bus::kIoctlUnlockDevice, {Answer{false, 31, {}}});
  TraceCapture trace;
  auto out = DisconnectDevice(h, Printer(), ej);
  EXPECT_FALSE(out.unlocked);
  EXPECT_EQ(out.result, DisconnectResult::kDisconnected);
  EXPECT_TRUE(trace.Contains("Unlock device failed !"));

  FakeHandle refused;
  refused.Script(bus::kIoctlReleaseDevice, {Answer{false, 31, {}}});
  EXPECT_EQ(DisconnectDevice(refused, Printer(), ej).result, DisconnectResult::kReleaseFailed);

  FakeHandle not_held;  // -32: this PC no longer holds it, which is what was asked
  not_held.Script(bus::kIoctlReleaseDevice, {Answer{false, bus::kErrorNotHeld, {}}});
  EXPECT_EQ(DisconnectDevice(not_held, Printer(), ej).result, DisconnectResult::kDisconnected);
}

}  // namespace
}  // namespace vx::devices
