#include "debugger/breakpoints.h"

#include "base/messages.h"
#include "base/session.h"

namespace dorvik {

BreakpointState& Breakpoints() { return CurrentSession().Get<BreakpointState>(); }

// Not built yet: the command answers that it is not supported.
void CmdBreak() { ReportError(err::kSystemCommandNotSupported); }

// No line marks are kept yet.
void MarkAllBreakpoints() {}

}  // namespace dorvik
