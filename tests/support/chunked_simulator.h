#pragma once
// The simulator's backend with a read chunk of choice, counting the elements
// of each typed read; Fail makes the read of that number fail with the
// target's "not responding".

#include <cstdint>
#include <vector>

#include "base/messages.h"
#include "base/msgids.h"
#include "tests/support/simulator_forwarder.h"

namespace dorvik::testing {

class ChunkedSimulator final : public SimulatorForwarder {
 public:
  explicit ChunkedSimulator(int32_t chunk) : chunk_(chunk) {}
  TargetCapabilities Capabilities() const override {
    TargetCapabilities caps = Sim().Capabilities();
    caps.ReadChunk = chunk_;
    return caps;
  }
  bool ReadTypedBlock(uint8_t space, int32_t& addr, uint8_t type, int32_t count) override {
    Counts.push_back(count);
    if (static_cast<int>(Counts.size()) == Fail) {
      ReportError(err::kTargetDeviceNotResponding);
      return false;
    }
    return TargetBackend::ReadTypedBlock(space, addr, type, count);
  }
  void WriteByte(uint8_t space, int32_t addr, uint8_t value, bool single) override {
    Sim().WriteByte(space, addr, value, single);
  }

  std::vector<int32_t> Counts;
  int Fail = 0;

 private:
  int32_t chunk_;
};

}  // namespace dorvik::testing
