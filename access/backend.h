#pragma once
// What a debug target does, as one interface with one implementation per
// target kind: memory by space, registers, go, halt, step, reset and breaks,
// and what the target supports. The Target... functions (access/target.h)
// forward to the backend of Run().TargetKind and keep the logic that is the
// same for every kind; commands ask the backend instead of testing the kind.

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "access/portviews.h"
#include "access/programload.h"
#include "access/transport.h"
#include "access/target.h"
#include "machine/simulator.h"

namespace dorvik {

// How the target's link uses the line: how long each character of a reply
// may take, and whether a silent line gets XON (the target held its output).
struct LinkHabits {
  int32_t CharTimeoutMs = kMonitorCharTimeoutMs;
  bool XonWhenSilent = false;
};

// What follows a target's reset.
struct ResetAftermath {
  bool Restarts = false;       // it restarts and prints its banner (the run is busy meanwhile);
                               // the program's start is then its user code start
  bool PcInRegisters = false;  // its PC after the reset is in the register shadow, and its
                               // views are not read back while it restarts
};

// What a target supports.
struct TargetCapabilities {
  bool HasTarget = false;          // false: no target; reads give nothing, writes and runs do nothing
  bool LocalImages = false;        // its memory is the local images, read without a link
  bool WritesValues = false;       // TargetWriteValue changes its memory
  bool RunsProgramItself = false;  // Go returns while the program runs and the halt arrives through
                                   // the link; otherwise the caller runs the program with Step
  bool BreakRegisters = false;     // breaks are the target's own registers (BR0, BR1) named by GO;
                                   // otherwise the break opcode planted in code memory
  uint8_t BreakPatchBytes = 0;     // code bytes a break overwrites while the program runs (the
                                   // monitor's patch): breaks that close may not overlap, nor cover
                                   // a RET or a branch target; 0: the break changes no code around it
  uint8_t LastBreakIndex = 7;      // the highest usable breakpoint index
  int32_t ReadChunk = 128;         // bytes of one typed read of the memory commands; 0: no limit
  uint8_t MemorySpaces = 0xFF;     // bit n set: memory space n can be read and written
};

// What a GO stops at, as run control knows it: the breaks are set already
// (PlantBreak); the backend words the run from them.
struct GoBreaks {
  bool Cursor = false;               // the cursor break (in break register 0) alone
  bool Break0 = false;               // breakpoint 0 is enabled
  bool Break1 = false;               // breakpoint 1 is enabled
  std::optional<uint16_t> Arm;       // the arm location, when breakpoint 0 or 1 is enabled
};

// What run control lends a backend for a run: its helpers on the breakpoint
// table, the console and the views, which live above this layer.
struct RunHelpers {
  std::function<bool()> PlantBreaks;     // the break opcode for every enabled break (or the cursor break)
  std::function<void()> RestoreBreaks;   // the planted breaks out again after a failed start
                                         // (the failure was reported: no second message)
  std::function<std::optional<GoBreaks>()> SetBreakRegisters;  // breakpoints 0/1 or the cursor break
                                                               // into the break registers; none: failed
  std::function<void(std::string_view announce)> Running;  // the target runs the program (Announce: its words)
  std::function<void(uint16_t from)> RunHere;               // run control's run of the program here
  std::function<bool(uint16_t ret)> BreakRegisterAtReturn;  // break register 1 at the call's return
  std::function<void(uint16_t ret, bool keepBytes)> CursorAtReturn;  // the cursor break at the call's return
  std::function<void()> AwaitHalt;  // until the link's halt (or the user's break); the breaks come out
  std::function<void()> Between;    // after every slice of a run here
  int32_t SliceSteps = 1;           // instructions in one slice
};

// Progress of a long write: bytes done of Total; false when the user cancelled.
using WriteProgress = std::function<bool(int32_t done, int32_t total)>;

// What a register read found.
enum class RegisterRead : uint8_t {
  Value,    // the value was read
  Unknown,  // not a register of this target: the evaluator's current value stands
  Failed,   // the link failed and reported why: the result is 0
};

// How a halt ended.
enum class HaltResult : uint8_t {
  Halted,       // the program stopped
  Failed,       // the target did not answer as it should; its link reported why
  TargetReset,  // the target answered by resetting itself (the ADuC's 07H reply)
};

class TargetBackend {
 public:
  virtual ~TargetBackend() = default;
  virtual TargetCapabilities Capabilities() const = 0;

