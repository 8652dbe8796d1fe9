#include "debugger/executor.h"

#include "base/messages.h"

namespace dorvik {

// Not built yet: the commands answer that they are not supported.
void CmdBase() { ReportError(err::kSystemCommandNotSupported); }
void CmdCause() { ReportError(err::kSystemCommandNotSupported); }
void CmdCpu() { ReportError(err::kSystemCommandNotSupported); }
void CmdDefine() { ReportError(err::kSystemCommandNotSupported); }
void CmdDisable() { ReportError(err::kSystemCommandNotSupported); }
void CmdEnable() { ReportError(err::kSystemCommandNotSupported); }
void CmdGr() { ReportError(err::kSystemCommandNotSupported); }
void CmdRbs() { ReportError(err::kSystemCommandNotSupported); }
void CmdRegister() { ReportError(err::kSystemCommandNotSupported); }
void CmdReset() { ReportError(err::kSystemCommandNotSupported); }
void CmdSend() { ReportError(err::kSystemCommandNotSupported); }

}  // namespace dorvik
