// The asking side: sending a request, polling for the freed device, the
// refusal, closing the wait dialog, and the one timer's purposes.
#include "requests/request_presenter.h"

#include <gtest/gtest.h>

#include "requests/testing/request_bench.h"

namespace vx::requests {
namespace {

using model::testing::Device;
using testing::RequestBench;
using testing::SentRequest;

struct Asking : ::testing::Test {
  RequestBench b;
  // Asks for device 1 of uds1 (a printer held manually by PC-B).
  void Ask(const std::string& device_no = "1") {
    b.Select("10.0.0.2", device_no);
    b.presenter->Action_RequestExecute();
  }
  // The holder lets device `no` go (the next device-list update shows it free).
  void Freed(int no, const std::string& usb_class = "PRINTER") {
    b.Devices("10.0.0.2", {Device(no, usb_class, "Acme", "Laser 9", "", 0)});
  }
};

TEST_F(Asking, RequestSendsCodeOneShowsTheWaitDialogAndPollsEveryTwoSeconds) {
  Ask();
  EXPECT_EQ(b.Sent(), (std::vector<SentRequest>{{"10.0.0.2", 1, 1, "0.0.0.0"}}));
  EXPECT_TRUE(b.wait.shown);
  EXPECT_EQ(b.wait.info, (RequestInfo{"PC-B", "uds1 - 10.0.0.2", "PRINTER - Acme - Laser 9"}));
  EXPECT_EQ(b.wait.Look().state, ReplyState::kWaiting);
  EXPECT_EQ(b.wait.Look().caption, "Please wait for the reply...");
  EXPECT_EQ(b.wait.Look().button, WaitButton::kCancel);
  EXPECT_EQ(b.wait.Look().picture, WaitPicture::kAnimation);
  EXPECT_FALSE(b.host.request_enabled);
  EXPECT_EQ(b.presenter->PendingServerIP(), "10.0.0.2");
  EXPECT_EQ(b.presenter->PendingDeviceNo(), "1");
  EXPECT_EQ(b.timer.starts, (std::vector<int>{2000}));
  b.Run(6000);
  EXPECT_EQ(b.presenter->RequestPollCount(), 3) << "the device is still held: three polls";
  EXPECT_EQ(b.f.view.log.back(), "tree on") << "the tree is enabled again after each search";
}

TEST_F(Asking, FailedRequestEnablesTheButtonAgainAndShowsNothing) {
  b.Bus("10.0.0.2").Script(bus::kIoctlRequestDevice, {{false, 31, {}}});
  Ask();
  EXPECT_EQ(b.host.request_enabled_log, (std::vector<bool>{false, true}));
  EXPECT_FALSE(b.wait.shown);
  EXPECT_TRUE(b.wait.looks.empty());
  EXPECT_FALSE(b.timer.running);
  EXPECT_TRUE(b.host.messages.empty());
}

TEST_F(Asking, NothingIsSentForAServerWithoutBusAFreeDeviceOrOneOfThisPc) {
  Ask("3");                                     // held by this PC
  b.f.tree.Select(b.f.Server("10.0.0.2")->id);  // a server, not a device
  b.presenter->Action_RequestExecute();
  b.Devices("10.0.0.2", {Device(1, "PRINTER", "Acme", "Laser 9", "", 0)});
  Ask("1");  // free now
  b.Devices("10.0.0.2", {Device(1, "PRINTER", "Acme", "Laser 9", "PC-B", 1)});
  Ask("1");  // held automatically
  b.Devices("10.0.0.2", {Device(1, "PRINTER", "Acme", "Laser 9", "PC-B", 2)});
  b.f.Server("10.0.0.2")->data->TcpBusHandle.reset();
  Ask("1");
  EXPECT_FALSE(b.wait.shown);
  EXPECT_TRUE(b.host.request_enabled_log.empty());
}

TEST_F(Asking, FreedDeviceIsClaimedAndLockedWithTheManualLockAndShownConnected) {
  Ask();
  b.Run(4000);
  Freed(1);
  b.Run(2000);
  ASSERT_EQ(b.Calls("10.0.0.2", bus::kIoctlClaimDevice).size(), 1u);
  auto locks = b.Calls("10.0.0.2", bus::kIoctlLockDevice);
  ASSERT_EQ(locks.size(), 1u);
  auto lock = bus::ParseLock(locks[0].input);
  EXPECT_EQ(lock->lock_type, 2);
  EXPECT_EQ(lock->lock_time, 3600u);
  EXPECT_EQ(b.wait.Look().state, ReplyState::kConnected);
  EXPECT_EQ(b.wait.Look().title, WaitTitle::kTitleOK);
  EXPECT_EQ(b.wait.Look().caption, "Got the reply !");
  EXPECT_EQ(b.wait.Look().button, WaitButton::kClose);
  EXPECT_EQ(b.presenter->RequestPollCount(), 0);
  EXPECT_FALSE(b.timer.running) << "polling stops";
  EXPECT_FALSE(b.presenter->LastReplyRefused());
}

TEST_F(Asking, MassStorageIsLockedForThreeDaysAnyOtherClassForAnHour) {
  Ask("2");
  b.Devices("10.0.0.2", {Device(2, "mass storage", "Disk", "Stick", "", 0)});
  b.Run(2000);
  auto locks = b.Calls("10.0.0.2", bus::kIoctlLockDevice);
  ASSERT_EQ(locks.size(), 1u);
  EXPECT_EQ(bus::ParseLock(locks[0].input)->lock_time, 259200u);
  EXPECT_EQ(bus::ParseLock(locks[0].input)->device_no, 2);
}

// The holder let go, but this PC cannot take the device: the dialog tells
// the truth instead of "connected", nothing is locked, nothing stays held.
TEST_F(Asking, ClaimFailureAfterTheReleaseShowsTheFailureNotConnected) {
  Ask();
  Freed(1);
  b.Bus("10.0.0.2").Script(bus::kIoctlClaimDevice, {{false, 31, {}}});
  b.Run(2000);
  EXPECT_EQ(b.wait.Look().state, ReplyState::kFailed);
  EXPECT_EQ(b.wait.Look().title, WaitTitle::kTitleReject);
  EXPECT_EQ(b.wait.Look().title_text, "!!! The device could not be connected !!!");
  EXPECT_EQ(b.wait.Look().picture, WaitPicture::kNo);
  EXPECT_TRUE(b.Calls("10.0.0.2", bus::kIoctlLockDevice).empty()) << "no lock without a claim";
  EXPECT_TRUE(b.host.messages.empty()) << "the message box is for the Japanese interface";
  EXPECT_FALSE(b.timer.running);
  // Closing sends nothing and lets the selection refresh decide the commands.
  b.presenter->WaitDialogClose();
  EXPECT_EQ(b.Sent().size(), 1u);
  EXPECT_EQ(b.host.refreshes, 1);
}

TEST(AskingJapanese, ClaimFailureShowsTheJapaneseMessageAndTitle) {
  RequestBench b(true);
  b.Select("10.0.0.2", "1");
  b.presenter->Action_RequestExecute();
  EXPECT_EQ(b.wait.Look().caption, "応答をお待ちください…");
  EXPECT_EQ(b.wait.Look().title_text, "USBデバイスの切断を要求します。");
  EXPECT_TRUE(b.wait.Look().japanese);
  b.Devices("10.0.0.2", {Device(1, "PRINTER", "Acme", "Laser 9", "", 0)});
  b.Bus("10.0.0.2").Script(bus::kIoctlClaimDevice, {{false, 31, {}}});
  b.Run(2000);
  EXPECT_EQ(b.host.messages, (std::vector<std::string>{"USBデバイスの接続に失敗しました。"}));
  EXPECT_EQ(b.wait.Look().title_text, "USBデバイスの接続に失敗しました。");
  EXPECT_EQ(b.wait.Look().caption, "応答がありました。");
}

TEST_F(Asking, LockRefusedAfterTheClaimGivesTheDeviceBackAndShowsTheFailure) {
  Ask();
  Freed(1);
  b.Bus("10.0.0.2").Script(bus::kIoctlLockDevice, {{false, 31, {}}});
  b.Run(2000);
  EXPECT_EQ(b.Calls("10.0.0.2", bus::kIoctlReleaseDevice).size(), 1u);
  EXPECT_EQ(b.wait.Look().state, ReplyState::kFailed);
}

TEST_F(Asking, MissingDeviceStopsPollingAfterFiftyTicksWithTheDialogUnchanged) {
  Ask();
  b.Devices("10.0.0.2", {});
  b.Run(49 * 2000);
  EXPECT_TRUE(b.timer.running);
  EXPECT_EQ(b.presenter->RequestPollCount(), 49);
  b.Run(2000);
  EXPECT_FALSE(b.timer.running) << "the 50th poll ends it";
  EXPECT_EQ(b.presenter->RequestPollCount(), 0);
  EXPECT_TRUE(b.wait.shown);
  EXPECT_EQ(b.wait.looks.size(), 1u) << "still waiting";
  // Closing it now withdraws the request.
  b.presenter->WaitDialogClose();
  EXPECT_EQ(b.Sent().back(), (SentRequest{"10.0.0.2", 1, 3, "0.0.0.0"}));
  EXPECT_FALSE(b.host.request_enabled) << "no refusal: the button waits for the selection refresh";
}

TEST_F(Asking, ListedDeviceIsPolledWithoutLimit) {
  Ask();
  b.Run(60 * 2000);
  EXPECT_TRUE(b.timer.running);
  EXPECT_EQ(b.presenter->RequestPollCount(), 60);
}

TEST_F(Asking, DeviceTakenByThisPcMeanwhileEndsTheWaitAsConnected) {
  Ask();
  b.Devices("10.0.0.2", {Device(1, "PRINTER", "Acme", "Laser 9", testing::kThisPc, 2)});
  b.Run(2000);
  EXPECT_EQ(b.wait.Look().state, ReplyState::kConnected);
  EXPECT_TRUE(b.Calls("10.0.0.2", bus::kIoctlClaimDevice).empty());
  EXPECT_FALSE(b.timer.running);
}

TEST_F(Asking, RefusalShowsRefusedAfterOneSecondAndClosingEnablesTheButton) {
  Ask();
  b.Run(500);
  b.Event(kCodeRefuse, "10.0.0.2", 1, "10.0.0.9");
  EXPECT_EQ(b.timer.starts.back(), 1000);
  b.Run(999);
  EXPECT_EQ(b.wait.looks.size(), 1u);
  b.Run(1);
  EXPECT_EQ(b.wait.Look().state, ReplyState::kRefused);
  EXPECT_EQ(b.wait.Look().title_text, "!!! The remote pc rejected the request !!!");
  EXPECT_TRUE(b.presenter->LastReplyRefused());
  EXPECT_FALSE(b.timer.running) << "polling ended with the refusal";
  b.presenter->WaitDialogClose();
  EXPECT_EQ(b.Sent().size(), 1u) << "closing after a reply sends nothing";
  EXPECT_TRUE(b.host.request_enabled);
  EXPECT_FALSE(b.wait.shown);
}

TEST_F(Asking, ClosingAfterConnectedSendsNothingAndLeavesTheButton) {
  Ask();
  Freed(1);
  b.Run(2000);
  b.presenter->WaitDialogClose();
  EXPECT_EQ(b.Sent().size(), 1u);
  EXPECT_FALSE(b.host.request_enabled);
  EXPECT_FALSE(b.wait.shown);
  EXPECT_EQ(b.host.refreshes, 0);
}

TEST_F(Asking, ClosingWhileWaitingWithdrawsOnTheFirstServerWithABus) {
  Ask();
  b.Run(2000);
  b.presenter->WaitDialogClose();
  EXPECT_EQ(b.Sent(),
            (std::vector<SentRequest>{{"10.0.0.2", 1, 1, "0.0.0.0"}, {"10.0.0.2", 1, 3, "0.0.0.0"}}));
  EXPECT_FALSE(b.timer.running);
  // The commands are decided again, so Request is offered once more.
  EXPECT_EQ(b.host.refreshes, 1);
  b.Run(10000);
  EXPECT_EQ(b.presenter->RequestPollCount(), 1);
}

TEST_F(Asking, LateRefusalLeavesAConnectedDialogConnected) {
  Ask();
  Freed(1);
  b.Run(2000);
  b.Event(kCodeRefuse, "10.0.0.2", 1, "10.0.0.9");
  b.Run(1000);
  EXPECT_EQ(b.wait.Look().state, ReplyState::kConnected);
  EXPECT_FALSE(b.presenter->LastReplyRefused());
}

TEST_F(Asking, RefusalWhileNoDialogIsShownChangesNothingVisible) {
  b.Event(kCodeRefuse, "10.0.0.2", 1, "10.0.0.9");
  b.Run(1000);
  EXPECT_TRUE(b.wait.looks.empty());
  EXPECT_FALSE(b.presenter->LastReplyRefused());
}

TEST_F(Asking, RefusedThenANewRequestGetsTheWholeLimitAgain) {
  Ask();
  b.Devices("10.0.0.2", {});
  b.Run(20 * 2000);
  b.Event(kCodeRefuse, "10.0.0.2", 1, "10.0.0.9");
  b.Run(1000);
  b.presenter->WaitDialogClose();
  b.Devices("10.0.0.2", {Device(1, "PRINTER", "Acme", "Laser 9", "PC-B", 2)});
  Ask();
  EXPECT_EQ(b.wait.Look().state, ReplyState::kWaiting);
  EXPECT_EQ(b.presenter->RequestPollCount(), 0);
}

TEST_F(Asking, PollWaitsWhileATreeRefreshRuns) {
  Ask();
  Freed(1);
  b.host.tree_busy = true;
  b.Run(4000);
  EXPECT_EQ(b.presenter->RequestPollCount(), 0);
  EXPECT_TRUE(b.Calls("10.0.0.2", bus::kIoctlClaimDevice).empty());
  EXPECT_TRUE(b.timer.running);
  b.host.tree_busy = false;
  b.Run(2000);
  EXPECT_EQ(b.wait.Look().state, ReplyState::kConnected);
}

TEST_F(Asking, NoPollWhileTheMainWindowCloses) {
  Ask();
  Freed(1);
  b.host.closing = true;
  b.Run(2000);
  EXPECT_TRUE(b.Calls("10.0.0.2", bus::kIoctlClaimDevice).empty());
  EXPECT_FALSE(b.timer.running);
}

// An incoming request while this PC waits for its own: the reply dialog
// comes after 500 ms and the polling goes on afterwards.
TEST_F(Asking, IncomingRequestDoesNotEndThePolling) {
  Ask();
  b.Run(1000);
  b.Event(kCodeAsk, "10.0.0.2", 3, "10.0.0.9");
  EXPECT_EQ(b.presenter->TimerInterval(), 500);
  b.Run(500);
  EXPECT_TRUE(b.reply.shown);
  EXPECT_EQ(b.presenter->TimerInterval(), 2000);
  Freed(1);
  b.Run(2000);
  EXPECT_EQ(b.wait.Look().state, ReplyState::kConnected);
}

TEST(DeviceTextOf, UnknownClassLeavesTheClassOut) {
  model::DeviceData d;
  d.Class = "Unknown";
  d.Manufacturer = "Odd";
  d.Product = "Thing";
  EXPECT_EQ(DeviceText(d), "Odd - Thing");
  d.Class = "PRINTER";
  EXPECT_EQ(DeviceText(d), "PRINTER - Odd - Thing");
  d.Class = "";
  EXPECT_EQ(DeviceText(d), " - Odd - Thing");
}

TEST(Looks, EveryStateHasItsTitleButtonPictureAndCaption) {
  struct Row {
    ReplyState state;
    WaitTitle title;
    WaitButton button;
    WaitPicture picture;
    const char* caption;
  };
  const Row rows[] = {
      {ReplyState::kWaiting, WaitTitle::kTitle, WaitButton::kCancel, WaitPicture::kAnimation,
       "Please wait for the reply..."},
      {ReplyState::kConnected, WaitTitle::kTitleOK, WaitButton::kClose, WaitPicture::kOK, "Got the reply !"},
      {ReplyState::kRefused, WaitTitle::kTitleReject, WaitButton::kClose, WaitPicture::kNo,
       "Got the reply !"},
      {ReplyState::kFailed, WaitTitle::kTitleReject, WaitButton::kClose, WaitPicture::kNo, "Got the reply !"},
  };
  for (const Row& r : rows) {
    WaitDialogLook look = LookOfWaitDialog(r.state, false);
    EXPECT_EQ(look.title, r.title);
    EXPECT_EQ(look.button, r.button);
    EXPECT_EQ(look.picture, r.picture);
    EXPECT_EQ(look.caption, r.caption);
    EXPECT_EQ(look.remote_label, "Remote User :");
  }
  EXPECT_EQ(LookOfWaitDialog(ReplyState::kConnected, true).title_text, "正常に接続できました。");
  EXPECT_EQ(LookOfWaitDialog(ReplyState::kRefused, true).title_text, "切断要求は拒否されました。");
  EXPECT_EQ(LookOfWaitDialog(ReplyState::kWaiting, true).cancel_text, "キャンセル");
  EXPECT_EQ(LookOfWaitDialog(ReplyState::kWaiting, true).device_label, "USBデバイス：");
  ReplyDialogLook reply = LookOfReplyDialog(false);
  EXPECT_EQ(reply.question, "Note : Click \"Accept\" will disconnect the device right now.");
  EXPECT_EQ(LookOfReplyDialog(true).question,
            "【注意】［承諾］をクリックすると、すぐにUSBデバイスを切断します。");
  EXPECT_EQ(LookOfReplyDialog(true).caption, "切断要求に応答してください。");
}

}  // namespace
}  // namespace vx::requests
