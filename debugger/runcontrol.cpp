#include "debugger/runcontrol.h"

#include "base/messages.h"

namespace dorvik {

// Not built yet: the commands answer that they are not supported.
void CmdGo() { ReportError(err::kSystemCommandNotSupported); }
void CmdHalt() { ReportError(err::kSystemCommandNotSupported); }
void CmdStep() { ReportError(err::kSystemCommandNotSupported); }
void ResetTarget() { ReportError(err::kSystemCommandNotSupported); }

}  // namespace dorvik
