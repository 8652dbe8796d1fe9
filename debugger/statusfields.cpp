#include "debugger/statusfields.h"

#include <array>
#include <utility>

#include "access/backend.h"
#include "access/target.h"
#include "access/transport.h"
#include "base/messages.h"
#include "base/runstate.h"
#include "base/session.h"
#include "debugger/runcontrol.h"
#include "debugger/terminal.h"
#include "lang/formatting.h"

namespace dorvik {

namespace {

// The status fields and their captions.
constexpr std::array<std::string_view, 20> kStatusFields = {
    "SP", "R0", "R1", "R2", "R3", "R4", "R5", "R6", "R7", "DPTR",
    "PC", "PSW", "ACC", "B", "CY", "AC", "F0", "OV", "P", "RBS"};

std::string Bit(uint8_t psw, uint8_t mask) { return (psw & mask) ? "1" : "0"; }

}  // namespace

DebugStatusState::DebugStatusState() {
  for (std::string_view name : kStatusFields) {
    std::string key = "st";
    key += name;
    StatusFields[key] = std::string(name) + "\r";
  }
}

DebugStatusState& DebugStatus() { return CurrentSession().Get<DebugStatusState>(); }

// Status fields

void SetRegisterText(std::string_view name, std::string_view value) {
  auto it = DebugStatus().StatusFields.find("st" + std::string(name));
  if (it == DebugStatus().StatusFields.end()) return;
  const size_t cr = it->second.find('\r');
  it->second = (cr == std::string::npos ? std::string() : it->second.substr(0, cr + 1)) + std::string(value);
}

std::string RegisterText(std::string_view name) {
  auto it = DebugStatus().StatusFields.find("st" + std::string(name));
  if (it == DebugStatus().StatusFields.end()) return {};
  const size_t cr = it->second.find('\r');
  return cr == std::string::npos ? std::string() : it->second.substr(cr + 1);
}

// The fields that every target fills from its register frame.
static void ShowSharedRegisters(const tRegisterFrame& r) {
  SetRegisterText("SP", FormatHex2(r.SP));
  SetRegisterText("DPTR", FormatHex4(static_cast<uint16_t>(r.DPTR)));
  SetRegisterText("PSW", FormatHex2(r.PSW));
  SetRegisterText("ACC", FormatHex2(r.ACC));
  for (const auto& [name, bit] : {std::pair{"CY", psw::CY}, {"AC", psw::AC}, {"F0", psw::F0}, {"OV", psw::OV}, {"P", psw::P}})
    SetRegisterText(name, Bit(r.PSW, bit));
  SetRegisterText("RBS", std::to_string((r.PSW & 0x18) >> 3));
}

bool FollowRunningPC() {
  if (!Run().ProgramRunning || !CurrentBackend().Capabilities().LocalImages) return false;
  SetRegisterText("PC", FormatHex4(static_cast<uint16_t>(Run().CurrentPC)));
  return true;
}

void RefreshDebugViews(bool askBoard) {
  DebugStatusState& v = DebugStatus();
  ++v.RefreshCount;
  const TargetCapabilities caps = CurrentBackend().Capabilities();
  if (!caps.LocalImages) {
    // A board: the PC of its last stop, and its registers asked of it while
    // it stands still on an open line (a command that failed has said why:
    // it is not asked again). Otherwise what it reported (the ADuC's
    // shadows); the other fields stay as they are.
    if (!caps.HasTarget) return;
    SetRegisterText("PC", FormatHex4(static_cast<uint16_t>(Run().CurrentPC)));
    RunState& run = Run();
    tRegisterFrame r{};
    // (Between two steps of STEP or TRACE the program stands still.)
    const bool still = !run.ProgramRunning || run.Tracing;
    if (askBoard && still && LinkIsOpen() && !Messages().ErrorFlag) {
      // The PC the board names (a register it does not name keeps the frame's value).
      r.PC = run.CurrentPC;
      TargetGetRegisters(r);
      if (!Messages().ErrorFlag) {
        run.CurrentPC = r.PC & 0xFFFF;
        Target().TargetRegs.PC = static_cast<uint16_t>(r.PC);
        SetRegisterText("PC", FormatHex4(static_cast<uint16_t>(r.PC)));
        for (size_t n = 0; n < 8; ++n) SetRegisterText("R" + std::to_string(n), FormatHex2(r.R[n]));
        SetRegisterText("B", FormatHex2(r.B));
        ShowSharedRegisters(r);
        return;
      }
    }
    if (!CurrentBackend().ReportedRegisters(r)) return;
    SetRegisterText("R0", FormatHex2(r.R[0]));
    ShowSharedRegisters(r);
    return;
  }
  tRegisterFrame f{};
  TargetGetRegisters(f);
  Run().CurrentPC = f.PC;
  for (size_t n = 0; n < 8; ++n) SetRegisterText("R" + std::to_string(n), FormatHex2(f.R[n]));
  SetRegisterText("PC", FormatHex4(static_cast<uint16_t>(f.PC)));
  SetRegisterText("B", FormatHex2(f.B));
  ShowSharedRegisters(f);
  Run().TargetReady = true;
}

// Caption

void UpdateCaption(uint8_t state) { DebugStatus().Caption = state; }

void DebugViewsIdle() {
  LinkIdle();
  const RunState& run = Run();
  TerminalState& t = Terminal();
  if (run.ProgramRunning || run.Executing || t.MonitorPrompt != kPromptRunning) return;
  if (CurrentBackend().Capabilities().RunsProgramItself) return;  // the link's reply ends those runs
  t.MonitorPrompt = std::string(kPromptHalted);
  UpdateCaption(kCaptionHalted);
}

}  // namespace dorvik
