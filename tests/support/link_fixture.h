#pragma once
// A debugger session on a fake serial target (tests/support/fake_targets.h):
// the link opened on the fake's pseudo-terminal, the idle handler installed,
// and the bytes each command put on the wire.

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <string_view>

#include "access/aduclink.h"
#include "access/monitorlink.h"
#include "access/transport.h"
#include "access/linkstate.h"
#include "base/mainform.h"
#include "debugger/breakpoints.h"
#include "debugger/runcontrol.h"
#include "debugger/statusfields.h"
#include "platform/pump.h"
#include "tests/support/console_fixture.h"
#include "tests/support/fake_targets.h"

namespace dorvik::testing {

class LinkTest : public ConsoleTest {
 protected:
  void TearDown() override {
    CloseLink();
    fake_.reset();
    platform::Pump().SetIdleHook(nullptr);
    ConsoleTest::TearDown();
  }

  void StartOn(FakeTarget::Kind kind) {
    fake_ = std::make_unique<FakeTarget>(kind);
    ASSERT_TRUE(fake_->Started());
    const bool monitor = kind == FakeTarget::Kind::Monitor;
    dorvik::Run().TargetKind = monitor ? kTargetMonitor : kTargetAduc;
    Breakpoints().LastBreakIndex = monitor ? 1 : 7;
    ASSERT_TRUE(OpenLink(fake_->Device(), 19200));
    platform::Pump().SetIdleHook(DebugViewsIdle);
    fake_->ClearReceived();
  }
  FakeTarget& Fake() { return *fake_; }

  // Runs the line; what went over the wire. Its console text is in Out().
  std::string Wire(std::string_view line) {
    fake_->ClearReceived();
    out_ = Output(line);
    return fake_->Received();
  }
  const std::string& Out() const { return out_; }

  // Runs the idle handler until the program has stopped (at most Ms).
  bool AwaitHalt(int ms = 3000) {
    const auto start = std::chrono::steady_clock::now();
    while (dorvik::Run().ProgramRunning) {
      if (std::chrono::steady_clock::now() - start > std::chrono::milliseconds(ms)) return false;
      platform::Pump().RunIdle();
      platform::PumpMessages();
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
  }

  std::unique_ptr<FakeTarget> fake_;
  std::string out_;
};

}  // namespace dorvik::testing
