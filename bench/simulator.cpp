// Instructions per second of SimStep on a realistic mixed program: arithmetic,
// MUL/DIV, decimal adjust, MOVX and MOVC, bit operations, calls, the stack, a
// loop, with timer 0 running and its interrupt taken every 256 machine cycles.

#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "machine/interrupts.h"
#include "base/runstate.h"
#include "machine/simulator.h"
#include "access/target.h"
#include "base/session.h"

namespace {

using namespace dorvik;

// A few lines of hand-assembled code with relative fix-ups.
struct Emitter {
  std::vector<uint8_t> bytes;
  uint16_t org = 0;
  uint16_t Here() const { return static_cast<uint16_t>(org + bytes.size()); }
  void Put(std::initializer_list<uint8_t> b) { bytes.insert(bytes.end(), b); }
  // The last byte just put is a relative displacement to Target.
  void Rel(uint16_t target) { bytes.back() = static_cast<uint8_t>(target - Here()); }
};

void LoadProgram() {
  MemoryImages& t = Images();
  auto place = [&](const Emitter& e) {
    for (size_t i = 0; i < e.bytes.size(); ++i) t.CodeImage[e.org + i] = e.bytes[i];
  };
  Emitter reset{{0x02, 0x01, 0x00}, 0x0000};  // LJMP 0100H
  Emitter isr{{0xC0, 0xE0,                     // PUSH ACC
               0xC0, 0xD0,                     // PUSH PSW
               0x05, 0x40,                     // INC 40H
               0xD0, 0xD0,                     // POP PSW
               0xD0, 0xE0,                     // POP ACC
               0x32},                          // RETI
              0x000B};
  Emitter sub{{0x54, 0x0F,   // ANL A,#0FH
               0x42, 0x30,   // ORL 30H,A
               0x33,         // RLC A
               0xC4,         // SWAP A
               0x22},        // RET
              0x0300};
  Emitter m{{}, 0x0100};
  m.Put({0x75, 0x89, 0x02});  // MOV TMOD,#02H: timer 0 8-bit auto-reload
  m.Put({0x75, 0x8C, 0x00});  // MOV TH0,#0
  m.Put({0x75, 0xA8, 0x82});  // MOV IE,#82H: EA, ET0
  m.Put({0xD2, 0x8C});        // SETB TR0
  const uint16_t loop = m.Here();
  m.Put({0x90, 0x02, 0x00});  // MOV DPTR,#0200H
  m.Put({0x78, 0x10});        // MOV R0,#10H
  const uint16_t inner = m.Here();
  m.Put({0xE8});              // MOV A,R0
  m.Put({0x24, 0x37});        // ADD A,#37H
  m.Put({0x75, 0xF0, 0x0D});  // MOV B,#0DH
  m.Put({0xA4});              // MUL AB
  m.Put({0x35, 0xF0});        // ADDC A,B
  m.Put({0xD4});              // DA A
  m.Put({0xF0});              // MOVX @DPTR,A
  m.Put({0xA3});              // INC DPTR
  m.Put({0xE0});              // MOVX A,@DPTR
  m.Put({0x75, 0xF0, 0x07});  // MOV B,#07H
  m.Put({0x84});              // DIV AB
  m.Put({0xB3});              // CPL C
  m.Put({0x92, 0x00});        // MOV 00H,C
  m.Put({0x30, 0x00, 0x00});  // JNB 00H,skip
  const size_t jnb = m.bytes.size() - 1;
  m.Put({0xD2, 0x01});        // SETB 01H
  m.bytes[jnb] = static_cast<uint8_t>(m.Here() - (m.org + jnb + 1));
  m.Put({0x12, 0x03, 0x00});  // LCALL sub
  m.Put({0xE8});              // MOV A,R0
  m.Put({0x93});              // MOVC A,@A+DPTR
  m.Put({0x64, 0x5A});        // XRL A,#5AH
  m.Put({0xC0, 0xE0});        // PUSH ACC
  m.Put({0xD0, 0xF0});        // POP B
  m.Put({0xD8, 0x00});        // DJNZ R0,inner
  m.Rel(inner);
  m.Put({0x80, 0x00});        // SJMP loop
  m.Rel(loop);
  for (const Emitter* e : {&reset, &isr, &sub, &m}) place(*e);
  CodeImageChanged();
}

void BM_SimStep(benchmark::State& state) {
  ResetSession();
  Run().TargetKind = kTargetSimulator;
  LoadProgram();
  SimReset();
  MemoryImages& t = Images();
  uint64_t steps = 0, interrupts = 0;
  for (auto _ : state) {
    const uint8_t before = t.IDataImage[0x40];  // the handler counts itself, modulo 256
    for (int i = 0; i < 1000; ++i) SimStep(static_cast<uint16_t>(t.SimPC));
    steps += 1000;
    interrupts += static_cast<uint8_t>(t.IDataImage[0x40] - before);
  }
  state.SetItemsProcessed(static_cast<int64_t>(steps));
  state.counters["interrupts_per_1000_steps"] = steps ? 1000.0 * static_cast<double>(interrupts) / static_cast<double>(steps) : 0.0;
}
BENCHMARK(BM_SimStep);

}  // namespace
