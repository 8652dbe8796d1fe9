#pragma once
// A clean simulated machine for the target, simulator and interrupt tests.

#include <gtest/gtest.h>

#include <cstdint>
#include <initializer_list>

#include "core/disasline.h"
#include "core/evaluator.h"
#include "core/interrupts.h"
#include "core/linkstate.h"
#include "core/messages.h"
#include "core/runstate.h"
#include "core/scanner.h"
#include "core/simulator.h"
#include "core/target.h"
#include "platform/reporter.h"
#include "tests/core/support/engine_reset.h"
#include "vhw/hardware.h"
#include "workbench/mainform.h"

namespace dorvik::testing {

inline void ResetMachine() {
  ResetLanguage();
  ResetDisasLines();
  ResetSimulatedTarget();
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

  static TargetState& T() { return Target(); }
  static uint8_t& Sfr(uint8_t a) { return Target().SfrImage[a]; }
  static uint8_t& Iram(uint8_t a) { return Target().IDataImage[a]; }
  static void Code(uint16_t at, std::initializer_list<uint8_t> bytes) {
    for (uint8_t b : bytes) Target().CodeImage[at++] = b;
    CodeImageChanged();
  }
  // One step from SimPC.
  static StepResult Step() { return SimStep(static_cast<uint16_t>(Target().SimPC)); }
};

}  // namespace dorvik::testing
