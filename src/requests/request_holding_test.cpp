// The holding side: request events, the queue, the reply dialog, Accept,
// Reject, withdrawals, and the event record's bad input.
#include <gtest/gtest.h>

#include "requests/request_presenter.h"
#include "requests/testing/request_bench.h"

namespace vx::requests {
namespace {

using testing::RequestBench;
using testing::SentRequest;

struct Holding : ::testing::Test {
  RequestBench b;
  std::vector<std::string> Askers() const {
    std::vector<std::string> out;
    for (size_t k = 0; k < b.presenter->List().Count(); ++k)
      out.push_back(b.presenter->List().At(k).RemoteIP);
    return out;
  }
};

TEST_F(Holding, RequestForAHeldDeviceShowsTheReplyDialogAfterHalfASecond) {
  b.Event(kCodeAsk, "10.0.0.2", 3, "10.0.0.21", "PC-B");
  ASSERT_EQ(b.presenter->List().Count(), 1u);
  EXPECT_EQ(b.presenter->List().Front(), (RequestEntry{"PC-B", "10.0.0.21", "uds1 - 10.0.0.2",
                                                       "PRINTER - Acme - Laser 7", "10.0.0.2", "3"}));
  EXPECT_EQ(b.reply.info, (RequestInfo{"PC-B (10.0.0.21)", "uds1 - 10.0.0.2", "PRINTER - Acme - Laser 7"}));
  EXPECT_EQ(b.presenter->ReplyDeviceNo(), "3");
  EXPECT_EQ(b.presenter->ReplyBusHandle(), b.f.Server("10.0.0.2")->data->TcpBusHandle);
  EXPECT_FALSE(b.reply.shown);
  b.Run(499);
  EXPECT_FALSE(b.reply.shown);
  b.Run(1);
  EXPECT_TRUE(b.reply.shown);
  EXPECT_FALSE(b.timer.running);
  EXPECT_EQ(b.reply.look.caption, "Please reply to the request !");
}

TEST_F(Holding, QueueTakesNewEntriesAtTheFrontAndTheDialogKeepsShowingTheOldest) {
  b.Event(kCodeAsk, "10.0.0.2", 3, "10.0.0.21", "PC-B");
  b.Run(100);
  b.Event(kCodeAsk, "10.0.0.2", 4, "10.0.0.22", "PC-C");  // before the dialog shows
  b.Run(500);
  b.Event(kCodeAsk, "10.0.0.2", 3, "10.0.0.23", "PC-D");  // while it shows
  EXPECT_EQ(Askers(), (std::vector<std::string>{"10.0.0.23", "10.0.0.22", "10.0.0.21"}));
  EXPECT_EQ(b.reply.info.remote_user, "PC-B (10.0.0.21)");
  EXPECT_EQ(b.presenter->ReplyDeviceNo(), "3");
  EXPECT_EQ(b.reply.shows, 1);
}

TEST_F(Holding, AcceptRefusesEveryOtherAskerThenUnlocksAndReleases) {
  b.Event(kCodeAsk, "10.0.0.2", 3, "10.0.0.21", "PC-B");
  b.Run(500);
  b.Event(kCodeAsk, "10.0.0.2", 3, "10.0.0.22", "PC-C");
  b.Event(kCodeAsk, "10.0.0.2", 4, "10.0.0.23", "PC-D");
  b.presenter->AcceptBtnClick();
  EXPECT_EQ(b.Sent(),
            (std::vector<SentRequest>{{"10.0.0.2", 4, 2, "10.0.0.23"}, {"10.0.0.2", 3, 2, "10.0.0.22"}}));
  auto unlocks = b.Calls("10.0.0.2", bus::kIoctlUnlockDevice);
  ASSERT_EQ(unlocks.size(), 1u);
  EXPECT_EQ(bus::ParseLock(unlocks[0].input)->device_no, 3);
  EXPECT_EQ(bus::ParseLock(unlocks[0].input)->lock_type, 2);
  EXPECT_EQ(bus::ParseLock(unlocks[0].input)->lock_time, 0u);
  auto releases = b.Calls("10.0.0.2", bus::kIoctlReleaseDevice);
  ASSERT_EQ(releases.size(), 1u);
  EXPECT_EQ(releases[0].input[0], 3);
  EXPECT_TRUE(b.presenter->List().Empty());
  EXPECT_FALSE(b.reply.shown);
  EXPECT_TRUE(b.host.messages.empty());
  // The program's close is not the user's: nothing more is sent.
  EXPECT_EQ(b.Sent().size(), 2u);
}

TEST_F(Holding, AcceptWithAFailedReleaseStillEmptiesTheListAndClosesTheDialog) {
  b.Event(kCodeAsk, "10.0.0.2", 3, "10.0.0.21");
  b.Run(500);
  b.Bus("10.0.0.2").Script(bus::kIoctlReleaseDevice, {{false, 31, {}}});
  b.Bus("10.0.0.2").Script(bus::kIoctlUnlockDevice, {{false, 31, {}}});
  b.presenter->AcceptBtnClick();
  EXPECT_EQ(b.Calls("10.0.0.2", bus::kIoctlReleaseDevice).size(), 1u) << "released despite the unlock";
  EXPECT_TRUE(b.host.messages.empty()) << "English: silent";
  EXPECT_TRUE(b.presenter->List().Empty());
  EXPECT_FALSE(b.reply.shown);
}

TEST(HoldingJapanese, ReleaseFailureShowsTheJapaneseMessage) {
  RequestBench b(true);
  EXPECT_EQ(b.reply.look.accept_text, "承諾");
  EXPECT_EQ(b.reply.look.title, "USBデバイスの切断を要求されました。");
  b.Event(kCodeAsk, "10.0.0.2", 3, "10.0.0.21");
  b.Run(500);
  b.Bus("10.0.0.2").Script(bus::kIoctlReleaseDevice, {{false, 31, {}}});
  b.presenter->AcceptBtnClick();
  EXPECT_EQ(b.host.messages, (std::vector<std::string>{"USBデバイスの切断に失敗しました。"}));
  EXPECT_FALSE(b.reply.shown);
}

TEST_F(Holding, RejectAndTheCloseBoxRefuseEveryEntryFromTheFront) {
  b.Event(kCodeAsk, "10.0.0.2", 3, "10.0.0.21");
  b.Run(500);
  b.Event(kCodeAsk, "10.0.0.2", 4, "10.0.0.22");
  b.presenter->RejectBtnClick();
  EXPECT_EQ(b.Sent(),
            (std::vector<SentRequest>{{"10.0.0.2", 4, 2, "10.0.0.22"}, {"10.0.0.2", 3, 2, "10.0.0.21"}}));
  EXPECT_TRUE(b.Calls("10.0.0.2", bus::kIoctlReleaseDevice).empty());
  EXPECT_FALSE(b.reply.shown);

  b.Event(kCodeAsk, "10.0.0.2", 3, "10.0.0.31");
  b.Run(500);
  b.presenter->ReplyFormClose();  // the close box
  EXPECT_EQ(b.Sent().back(), (SentRequest{"10.0.0.2", 3, 2, "10.0.0.31"}));
  EXPECT_TRUE(b.presenter->List().Empty());
  EXPECT_FALSE(b.reply.shown);
}

TEST_F(Holding, WithdrawalOfTheShownEntryReopensTheDialogAtOnceWithTheRemainingOne) {
  b.Event(kCodeAsk, "10.0.0.2", 3, "10.0.0.21", "PC-B");
  b.Run(500);
  b.Event(kCodeAsk, "10.0.0.2", 4, "10.0.0.22", "PC-C");
  b.Event(kCodeWithdraw, "10.0.0.2", 3, "10.0.0.21");
  EXPECT_EQ(b.reply.hides, 1);
  EXPECT_TRUE(b.reply.shown) << "shown again at once";
  EXPECT_EQ(b.reply.shows, 2);
  EXPECT_EQ(b.reply.info.remote_user, "PC-C (10.0.0.22)");
  EXPECT_EQ(b.presenter->ReplyDeviceNo(), "4");
  EXPECT_EQ(Askers(), (std::vector<std::string>{"10.0.0.22"}));
  EXPECT_TRUE(b.Sent().empty()) << "closed by the program: no refusal";
}

TEST_F(Holding, WithdrawalOfAnotherEntryLeavesTheDialogAsItIs) {
  b.Event(kCodeAsk, "10.0.0.2", 3, "10.0.0.21", "PC-B");
  b.Run(500);
  b.Event(kCodeAsk, "10.0.0.2", 4, "10.0.0.22", "PC-C");
  b.Event(kCommandWithdrawToo, "10.0.0.2", 4, "10.0.0.22");
  EXPECT_EQ(b.reply.hides, 0);
  EXPECT_EQ(b.reply.info.remote_user, "PC-B (10.0.0.21)");
  EXPECT_EQ(Askers(), (std::vector<std::string>{"10.0.0.21"}));
}

TEST_F(Holding, WithdrawalOfTheOnlyEntryClosesTheDialog) {
  b.Event(kCodeAsk, "10.0.0.2", 3, "10.0.0.21");
  b.Run(500);
  b.Event(kCodeWithdraw, "10.0.0.2", 3, "10.0.0.21");
  EXPECT_FALSE(b.reply.shown);
  EXPECT_TRUE(b.Sent().empty());
}

TEST_F(Holding, WithdrawalBeforeTheDialogShowsKeepsItHidden) {
  b.Event(kCodeAsk, "10.0.0.2", 3, "10.0.0.21");
  b.Run(200);
  b.Event(kCodeWithdraw, "10.0.0.2", 3, "10.0.0.21");
  b.Run(1000);
  EXPECT_EQ(b.reply.shows, 0) << "nothing left to answer";
}

TEST_F(Holding, WithdrawalFromAnUnknownAddressReopensTheDialogWithTheLastEntry) {
  b.Event(kCodeAsk, "10.0.0.2", 3, "10.0.0.21", "PC-B");
  b.Run(500);
  b.Event(kCodeAsk, "10.0.0.2", 4, "10.0.0.22", "PC-C");
  b.Event(kCodeWithdraw, "10.0.0.2", 4, "10.0.0.99");
  EXPECT_EQ(b.reply.hides, 1);
  EXPECT_TRUE(b.reply.shown);
  EXPECT_EQ(b.reply.info.remote_user, "PC-B (10.0.0.21)");
  EXPECT_EQ(b.presenter->List().Count(), 2u);
  EXPECT_TRUE(b.Sent().empty());
}

TEST_F(Holding, CommandOneForADeviceOfAnotherPcIsDroppedWithoutAnswer) {
  b.Event(kCodeAsk, "10.0.0.2", 1, "10.0.0.21");   // held by PC-B
  b.Event(kCodeAsk, "10.0.0.2", 9, "10.0.0.21");   // no such device
  b.Event(kCodeAsk, "10.0.0.77", 3, "10.0.0.21");  // no such server
  b.Run(1000);
  EXPECT_TRUE(b.presenter->List().Empty());
  EXPECT_EQ(b.reply.shows, 0);
  EXPECT_TRUE(b.Sent().empty());
  EXPECT_FALSE(b.timer.running);
}

TEST_F(Holding, CommandFourIsTakenWithoutTheHolderCheck) {
  b.Event(kCommandAskUnchecked, "10.0.0.2", 1, "10.0.0.21");  // held by PC-B
  ASSERT_EQ(b.presenter->List().Count(), 1u);
  EXPECT_EQ(b.presenter->List().Front().DeviceNo, "1");
  b.Run(500);
  EXPECT_TRUE(b.reply.shown);
}

TEST_F(Holding, RequestForAServerWithoutBusIsDropped) {
  b.f.Server("10.0.0.2")->data->TcpBusHandle.reset();
  b.Event(kCodeAsk, "10.0.0.2", 3, "10.0.0.21");
  b.Event(kCommandAskUnchecked, "10.0.0.2", 3, "10.0.0.21");
  EXPECT_TRUE(b.presenter->List().Empty());
  // A withdrawal with no entry and no dialog changes nothing.
  b.Event(kCodeWithdraw, "10.0.0.2", 3, "10.0.0.21");
  EXPECT_EQ(b.reply.shows, 0);
}

TEST_F(Holding, CommandsOutsideOneToFiveAreIgnored) {
  b.Event(kCodeAsk, "10.0.0.2", 3, "10.0.0.21");
  b.Run(500);
  for (int command : {0, 6, 255}) {
    b.Event(command, "10.0.0.2", 3, "10.0.0.22");  // would be a request
    b.Event(command, "10.0.0.2", 3, "10.0.0.21");  // would be a withdrawal
  }
  EXPECT_EQ(b.presenter->List().Count(), 1u);
  EXPECT_TRUE(b.reply.shown);
  EXPECT_EQ(b.reply.hides, 0);
  EXPECT_FALSE(b.timer.running);
}

TEST_F(Holding, NothingIsTakenWhileTheMainWindowCloses) {
  b.host.closing = true;
  b.Event(kCodeAsk, "10.0.0.2", 3, "10.0.0.21");
  EXPECT_TRUE(b.presenter->List().Empty());
}

// ---- the event record's host name, bounds-checked -------------------------------------

std::vector<uint8_t> RawRecord(int name_length, const std::vector<uint8_t>& name) {
  std::vector<uint8_t> r(15, 0);
  r[0] = bus::kEventRequestToUse;
  r[1] = kCodeAsk;
  r[2] = 3;
  const uint8_t server[4] = {10, 0, 0, 2}, asker[4] = {10, 0, 0, 21};
  std::copy(server, server + 4, r.begin() + 3);
  std::copy(asker, asker + 4, r.begin() + 7);
  r[11] = uint8_t(name_length);
  r.insert(r.end(), name.begin(), name.end());
  return r;
}

TEST_F(Holding, HostNamesOfLengthZeroAndOfTwoHundredFiftyFiveWithoutNul) {
  auto empty = RawRecord(0, {});
  b.presenter->OnRequestToUse(empty, int(empty.size()));
  ASSERT_EQ(b.presenter->List().Count(), 1u);
  EXPECT_EQ(b.presenter->List().Front().HostName, "");

  std::vector<uint8_t> name(255, 'N');
  auto full = RawRecord(255, name);
  b.presenter->OnRequestToUse(full, int(full.size()));
  ASSERT_EQ(b.presenter->List().Count(), 2u);
  EXPECT_EQ(b.presenter->List().Front().HostName, std::string(255, 'N'));

  name.back() = 0;  // the last byte is a NUL: one byte shorter
  auto with_nul = RawRecord(255, name);
  b.presenter->OnRequestToUse(with_nul, int(with_nul.size()));
  EXPECT_EQ(b.presenter->List().Front().HostName, std::string(254, 'N'));
}

TEST_F(Holding, RecordsShorterThanTheirNameOrTheirLengthAreDropped) {
  std::vector<uint8_t> name(255, 'N');
  auto full = RawRecord(255, name);
  b.presenter->OnRequestToUse(full, int(full.size()) - 1);  // the name's last byte is missing
  b.presenter->OnRequestToUse(full, 14);                    // not even the fixed part
  b.presenter->OnRequestToUse(full, -1);
  b.presenter->OnRequestToUse(std::span<const uint8_t>(full).first(20),
                              int(full.size()));  // length past the buffer
  auto device_list_event = full;
  device_list_event[0] = bus::kEventUpdateDeviceList;
  b.presenter->OnRequestToUse(device_list_event, int(device_list_event.size()));
  EXPECT_TRUE(b.presenter->List().Empty());
}

// The driver's event handler hands code-4 records to the presenter.
TEST_F(Holding, DriverEventsReachThePresenter) {
  model::BusListQuiet quiet;
  model::DriverEvents events(model::DriverEventPorts{*b.f.list, *b.f.presenter, b.f.discovery, *b.presenter,
                                                     b.f.clock, quiet, [] { return false; }});
  auto record = testing::RequestRecord(kCodeAsk, "10.0.0.2", 3, "10.0.0.21", "PC-B");
  std::vector<uint8_t> buffer(bus::kEventBufferSize, 0);
  std::copy(record.begin(), record.end(), buffer.begin());
  events.GetReadInfo(buffer, int(record.size()));
  ASSERT_EQ(b.presenter->List().Count(), 1u);
  EXPECT_EQ(b.presenter->List().Front().HostName, "PC-B");
}

}  // namespace
}  // namespace vx::requests
