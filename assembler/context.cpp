#include "assembler/context.h"

#include <atomic>

namespace dorvik::as {

namespace {
AsmContext g_context;
std::atomic<bool> g_interrupt{false};
}  // namespace

AsmContext& Asm() { return g_context; }
void ResetAsm() { g_context = AsmContext{}; }

void RequestAsmInterrupt() { g_interrupt = true; }

// Taken by the statement processor: true once per request.
bool TakeAsmInterrupt() { return g_interrupt.exchange(false); }

}  // namespace dorvik::as
