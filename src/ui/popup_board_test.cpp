#include "ui/popup_board.h"

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <thread>

#include "platform/testing/fake_clock.h"
#include "platform/testing/queue_main_thread.h"
#include "platform/trace.h"
#include "ui/testing/fake_popup_host.h"

namespace vx::ui {
namespace {

using namespace std::chrono_literals;
using testing::FakePopupHost;
using testing::FakePopupRecord;

class PopupBoardTest : public ::testing::Test {
 protected:
  PopupBoardTest() { board_ = MakeBoard(InlineMainThread()); }

  std::unique_ptr<PopupBoard> MakeBoard(MainThread& main, bool japanese = true) {
    return std::make_unique<PopupBoard>(PopupBoardArgs{.host = &host_,
                                                       .lock = &lock_,
                                                       .main_thread = &main,
                                                       .clock = &clock_,
                                                       .japanese = japanese,
                                                       .caption = [this] { return caption_; }});
  }
  // Ticks every 5 ms until no popup slides; the number of ticks.
  int SlideToTheEnd() {
    int ticks = 0;
    while (board_->Sliding() && ticks < 10000) {
      clock_.Advance(5ms);
      board_->Tick();
      ++ticks;
    }
    return ticks;
  }
  // Holds the popup lock on a thread of its own until Release().
  class OtherHolder {
   public:
    explicit OtherHolder(PopupLock& lock)
        : thread_([this, &lock] {
            lock.TryLock();
            taken_.set_value();
            release_.get_future().wait();
            lock.Unlock();
          }) {
      taken_.get_future().wait();
    }
    ~OtherHolder() { Release(); }
    void Release() {
      if (thread_.joinable()) {
        release_.set_value();
        thread_.join();
      }
    }

   private:
    std::promise<void> taken_, release_;
    std::thread thread_;
  };