  // Memory. Counts are checked by the caller: 0 < Count < kRxBufferSize.
  // Count bytes from Addr into RxBuffer positions 1..Count.
  virtual bool ReadBlock(uint8_t space, int32_t addr, int32_t count) = 0;
  // The same bytes into Out. By default through ReadBlock and the receive buffer.
  virtual bool ReadBytes(uint8_t space, int32_t addr, std::span<uint8_t> out);
  // Count typed values into the value list; Addr becomes the first byte read.
  // By default block reads converted here (bits through their bytes).
  virtual bool ReadTypedBlock(uint8_t space, int32_t& addr, uint8_t typeToken, int32_t count);
  // One byte of a value write (space 0-3, address within the space); Single:
  // the byte is written alone. Called only when the target WritesValues.
  virtual void WriteByte(uint8_t space, int32_t addr, uint8_t value, bool single);
  // Bytes written from Addr on (space 0-3, 6, 7; the caller keeps them within
  // the space). Fill: all bytes are the same. False when the write failed (its
  // link reported why) or was cancelled. By default byte by byte with
  // WriteByte, when the target WritesValues.
  virtual bool WriteBlock(uint8_t space, int32_t addr, std::span<const uint8_t> bytes, bool fill,
                          const WriteProgress& progress);
  // Bits written from BitAddr on, one value (0 or 1) per byte; Fill: all are
  // the same. By default each bit through the byte that holds it (read,
  // change, write), up to the first failure.
  virtual bool WriteBits(int32_t bitAddr, std::span<const uint8_t> bits, bool fill);
  // Count bytes copied from Src in SrcSpace to Dst in DstSpace (the source is
  // read whole before anything is written). By default ReadBytes, then WriteBlock.
  virtual bool CopyBlock(uint8_t dstSpace, int32_t dst, uint8_t srcSpace, int32_t src, int32_t count);
  // The target's own register list, line by line; false when its link failed.
  // No lines: the target has none of its own (by default).
  virtual bool RegisterLines(std::vector<std::string>& lines);
  // The code bytes of a breakpoint text ("0" and two hex digits each, comma-separated) at Addr.
  virtual void WriteCodeByte(uint16_t addr, std::string_view valueText) = 0;

  // Registers (keyword tokens). AB, TM2 and RCAP2 are the layer's; the rest the target's.
  // Fills the frame from the target (targets whose link fills the views leave it).
  virtual void GetRegisters(tRegisterFrame& frame) = 0;
  // The registers a board reported at its last stop, without asking it
  // (the ADuC's shadows: R0, ACC, PSW, SP, DPTR, PC); false: none.
  virtual bool ReportedRegisters(tRegisterFrame&) { return false; }
  virtual RegisterRead ReadRegister(uint8_t regToken, int32_t& value) = 0;
  virtual void SetRegister(uint8_t regToken, int32_t value) = 0;
  // A command line in the target's own language, answered by its prompt
  // (targets without a language of their own take none and answer false).
  virtual bool SendCommandLine(std::string_view line);
  // Error 107 is being shown: the target's own error reply, when it sent one,
  // becomes the message's argument (the monitor's); others leave it.
  virtual void TakeErrorReply(std::string& /*arg1*/) {}
  // How its link uses the line.
  virtual LinkHabits Habits() const { return {}; }
  // The news in what the link received (LinkTakeNews); false when none.
  virtual bool TakeNews(LinkNews&) { return false; }

