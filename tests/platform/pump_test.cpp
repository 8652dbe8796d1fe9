#include "platform/pump.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/clock.h"

namespace dorvik::platform {
namespace {

class PumpTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SetClock(&clock_);
    clock_.SetTickCount(5000);
  }
  void TearDown() override { SetClock(nullptr); }
  FakeClock clock_;
  MessagePump pump_;
  std::vector<std::string> log_;
};

TEST_F(PumpTest, OneShotFiresOnceAndPeriodicAgain) {
  const TimerId once = pump_.CreateTimer([&] { log_.push_back("once"); }, 300, false);
  const TimerId every = pump_.CreateTimer([&] { log_.push_back("every"); }, 200, true);
  pump_.EnableTimer(once, true);
  pump_.EnableTimer(every, true);
  for (int ms = 0; ms < 1000; ++ms) {
    clock_.Advance(1);
    pump_.PumpMessages();
  }
  EXPECT_EQ(std::count(log_.begin(), log_.end(), "once"), 1);
  EXPECT_EQ(std::count(log_.begin(), log_.end(), "every"), 5);
  EXPECT_FALSE(pump_.TimerEnabled(once));
  EXPECT_TRUE(pump_.TimerEnabled(every));
  // However late, a periodic timer fires once per pump.
  clock_.Advance(1000);
  pump_.PumpMessages();
  EXPECT_EQ(std::count(log_.begin(), log_.end(), "every"), 6);
}

TEST_F(PumpTest, NothingFiresBeforeItsIntervalAlsoAcrossTickWrap) {
  for (uint32_t start : {5000u, 0xFFFFFFF0u}) {
    log_.clear();
    clock_.SetTickCount(start);
    const TimerId t = pump_.CreateTimer([&] { log_.push_back("t"); }, 0x20, false);
    pump_.EnableTimer(t, true);
    clock_.Advance(0x1F);
    pump_.PumpMessages();
    EXPECT_TRUE(log_.empty()) << start;
    clock_.Advance(1);
    pump_.PumpMessages();
    EXPECT_EQ(log_.size(), 1u) << start;
  }
}

TEST_F(PumpTest, TimersMadeDisabledAndRestartedByInterval) {
  const TimerId t = pump_.CreateTimer([&] { log_.push_back("t"); }, 100, false);
  clock_.Advance(500);
  pump_.PumpMessages();
  EXPECT_TRUE(log_.empty());
  pump_.EnableTimer(t, true);
  clock_.Advance(90);
  pump_.SetTimerInterval(t, 100);  // starts afresh
  clock_.Advance(90);
  pump_.PumpMessages();
  EXPECT_TRUE(log_.empty());
  clock_.Advance(10);
  pump_.PumpMessages();
  EXPECT_EQ(log_.size(), 1u);
}

TEST_F(PumpTest, LatestDueTimerFiresFirst) {
  const TimerId a = pump_.CreateTimer([&] { log_.push_back("a"); }, 50, false);
  const TimerId b = pump_.CreateTimer([&] { log_.push_back("b"); }, 10, false);
  pump_.EnableTimer(a, true);
  pump_.EnableTimer(b, true);
  clock_.Advance(60);
  pump_.PumpMessages();
  EXPECT_EQ(log_, (std::vector<std::string>{"b", "a"}));
}

TEST_F(PumpTest, TimerStoppedByAnEarlierOneDoesNotFire) {
  TimerId b = 0;
  const TimerId a = pump_.CreateTimer(
      [&] {
        log_.push_back("a");
        pump_.EnableTimer(b, false);
      },
      10, false);
  b = pump_.CreateTimer([&] { log_.push_back("b"); }, 20, false);
  pump_.EnableTimer(a, true);
  pump_.EnableTimer(b, true);
  clock_.Advance(10);
  // a is due; b not yet. Then both would be due, but a stopped b.
  pump_.PumpMessages();
  clock_.Advance(50);
  pump_.PumpMessages();
  EXPECT_EQ(log_, (std::vector<std::string>{"a"}));
}

