// A 32 KB program transferred to each fake serial target (tests/support/
// fake_targets.h) over a pseudo-terminal: the time of one transfer, the bytes
// on the wire per payload byte and the round trips (replies waited for) per
// record. The monitor takes HEX records of 128 bytes, each acknowledged; the
// ADuC 256-byte page packets, each acknowledged; nothing else waits.

#include <benchmark/benchmark.h>

#include "access/monitorlink.h"
#include "access/target.h"
#include "access/linkstate.h"
#include "base/runstate.h"
#include "base/session.h"
#include "access/programload.h"
#include "platform/pump.h"
#include "tests/support/fake_targets.h"

namespace {

using namespace dorvik;
using testing::FakeTarget;

constexpr uint32_t kProgramSize = 0x8000;

// The program in a 64 KB load image: 32 KB from 0000H.
const std::vector<uint8_t>& ProgramImage() {
  static const std::vector<uint8_t> image = [] {
    std::vector<uint8_t> m(kProgramImageSize, 0xFF);
    for (uint32_t a = 0; a < kProgramSize; ++a) m[a] = static_cast<uint8_t>(a * 7 + 1);
    return m;
  }();
  return image;
}

void Transfer(benchmark::State& state, FakeTarget::Kind kind) {
  platform::ScriptedReporter boxes;
  platform::SetReporter(&boxes);
  ResetSession();
  InstallTargetAccess();
  FakeTarget fake(kind);
  const bool monitor = kind == FakeTarget::Kind::Monitor;
  Run().TargetKind = monitor ? kTargetMonitor : kTargetAduc;
  Run().TargetReady = true;
  if (!OpenLink(fake.Device(), 115200)) {
    state.SkipWithError("the fake's line did not open");
    return;
  }
  Link().MonitorVersion = 4;
  Link().TargetChipId = "ADI 841";
  size_t wire = 0;
  uint32_t replies = 0;
  for (auto _ : state) {
    fake.ClearReceived();
    const uint32_t before = fake.Replies();
    ProgramTransfer t{.Image = std::span<const uint8_t, kProgramImageSize>(ProgramImage().data(), kProgramImageSize),
                      .Lowest = 0,
                      .Highest = kProgramSize - 1,
                      .MaxRecord = 128,
                      .Append = false,
                      .ClearCodeFlash = false,
                      .ClearDataFlash = false,
                      .DownloadSpeed = 0,
                      .FileName = "program.hex",
                      .Progress = {}};
    const TransferResult r = monitor ? MonitorTransferProgram(t) : AducTransferProgram(t);
    if (r != TransferResult::Done) {
      state.SkipWithError("the transfer failed");
      break;
    }
    wire += fake.Received().size();
    replies += fake.Replies() - before;
  }
  const double records = monitor ? kProgramSize / 128.0 : kProgramSize / 256.0;
  const double runs = static_cast<double>(state.iterations());
  state.counters["wire_bytes_per_payload_byte"] = static_cast<double>(wire) / runs / kProgramSize;
  state.counters["round_trips_per_record"] = replies / runs / records;
  state.SetBytesProcessed(static_cast<int64_t>(runs * kProgramSize));
  CloseLink();
  platform::SetReporter(nullptr);
}

void BM_TransferToMonitor(benchmark::State& state) { Transfer(state, FakeTarget::Kind::Monitor); }
void BM_TransferToAduc(benchmark::State& state) { Transfer(state, FakeTarget::Kind::Aduc); }

BENCHMARK(BM_TransferToMonitor)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_TransferToAduc)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace
