// The serial links' reply parsers on any bytes received: the monitor's
// replies (memory read, register query, step line, reset banner, prompt and
// error answers, the received news of a running board) and the ADuC's (single
// byte, data block, break report, halt). The first input byte picks the
// operation, the rest is what the line delivers. No crash, the receive state
// always inside its buffer, and data reported only for a read that succeeded.

#include <array>
#include <cstdlib>
#include <span>
#include <string>

#include "access/monitorlink.h"
#include "access/aduclink.h"
#include "access/linkstate.h"
#include "base/messages.h"
#include "base/runstate.h"
#include "fuzz/engine_reset.h"
#include "lang/keywords.h"

namespace {

void CheckReceiveState() {
  const dorvik::LinkState& l = dorvik::Link();
  if (l.RxCount < 0 || l.RxCount > dorvik::kRxBufferSize || l.RxIndex < 0 || l.RxIndex > l.RxCount) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace dorvik;
  if (size < 1) return 0;
  fuzz::ResetEngine();
  const uint8_t op = data[0];
  const std::span<const uint8_t> reply(data + 1, size - 1);
  const bool monitor = op < 0x80;
  Run().TargetKind = monitor ? kTargetMonitor : kTargetAduc;
  LinkReplayForTesting(reply);
  Messages().ErrorFlag = false;
  int32_t value = 0;
  std::string text, second;
  bool ok = false;
  std::array<uint8_t, 64> bytes{};
  auto first = [&](size_t n) { return std::span<uint8_t>(bytes.data(), n); };
  switch (op & 0x0F) {
    case 0: ok = monitor ? MonitorReadBlock(kSpaceXData, 0x100, first(1 + op % 40)) : AducReadBlock(kSpaceXData, 0x100, first(1 + op % 40)); break;
    case 1: ok = monitor ? MonitorQueryRegister(tok::kPC, value) : AducReadBlock(kSpaceDirect, 0x90, first(3)); break;
    case 2: ok = monitor ? MonitorSingleStep(text) : AducStep(0x1234); break;
    case 3: ok = monitor ? MonitorReset(text) : AducReadBlock(kSpaceIData, 0x30, first(4)); break;
    case 4: ok = monitor ? MonitorWaitPrompt() : AducReadSfrShadows(); break;
    case 5: ok = monitor ? MonitorRegisterList(text, second) : AducReadBlock(kSpaceCode, 0, first(1)); break;
    case 6: ok = monitor ? MonitorBreakQuery(text) : (AducCommand('V', 0x81, 'Q'), !Messages().ErrorFlag); break;
    case 7: {
      bool reset = false;
      ok = monitor ? MonitorGo(0x100, "FOREVER") : AducHalt(reset);
      break;
    }
    case 8: {
      Run().ProgramRunning = true;
      LinkNews news;
      for (int i = 0; i < 4; ++i) LinkTakeNews(news);
      ok = true;
      break;
    }
    case 9: ok = monitor ? MonitorExpect("EXECUTION BEGUN") : (AducCommand('R', 0, 'D', 255), !Messages().ErrorFlag); break;
    default: {
      uint8_t version = 0;
      uint16_t userStart = 0;
      ParseMonitorBanner(std::string(reinterpret_cast<const char*>(reply.data()), reply.size()), version, userStart);
      if (version > 9) std::abort();
      ok = true;
      break;
    }
  }
  CheckReceiveState();
  // A failure is always reported.
  if (!ok && !Messages().ErrorFlag && (op & 0x0F) < 8 && !(monitor && (op & 0x0F) == 4)) std::abort();
  CloseLink();
  return 0;
}
