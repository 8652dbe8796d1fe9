#pragma once
// A clean simulated machine for the target, simulator and interrupt tests.

#include <gtest/gtest.h>

#include <cstdint>
#include <initializer_list>

#include "access/disasline.h"
#include "lang/evaluator.h"
#include "machine/interrupts.h"
#include "access/linkstate.h"
#include "base/messages.h"
#include "base/runstate.h"
#include "lang/scanner.h"
#include "machine/simulator.h"
#include "access/target.h"
#include "platform/reporter.h"
#include "vhw/hardware.h"
#include "base/mainform.h"
#include "base/session.h"

namespace dorvik::testing {

inline void ResetMachine() {
  ResetSession();
  InstallTargetAccess();
  Run().TargetKind = kTargetSimulator;
  Run().TargetReady = true;
}

class SimFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetMachine();
    platform::SetReporter(&boxes_);  // message boxes are recorded, never shown
  }
  void TearDown() override {
    platform::SetReporter(nullptr);
    ResetMachine();
  }

  platform::ScriptedReporter boxes_;

  static MemoryImages& T() { return Images(); }
  static uint8_t& Sfr(uint8_t a) { return Images().SfrImage[a]; }
  static uint8_t& Iram(uint8_t a) { return Images().IDataImage[a]; }
  static void Code(uint16_t at, std::initializer_list<uint8_t> bytes) {
    for (uint8_t b : bytes) Images().CodeImage[at++] = b;
    CodeImageChanged();
  }
  // One step from SimPC.
  static StepResult Step() { return SimStep(static_cast<uint16_t>(Images().SimPC)); }
};

}  // namespace dorvik::testing