TEST_F(PumpTest, TimerRestartedByAnEarlierOneWaitsItsIntervalAgain) {
  TimerId late = 0;
  const TimerId early = pump_.CreateTimer(
      [&] {
        log_.push_back("early");
        pump_.EnableTimer(late, true);  // re-armed: due again 100 ms from now
      },
      50, false);
  late = pump_.CreateTimer([&] { log_.push_back("late"); }, 100, false);
  pump_.EnableTimer(late, true);
  clock_.Advance(50);
  pump_.EnableTimer(early, true);
  clock_.Advance(50);  // both due now, the early one first
  pump_.PumpMessages();
  EXPECT_EQ(log_, std::vector<std::string>{"early"});
  clock_.Advance(99);
  pump_.PumpMessages();
  EXPECT_EQ(log_.size(), 1u);
  clock_.Advance(1);
  pump_.PumpMessages();
  EXPECT_EQ(log_, (std::vector<std::string>{"early", "late"}));
}

TEST_F(PumpTest, TimerMayDestroyItself) {
  TimerId t = 0;
  t = pump_.CreateTimer(
      [&] {
        log_.push_back("t");
        pump_.DestroyTimer(t);
      },
      5);
  pump_.EnableTimer(t, true);
  clock_.Advance(5);
  pump_.PumpMessages();
  clock_.Advance(5);
  pump_.PumpMessages();
  EXPECT_EQ(log_.size(), 1u);
  EXPECT_FALSE(pump_.TimerEnabled(t));
}

TEST_F(PumpTest, PostedMessagesArriveInOrderBeforeTimers) {
  const WindowHandle w = pump_.CreateWindow([&](const WindowMessage& m) {
    log_.push_back("m" + std::to_string(m.Msg) + ":" + std::to_string(m.WParam) + ":" + std::to_string(m.LParam));
    return 0;
  });
  const TimerId t = pump_.CreateTimer([&] { log_.push_back("timer"); }, 1, false);
  pump_.EnableTimer(t, true);
  clock_.Advance(1);
  EXPECT_TRUE(pump_.PostMessage(w, 2026, 0x81000010u, 0x55));
  EXPECT_TRUE(pump_.PostMessage(w, 2029, 0, -1));
  EXPECT_EQ(pump_.PendingMessages(), 2u);
  EXPECT_EQ(pump_.PumpMessages(), 3u);
  EXPECT_EQ(log_, (std::vector<std::string>{"m2026:2164260880:85", "m2029:0:-1", "timer"}));
}

TEST_F(PumpTest, MessagesPostedWhileDispatchingWaitForTheNextPump) {
  WindowHandle w = kNoWindow;
  w = pump_.CreateWindow([&](const WindowMessage& m) {
    log_.push_back(std::to_string(m.Msg));
    pump_.PostMessage(w, m.Msg + 1, 0, 0);
    return 0;
  });
  pump_.PostMessage(w, 1, 0, 0);
  pump_.PumpMessages();
  EXPECT_EQ(log_, (std::vector<std::string>{"1"}));
  pump_.PumpMessages();
  EXPECT_EQ(log_, (std::vector<std::string>{"1", "2"}));
}

TEST_F(PumpTest, SendCallsAtOnceAndUnknownWindowsGetNothing) {
  const WindowHandle w = pump_.CreateWindow([](const WindowMessage& m) { return m.LParam * 2; });
  EXPECT_EQ(pump_.SendMessage(w, 2026, 0, 21), 42);
  EXPECT_EQ(pump_.SendMessage(kNoWindow, 2026, 0, 21), 0);
  EXPECT_FALSE(pump_.PostMessage(kNoWindow, 2026, 0, 1));
  pump_.PostMessage(w, 1, 0, 0);
  pump_.DestroyWindow(w);
  EXPECT_FALSE(pump_.IsWindow(w));
  EXPECT_EQ(pump_.PumpMessages(), 0u);  // the message to the gone window is dropped
}

}  // namespace
}  // namespace dorvik::platform
