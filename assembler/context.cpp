#include "assembler/context.h"

#include <atomic>

#include "base/session.h"

namespace dorvik::as {

namespace {
// Written by a signal handler, so a lock-free flag rather than session state.
std::atomic<bool> g_interrupt{false};
}  // namespace

AsmContext& Asm() { return CurrentSession().Get<AsmContext>(); }
void ResetAsm() { ResetState<AsmContext>(); }

void RequestAsmInterrupt() { g_interrupt = true; }

// Taken by the statement processor: true once per request.
bool TakeAsmInterrupt() { return g_interrupt.exchange(false); }

}  // namespace dorvik::as
