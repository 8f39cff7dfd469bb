// The claim hook: once per hold, only for this PC's holds of devices with a
// Plug and Play profile, the device's identity in the environment, failures
// retried, a hung command ended.
#include "claim_hook.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>

#include "pnp_profile.h"

namespace vx::busd {
namespace {

using namespace std::chrono_literals;

class ClaimHookTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char dir[] = "/tmp/vx-claim-hook.XXXXXX";
    ASSERT_TRUE(mkdtemp(dir));
    dir_ = dir;
    report_.device_no = 2;
    report_.vid = 0x04A9;
    report_.pid = 0x1912;
    report_.serial = "FB3-7731";
    report_.manufacturer = "Acme";
    report_.product = "Flatbed 300";
    report_.owner = "VXPC1";
    report_.hold = 1;
    report_.pnp = lab::pnp::PnpProfile{"scanner", {{"twain_ds", "Vessix Lab Scanner"}}};
  }
  void TearDown() override { std::system(("rm -rf '" + dir_ + "'").c_str()); }

  std::unique_ptr<ClaimHook> Make(const std::string& command, std::chrono::milliseconds timeout = 10s) {
    return std::make_unique<ClaimHook>(ClaimHook::Config{command, "VXPC1", timeout},
                                       [this](uint32_t ip, int no) -> std::optional<std::string> {
                                         std::lock_guard l(m_);
                                         asked_.push_back({ip, no});
                                         if (!answer_) return std::nullopt;
                                         return answer_->empty() ? lab::pnp::DeviceReportJson(report_).dump()
                                                                 : *answer_;
                                       });
  }
  std::string Log() {
    std::ifstream in(dir_ + "/log");
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }
  // Records one line per run: the variables the hook scripts use.
  std::string Recorder() {
    return "printf '%s|%s|%s|%s|%s|%s|%s\\n' \"$VX_CLAIM_PC\" \"$VX_CLAIM_SERVER\" \"$VX_CLAIM_DEVICE_NO\" "
           "\"$VX_CLAIM_VID\" \"$VX_CLAIM_PID\" \"$VX_CLAIM_SERIAL\" \"$VX_CLAIM_PROFILE\" >>'" +
           dir_ + "/log'; printf '%s\\n' \"$VX_CLAIM_DEVICE\" >'" + dir_ + "/device.json'";
  }

  std::string dir_;
  std::mutex m_;
  lab::pnp::DeviceReport report_;
  std::optional<std::string> answer_ = std::string();  // empty text: report_ as JSON
  std::vector<std::pair<uint32_t, int>> asked_;
  const uint32_t ip_ = 0x1500A8C0;  // 192.168.0.21 as inet_addr
};

TEST_F(ClaimHookTest, RunsOncePerHoldWithTheDeviceInTheEnvironment) {
  auto hook = Make(Recorder());
  hook->Claimed(ip_, 2);
  ASSERT_TRUE(hook->WaitHandled(1, 10s));
  EXPECT_EQ(Log(), "VXPC1|192.168.0.21|2|04A9|1912|FB3-7731|scanner\n");
  std::ifstream in(dir_ + "/device.json");
  std::string json((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::string why;
  auto back = lab::pnp::ParseDeviceReport(json, &why);
  ASSERT_TRUE(back) << why;
  EXPECT_EQ(back->pnp, report_.pnp);

  hook->Claimed(ip_, 2);  // the holder claims again: nothing arrives
  ASSERT_TRUE(hook->WaitHandled(2, 10s));
  EXPECT_EQ(hook->Started(), 1);
  {
    std::lock_guard l(m_);
    report_.hold = 2;  // let go and held again
  }
  hook->Claimed(ip_, 2);
  ASSERT_TRUE(hook->WaitHandled(3, 10s));
  EXPECT_EQ(hook->Started(), 2);
  std::lock_guard l(m_);
  EXPECT_EQ(asked_.size(), 3u);
  EXPECT_EQ(asked_[0], std::make_pair(ip_, 2));
}

TEST_F(ClaimHookTest, RunsNothingForOtherHoldsMissingProfilesOrBadReports) {
  auto hook = Make(Recorder());
  int n = 0;
  auto claim = [&] {
    hook->Claimed(ip_, 2);
    ASSERT_TRUE(hook->WaitHandled(++n, 10s));
  };
  {
    std::lock_guard l(m_);
    report_.owner = "VXPC2";
  }
  claim();
  {
    std::lock_guard l(m_);
    report_.owner = "VXPC1";
    report_.pnp.reset();
  }
  claim();
  {
    std::lock_guard l(m_);
    answer_ = R"({"device_no": 2, "vid": "04A9", "pid": "1912", "owner": "VXPC1", "pnp": "../x"})";
  }
  claim();
  {
    std::lock_guard l(m_);
    answer_ = std::string("{\"device_no\": 2, \"vi", 20);
  }
  claim();
  {
    std::lock_guard l(m_);
    answer_.reset();
  }
  claim();
  EXPECT_EQ(hook->Started(), 0);
  EXPECT_EQ(Log(), "");
}

TEST_F(ClaimHookTest, TextsReachTheCommandUnchangedAndAFailureIsRetried) {
  report_.serial = "a\"b'c $(touch x) `y` \\z";
  report_.manufacturer = "Acme; rm -rf /";
  auto failing = Make(Recorder() + "; exit 3");
  failing->Claimed(ip_, 2);
  ASSERT_TRUE(failing->WaitHandled(1, 10s));
  failing->Claimed(ip_, 2);  // the same hold: tried again, since it failed
  ASSERT_TRUE(failing->WaitHandled(2, 10s));
  EXPECT_EQ(failing->Started(), 2);
  EXPECT_EQ(Log(),
            "VXPC1|192.168.0.21|2|04A9|1912|a\"b'c $(touch x) `y` \\z|scanner\n"
            "VXPC1|192.168.0.21|2|04A9|1912|a\"b'c $(touch x) `y` \\z|scanner\n");
}

TEST_F(ClaimHookTest, AHungCommandIsEndedAfterItsTimeOut) {
  auto hook = Make("echo started >'" + dir_ + "/log'; sleep 60; echo finished >>'" + dir_ + "/log'", 200ms);
  auto t0 = std::chrono::steady_clock::now();
  hook->Claimed(ip_, 2);
  ASSERT_TRUE(hook->WaitHandled(1, 20s));
  EXPECT_LT(std::chrono::steady_clock::now() - t0, 10s);
  EXPECT_EQ(Log(), "started\n");
  // Not recorded as played: the next claim runs it again.
  hook->Claimed(ip_, 2);
  ASSERT_TRUE(hook->WaitHandled(2, 20s));
  EXPECT_EQ(hook->Started(), 2);
}

}  // namespace
}  // namespace vx::busd
