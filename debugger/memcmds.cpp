#include "debugger/memcmds.h"

#include "base/messages.h"

namespace dorvik {

// Not built yet: the commands answer that they are not supported.
void CmdMemory() { ReportError(err::kSystemCommandNotSupported); }
void CmdCallStack() { ReportError(err::kSystemCommandNotSupported); }
void CmdChecksum() { ReportError(err::kSystemCommandNotSupported); }
void CmdRegisters() { ReportError(err::kSystemCommandNotSupported); }
void CmdStack() { ReportError(err::kSystemCommandNotSupported); }

}  // namespace dorvik