  // Run control
  // Starts the program at From. Till is the stop clause of a target with break
  // registers ("TILL BR0", "FOREVER", ...); the others ignore it. The simulator
  // only takes From as its PC: the caller then runs the program with Step.
  virtual bool Go(uint16_t from, std::string_view till) = 0;
  // Starts the program at From to stop at the breaks run control set. By
  // default Go with no stop clause (the planted breaks stop the program).
  virtual bool GoWithBreaks(uint16_t from, const GoBreaks&) { return Go(from, {}); }
  // GO: starts the program at From with the breaks the table holds. By
  // default the breaks are planted, the PC set and run control runs it here.
  virtual void StartRun(uint16_t from, const RunHelpers& helpers);
  // Runs the call at Address until it returns to Ret; false when the start
  // failed. By default run here with RunCallHere.
  virtual bool RunOverCall(uint16_t address, uint16_t ret, const RunHelpers& helpers);
  // A target with break registers: starts the program at From to stop at
  // break register 1 (a run over a call).
  virtual bool GoTillBr1(uint16_t from) { return Go(from, "TILL BR1"); }
  // Stops the running program.
  virtual HaltResult Halt() = 0;
  // The user's Esc: the target gets its break byte where it takes one (the
  // monitor; a packet target would take it for the start of a frame).
  virtual void Interrupt() {}
  // Why the program last stopped, in the target's words; none when the target
  // does not say (or its link failed and reported why).
  virtual std::optional<std::string> StopCause() { return std::nullopt; }
  // The target's break switch (the monitor's BR=ON/OFF). BreakSwitch: its
  // state as the target shows it ("ON"), none when the target answered without
  // one; false when the link failed. SetBreakSwitch: false when it failed or
  // the target has no switch (reported). ArmBreakSwitch: the switch on before
  // a run that the user may halt.
  virtual bool BreakSwitch(std::optional<std::string>& state) {
    state.reset();
    return true;
  }
  virtual bool SetBreakSwitch(bool /*on*/) { return false; }
  virtual bool ArmBreakSwitch() { return true; }
  // The run on a target that does not run the program itself (the
  // simulator's step loop): Slice instructions at a time with Between after
  // each slice, while the program runs and executes. Others leave it.
  virtual void RunHere(int32_t /*slice*/, const std::function<void()>& /*between*/) {}
  // The same for the call at Address: it has returned when the PC is back at
  // Ret with the stack of the call (or a break, a halt or the user's break
  // ended it). Between comes after every Slice instructions.
  virtual void RunCallHere(uint16_t /*address*/, uint16_t /*ret*/, int32_t /*slice*/,
                           const std::function<void()>& /*between*/) {}
  // One instruction at At; Text: the target's own line of it, when it sends one.
  virtual StepResult Step(uint16_t at, std::string& text) = 0;
  // The target's reset (its memory stays).
  virtual bool Reset() = 0;
  // What the target printed while it restarted (the monitor's banner), once.
  virtual std::string TakeResetText() { return {}; }
  // What follows its reset (by default: the views are read again).
  virtual ResetAftermath AfterReset() const { return {}; }
  // A break at Address for breakpoint Index (a target with break registers sets
  // register Index; the others plant the break opcode and keep the code byte).
  virtual bool PlantBreak(uint8_t index, uint16_t address) = 0;
  // Takes the break out again: the code byte goes back.
  virtual bool LiftBreak(uint8_t index, uint16_t address) = 0;

  // Pins driven by hand: the chip's INT0/INT1 edge or T0/T1 count pulse.
  // False (nothing happens) on targets without such pins.
  virtual bool DriveInput(PinInput) { return false; }

  // Program load
  // How much program memory the target has for a load.
  virtual ProgramMemoryLimit ProgramMemory() const { return {}; }
  // Sends a program that a load collected; a target without memory takes none.
  virtual TransferResult TransferProgram(const ProgramTransfer&) { return TransferResult::Failed; }
};

// Which backend serves which kind
// The backend of Run().TargetKind (kinds without one: the no-target backend).
TargetBackend& CurrentBackend();
TargetBackend& BackendFor(uint8_t kind);
// Installs Backend for Kind and returns the one it replaces; null puts the
// kind's own backend back.
TargetBackend* SetBackendForTesting(uint8_t kind, TargetBackend* backend);
// The kinds' own backends, one file each.
TargetBackend& MonitorBackendInstance();
TargetBackend& NoTargetBackendInstance();
TargetBackend& AducBackendInstance();
TargetBackend& SimulatorBackendInstance();

// Shared by the layer and the backends
// Byte address and space of a bit address, and the bit's mask.
struct BitPlace {
  uint8_t Space;
  int32_t Byte;
  uint8_t Mask;
};
BitPlace PlaceOfBit(int32_t bitAddr);
// The first code byte of a breakpoint text; reports an internal error when there is none.
bool FirstCodeByte(std::string_view valueText, uint8_t& value);
// The high and low SFR of a 16-bit register token (AB, TM0-TM2, RCAP2), or false.
bool PairOf(uint8_t regToken, uint8_t& high, uint8_t& low);
// A register pair read with TargetReadByte, high byte first.
uint16_t ReadPair(uint8_t high, uint8_t low);
// The addresses held by the BR0/BR1 registers (the breakpoint table's when it installed its hooks).
uint16_t BreakRegister(int index);
void SetBreakRegister(int index, uint16_t address);
// Registers the ADuC and the simulator read alike: PPC, TM0, TM1, BR0, BR1.
RegisterRead ReadCommonRegister(uint8_t regToken, int32_t& value);

}  // namespace dorvik