  FakePopupHost host_;
  PopupLock lock_;
  vx::testing::FakeClock clock_;
  std::string caption_ = "Vessix";
  std::unique_ptr<PopupBoard> board_;
};

TEST_F(PopupBoardTest, TheSameTextsTwiceGiveTheSameSlotAndOnePopup) {
  TraceCapture trace;
  EXPECT_EQ(board_->ShowMsgBox("Connecting", "printer A", true), 0);
  EXPECT_EQ(board_->ShowMsgBox("Connecting", "printer A", true), 0);
  EXPECT_EQ(board_->ShowMsgBox("Connecting", "printer A", false), 0);
  EXPECT_EQ(host_.popups.size(), 1u);
  EXPECT_TRUE(trace.Contains("ShowMsgBox() : vFm : 0 the same MsgBox exist !"));
  // Equal messages with other details are another popup.
  EXPECT_EQ(board_->ShowMsgBox("Connecting", "printer B", true), 1);
  EXPECT_EQ(board_->ShowMsgBox("Connecting ", "printer A", true), 2);
}

TEST_F(PopupBoardTest, AFourthPopupWhileThreeAreShownIsNotShown) {
  TraceCapture trace;
  EXPECT_EQ(board_->ShowMsgBox("one", "", false), 0);
  EXPECT_EQ(board_->ShowMsgBox("two", "", false), 1);
  EXPECT_EQ(board_->ShowMsgBox("three", "", false), 2);
  EXPECT_EQ(board_->ShowMsgBox("four", "", false), -1);
  EXPECT_EQ(host_.popups.size(), 3u);
  EXPECT_TRUE(trace.Contains("ShowMsgBox() : vFm : -1 no more usable MsgBox !"));
  // The lock was released on the way out.
  EXPECT_TRUE(std::async(std::launch::async, [&] {
                const bool got = lock_.TryLock();
                if (got) lock_.Unlock();
                return got;
              }).get());
}

TEST_F(PopupBoardTest, TextsTheUserClosedAreNeverShownAgainWhenClosable) {
  TraceCapture trace;
  ASSERT_EQ(board_->ShowMsgBox("Server not found", "details", true), 0);
  SlideToTheEnd();
  host_.Last().Click();
  EXPECT_FALSE(board_->SlotUsed(0));
  EXPECT_TRUE(host_.Last().hidden);
  EXPECT_TRUE(trace.Contains("CloseMsgBoxByUser()..............................."));
  ASSERT_EQ(board_->ClosedTexts().size(), 1u);

  EXPECT_EQ(board_->ShowMsgBox("Server not found", "details", true), -1);
  EXPECT_TRUE(trace.Contains("ShowMsgBox() : User closed the same MsgBox ! MsgStr1 : Server not found"));
  EXPECT_EQ(host_.popups.size(), 1u);
  // Not closable: shown again; closing it by hand adds nothing.
  EXPECT_EQ(board_->ShowMsgBox("Server not found", "details", false), 0);
  SlideToTheEnd();
  host_.Last().Click();
  EXPECT_FALSE(board_->SlotUsed(0));
  EXPECT_EQ(board_->ClosedTexts().size(), 1u);
  // Other details are other texts.
  EXPECT_EQ(board_->ShowMsgBox("Server not found", "other details", true), 0);
}

TEST_F(PopupBoardTest, ClosedTextsAreKeptAsPairsNotAsJoinedText) {
  ASSERT_EQ(board_->ShowMsgBox("a b", "c", true), 0);
  SlideToTheEnd();
  host_.Last().Click();
  // "a" + " " + "b c" reads like "a b" + " " + "c", but was never closed.
  EXPECT_EQ(board_->ShowMsgBox("a", "b c", true), 0);
}

TEST_F(PopupBoardTest, ANewPopupTakesTheLowestFreeSlotBelowOlderOnes) {
  ASSERT_EQ(board_->ShowMsgBox("one", "", false), 0);
  ASSERT_EQ(board_->ShowMsgBox("two", "", false), 1);
  ASSERT_EQ(board_->ShowMsgBox("three", "", false), 2);
  SlideToTheEnd();
  board_->CloseMsgBox(0);
  EXPECT_FALSE(board_->SlotUsed(0));
  EXPECT_TRUE(host_.popups[0]->hidden);
  EXPECT_EQ(board_->ShowMsgBox("four", "", false), 0);
  SlideToTheEnd();
  EXPECT_EQ(board_->SlotPosition(0), (Point{1010, 796}));
  EXPECT_EQ(board_->SlotPosition(1), (Point{1010, 592}));
  EXPECT_EQ(board_->SlotTexts(0)->message, "four");
  EXPECT_EQ(board_->SlotTexts(2)->message, "three");
}

TEST_F(PopupBoardTest, SlotZeroSlidesFrom1000To796InStepsOfTwoPixelsEvery5Ms) {
  ASSERT_EQ(board_->ShowMsgBox("Connecting", "", false), 0);
  FakePopupRecord& popup = host_.Last();
  ASSERT_TRUE(popup.shown);
  EXPECT_EQ(popup.shown->position, (Point{1010, 1000}));
  EXPECT_FALSE(popup.close_enabled);
  EXPECT_TRUE(host_.timer_running);

  EXPECT_EQ(SlideToTheEnd(), 102);
  ASSERT_EQ(popup.moves.size(), 102u);
  int previous = 1000;
  for (Point p : popup.moves) {
    EXPECT_EQ(p.x, 1010);
    EXPECT_EQ(previous - p.y, 2);
    previous = p.y;
  }
  EXPECT_EQ(popup.position(), (Point{1010, 796}));
  EXPECT_TRUE(popup.close_enabled);
  EXPECT_EQ(popup.enable_calls, std::vector<bool>{true});
  EXPECT_FALSE(host_.timer_running);

  // Slot 1 rises from 796 to 592.
  ASSERT_EQ(board_->ShowMsgBox("Printing", "", false), 1);
  EXPECT_EQ(host_.Last().shown->position.y, 796);
  EXPECT_EQ(SlideToTheEnd(), 102);
  EXPECT_EQ(host_.Last().position().y, 592);
  EXPECT_EQ(host_.timer_starts, 2);
}

TEST_F(PopupBoardTest, ASlowTimerStillEndsTheSlideAfter510Ms) {
  ASSERT_EQ(board_->ShowMsgBox("Connecting", "", false), 0);
  FakePopupRecord& popup = host_.Last();
  clock_.Advance(16ms);  // a system timer's usual period
  board_->Tick();
  EXPECT_EQ(popup.position().y, 1000 - 3 * 2);
  clock_.Advance(490ms);  // 506 ms: 101 steps
  board_->Tick();
  EXPECT_EQ(popup.position().y, 798);
  EXPECT_TRUE(board_->Sliding());
  clock_.Advance(4ms);
  board_->Tick();
  EXPECT_EQ(popup.position().y, 796);
  EXPECT_FALSE(board_->Sliding());
  // A tick without time passing moves nothing.
  const size_t moves = popup.moves.size();
  board_->Tick();
  EXPECT_EQ(popup.moves.size(), moves);
}

TEST_F(PopupBoardTest, TwoPopupsSlideAtOnceEachToItsPlace) {
  ASSERT_EQ(board_->ShowMsgBox("one", "", false), 0);
  clock_.Advance(100ms);
  board_->Tick();
  ASSERT_EQ(board_->ShowMsgBox("two", "", false), 1);
  EXPECT_EQ(SlideToTheEnd(), 102);
  EXPECT_EQ(host_.popups[0]->position().y, 796);
  EXPECT_EQ(host_.popups[1]->position().y, 592);
  EXPECT_EQ(host_.timer_starts, 1);
}

TEST_F(PopupBoardTest, TheCloseButtonWorksOnlyOnceThePopupIsInPlace) {
  ASSERT_EQ(board_->ShowMsgBox("Connecting", "", true), 0);
  FakePopupRecord& popup = host_.Last();
  popup.MouseMove({8, 8});
  EXPECT_FALSE(popup.highlighted);
  popup.Click();
  EXPECT_TRUE(board_->SlotUsed(0));
  EXPECT_TRUE(board_->ClosedTexts().empty());

  SlideToTheEnd();
  popup.MouseMove({8, 8});
  EXPECT_TRUE(popup.highlighted);
  popup.MouseMove({9, 9});
  EXPECT_EQ(popup.highlight_calls, 1);
  popup.MouseMove({1, 8});
  EXPECT_FALSE(popup.highlighted);
  popup.MouseMove({8, 8});
  EXPECT_TRUE(popup.highlighted);
  popup.events->CloseButtonCaptureLost(popup.id);
  EXPECT_FALSE(popup.highlighted);
  popup.MouseMove({8, 8});
  // Closed while highlighted: the picture and the capture are given back.
  popup.Click();
  EXPECT_FALSE(popup.highlighted);
  EXPECT_TRUE(popup.hidden);
  // Events of a closed popup change nothing.
  popup.Click();
  popup.MouseMove({8, 8});
  EXPECT_FALSE(popup.highlighted);
  EXPECT_EQ(board_->ClosedTexts().size(), 1u);
}

TEST_F(PopupBoardTest, ClosedPopupsAreDestroyedAtTheNextShowNotInTheirOwnClick) {
  ASSERT_EQ(board_->ShowMsgBox("one", "", true), 0);
  SlideToTheEnd();
  host_.Last().Click();
  EXPECT_TRUE(host_.popups[0]->hidden);
  EXPECT_FALSE(host_.popups[0]->destroyed);
  board_->ShowMsgBox("two", "", true);
  EXPECT_TRUE(host_.popups[0]->destroyed);
}

TEST_F(PopupBoardTest, ABusyLockOnAnotherThreadShowsNothingAndTheHoldersThreadMayShow) {
  {
    OtherHolder holder(lock_);
    EXPECT_EQ(board_->ShowMsgBox("Connecting", "", false), -1);
    EXPECT_TRUE(host_.popups.empty());
  }
  // Held by this (the main) thread: taken again.
  ASSERT_TRUE(lock_.TryLock());
  EXPECT_EQ(board_->ShowMsgBox("Connecting", "", false), 0);
  board_->CloseMsgBox(0);
  EXPECT_FALSE(board_->SlotUsed(0));
  lock_.Unlock();
}

TEST_F(PopupBoardTest, TheProgramsCloseWaitsForTheLockWhilePumping) {
  ASSERT_EQ(board_->ShowMsgBox("Printing", "", false), 0);
  auto holder = std::make_unique<OtherHolder>(lock_);
  // The other thread lets go during the close's third wait.
  clock_.OnNthSleep(3, [&] { holder->Release(); });
  board_->CloseMsgBox(0);
  EXPECT_FALSE(board_->SlotUsed(0));
  EXPECT_TRUE(host_.Last().hidden);
  EXPECT_EQ(clock_.Sleeps(), 3);
  EXPECT_EQ(clock_.SleepList().front(), 200ms);
}

TEST_F(PopupBoardTest, ClosingNothingDoesNothing) {
  board_->CloseMsgBox(-1);
  board_->CloseMsgBox(0);
  board_->CloseMsgBox(3);
  ASSERT_EQ(board_->ShowMsgBox("one", "", false), 0);
  board_->CloseMsgBox(1);
  EXPECT_TRUE(board_->SlotUsed(0));
}

TEST_F(PopupBoardTest, ClosingASlidingPopupStopsTheSlideTimer) {
  ASSERT_EQ(board_->ShowMsgBox("one", "", false), 0);
  EXPECT_TRUE(host_.timer_running);
  board_->CloseMsgBox(0);
  EXPECT_FALSE(host_.timer_running);
  EXPECT_FALSE(board_->Sliding());
}

TEST_F(PopupBoardTest, AWindowThatCannotBeMadeLeavesTheSlotFree) {
  host_.fail_create = true;
  EXPECT_EQ(board_->ShowMsgBox("one", "", false), -1);
  EXPECT_FALSE(board_->SlotUsed(0));
  EXPECT_FALSE(host_.timer_running);
  host_.fail_create = false;
  EXPECT_EQ(board_->ShowMsgBox("one", "", false), 0);
}

TEST_F(PopupBoardTest, TheShowStepTakesTheMainCaptionAndTheLanguagesFonts) {
  caption_ = "Vessix - 2";
  ASSERT_EQ(board_->ShowMsgBox("message", "details", false), 0);
  const PopupShow& shown = *host_.Last().shown;
  EXPECT_EQ(shown.caption, "Vessix - 2");
  EXPECT_EQ(shown.texts, (PopupTexts{"message", "details"}));
  EXPECT_EQ(shown.fonts.labels.charset, 128);
  EXPECT_EQ(shown.fonts.labels.points, 10);

  board_.reset();
  board_ = MakeBoard(InlineMainThread(), /*japanese=*/false);
  ASSERT_EQ(board_->ShowMsgBox("message", "details", false), 0);
  EXPECT_EQ(host_.Last().shown->fonts.labels.points, 8);
}

TEST_F(PopupBoardTest, OtherThreadsHandTheWorkToTheMainThread) {
  vx::testing::QueueMainThread main;
  board_ = MakeBoard(main);
  EXPECT_EQ(board_->ShowMsgBox("from a watcher", "", false), 0);
  ASSERT_EQ(host_.popups.size(), 1u);
  EXPECT_EQ(host_.Last().created_on, main.id());
  main.RunSync([&] { SlideToTheEnd(); });
  board_->CloseMsgBox(0);
  main.RunSync([&] { EXPECT_FALSE(board_->SlotUsed(0)); });
  // A main thread that takes no more work: nothing is shown.
  main.Close();
  EXPECT_EQ(board_->ShowMsgBox("late", "", false), -1);
  board_->CloseMsgBox(0);
  EXPECT_EQ(host_.popups.size(), 1u);
  board_.reset();
}

}  // namespace
}  // namespace vx::ui
