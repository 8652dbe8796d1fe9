#include "loader/loader.h"

#include <algorithm>
#include <cerrno>
#include <utility>

#include "access/backend.h"
#include "access/portviews.h"
#include "access/target.h"
#include "access/linkstate.h"
#include "access/transport.h"
#include "base/dialogs.h"
#include "base/mainform.h"
#include "base/messages.h"
#include "base/runstate.h"
#include "base/session.h"
#include "base/text.h"
#include "base/userseam.h"
#include "debugger/breakpoints.h"
#include "debugger/memcmds.h"
#include "debugger/runcontrol.h"
#include "debugger/toolviews.h"
#include "debugger/breaklocations.h"
#include "debugger/statusfields.h"
#include "lang/collections.h"
#include "lang/formatting.h"
#include "lang/keywords.h"
#include "lang/symbols.h"
#include "machine/opcodes.h"
#include "objfiles/intelhex.h"
#include "objfiles/listmap.h"
#include "objfiles/omfreader.h"
#include "platform/files.h"
#include "platform/reporter.h"

namespace dorvik {

LoaderState& Loader() { return CurrentSession().Get<LoaderState>(); }

namespace {

constexpr int kStackSearchSteps = 51;
// The wait for a board's announcement before a load, and its poll.
constexpr int32_t kBannerWaitMs = 500;
constexpr int32_t kBannerPollMs = 5;
// Far beyond 64 KB of code with its symbols: a larger file is refused unread.
constexpr size_t kMaxProgramFileSize = size_t{16} << 20;
constexpr int kStackHistoryTag = 13;
constexpr uint8_t kMovDirectImmediate = 0x75;
constexpr uint8_t kLjmp = 0x02;
constexpr uint8_t kSpAddress = 0x81;

LoadImage Buffer() { return LoadImage(Loader().LoadBuffer.data(), kLoadImageSize); }

// The address being loaded, in the display radix (five digits).
bool ShowAddress(uint16_t address, bool clearing = false) {
  const uint16_t radix = Formatting().DisplayRadix == 10 ? 10 : 16;
  const std::string digits = FormatNumber(radix, 5, false, address, false);
  User().ShowLoadProgress({LoadStep::Address, clearing ? "Clear address" : "Load address", digits});
  return !IsLoadCancelled();
}

void InformLoaded(uint16_t highest) {
  if (!Messages().ShowMessageBoxes || Messages().QuietMessages) return;
  const std::string last =
      Formatting().DisplayRadix == 16 ? FormatHex4(highest) : FormatNumber(10, 5, false, highest, false);
  ShowBox({"Information", "Load succesful, last address used " + last, platform::BoxButtons::Ok,
           platform::BoxIcon::Information});
}

// The symbol collections, emptied unless the load appends to them.
void StartHexCollections(bool append) {
  if (!append) FreeSymbolCollections();
  CreateSymbolCollections();
}

// The addresses the file holds, from the first and last address of each record stored.
void NoteHeld(const std::vector<std::pair<uint16_t, uint16_t>>& stored) {
  std::vector<uint8_t>& held = Loader().LoadHeld;
  std::fill(held.begin(), held.end(), uint8_t{0});
  for (const auto& [first, last] : stored) std::fill(held.begin() + first, held.begin() + last + 1, uint8_t{1});
}

// The program file into CONTENT. Its first byte tells HEX from object before
// the rest is read; a file far larger than any program with its symbols is
// refused at once. False after the failure was reported.
bool ReadProgramFile(const std::string& name, std::string& content) {
  platform::InputFile file;
  if (!file.Open(name)) {
    const int code = platform::TakeIOResult();
    if (code == ENOENT)
      ReportError(err::kFileNotExist, name);
    else
      ReportError(err::kCannotOpenFile, name + " (" + platform::OsErrorText(code) + ")");
    return false;
  }
  const auto ioFailed = [&name] {
    ReportError(err::kErrorReadingFile, name + " (" + platform::OsErrorText(platform::TakeIOResult()) + ")");
    return false;
  };
  if (!file.Read(1, content)) return ioFailed();
  if (content.empty() || (content[0] != ':' && !IsObjectFileStart(static_cast<uint8_t>(content[0])))) {
    ReportError(err::kFileNotValidObjectFile, name);
    return false;
  }
  return file.ReadRest(kMaxProgramFileSize, content) || ioFailed();
}

// The file pass: the file into the load buffer (and the symbol collections).
// False when the load ends here.
bool ReadProgram(const LoaderOptions& o, const std::string& content) {
  LoaderState& l = Loader();
  const std::string& name = l.LoadFileName;
  const uint8_t first = static_cast<uint8_t>(content[0]);
  if (first == ':') {
    if (!o.LoadCode) {
      ReportWarning(warn::kNothingToDo);
      Messages().WarningFlag = false;
      return false;
    }
    StartHexCollections(o.LoadAppend);
    HexLoadInfo info;
    const auto progress = [](uint16_t address) { return ShowAddress(address); };
    const bool read = o.LoadXData ? LoadHexXData(content, name, info, progress)
                                  : ReadHexText(content, name, HexMemory::Code, Buffer(), info, progress);
    if (!read) return false;
    l.LowestAddress = info.LowestAddress;
    l.HighestAddress = info.HighestAddress;
    l.StartAddress = info.StartAddress;
    NoteHeld(info.Stored);
    return true;
  }
  if (!IsObjectFileStart(first)) {
    ReportError(err::kFileNotValidObjectFile, name);
    return false;
  }
  const ObjLoadOptions options{o.LoadCode, o.LoadLines, o.LoadSymbols, o.LoadAppend};
  const auto* bytes = reinterpret_cast<const uint8_t*>(content.data());
  const ObjLoadResult result = ReadObjectModule({bytes, content.size()}, name, Buffer(), options);
  if (!result.Ok) return false;
  l.LowestAddress = result.LowestAddress;
  l.HighestAddress = result.HighestAddress;
  if (result.StartFound) l.StartAddress = result.StartAddress;
  NoteHeld(result.Stored);
  if (!ShowAddress(static_cast<uint16_t>(std::min<uint32_t>(result.HighestAddress, 0xFFFF)))) {
    ReportError(err::kErrorWhileFile, "loading", name);
    return false;
  }
  return true;
}

// The transfer pass; true when the program reached the target. Refused:
// nothing was sent (the program does not fit).
bool SendProgram(const LoaderOptions& o, bool& refused) {
  LoaderState& l = Loader();
  TargetBackend& target = CurrentBackend();
  const ProgramMemoryLimit limit = target.ProgramMemory();
  if (l.HighestAddress + 1 > limit.End) {
    // Nothing of the program went to the target: no range was loaded.
    ReportError(err::kObjectCodeTooLong, limit.SizeText);
    refused = true;
    if (limit.AbortWhenTooLong) AbortLoad();
    return false;
  }
  uint16_t lowest = l.LowestAddress;
  uint16_t highest = static_cast<uint16_t>(l.HighestAddress);
  // The ADuC's flash takes whole pages.
  if (Target().CpuFamily == kFamilyAduc) {
    lowest &= 0xFF00;
    highest |= 0x00FF;
  }
  ProgramTransfer transfer{.Image = std::span<const uint8_t, kProgramImageSize>(l.LoadBuffer.data(), kProgramImageSize),
                           .Lowest = lowest,
                           .Highest = highest,
                           .MaxRecord = TransferRecordSize(Target().CpuFamily),
                           .Append = o.LoadAppend,
                           .Held = l.LoadHeld,
                           .ClearCodeFlash = o.ClearCodeFlash,
                           .ClearDataFlash = o.ClearDataFlash,
                           .DownloadSpeed = o.DownloadSpeed,
                           .FileName = l.LoadFileName,
                           .Progress = [](uint16_t address, bool clearing) { return ShowAddress(address, clearing); }};
  switch (target.TransferProgram(transfer)) {
    case TransferResult::Done:
      return true;
    case TransferResult::Aborted:
      AbortLoad();
      return false;
    case TransferResult::Failed:
      User().ShowLoadProgress({LoadStep::Ended});
      return false;
  }
  return false;
}

void SetProgramCounter(uint16_t address) {
  TargetSetRegister(tok::kPC, address);
  Run().CurrentPC = address;
}

// The stack question, asked again while the answer is not a number; Cancel
// keeps the stack start as it is.
void AskStackBase() {
  TInputDialog& dialog = Dialogs().InputDialog;
  dialog.Caption = "Please, enter STACK value.";
  dialog.BrowseVisible = false;
  dialog.comboBox1.Tag = kStackHistoryTag;
  std::string text = "07H";
  for (;;) {
    dialog.comboBox1.Text = text;
    if (dialog.ShowModal() != kModalOk) return;
    uint16_t value = 0;
    if (ParseStackText(dialog.Value, value)) {
      MemCmds().StackBase = value;
      return;
    }
    text = "07H";
  }
}

void CheckSymbols(const LoaderOptions& o) {
  auto& c = Collections();
  bool& sourceLevel = ListMap().SourceLevelDebugging;
  sourceLevel = true;
  if (!c.SymbolTable) {
    sourceLevel = false;
  } else if (c.SymbolTable->Items.empty()) {
    FreeSymbolCollections();
    ReportWarning(warn::kSymbolTableEmpty);
    sourceLevel = false;
  } else if (!CheckObjectModules()) {
    sourceLevel = false;
  }
  if (!o.LoadLines) {
    ReportWarning(warn::kLineInformationNotIncluded);
    sourceLevel = false;
  }
  if (!o.LoadSymbols) ReportWarning(warn::kSymbolInformationNotIncluded);
  if (sourceLevel) {
    // A module the user wants added goes to the project manager.
    const std::string added = CheckObjectModuleOrder();
    if (!added.empty()) User().AddModuleToProject(added);
  }
  RelocateBreakpoints(sourceLevel);
}

// What a load that sends nothing leaves as it was: the loaded program's
// symbols, modules and lines, whether it has source lines, and its range.
struct LoadedProgram {
  CollectionsState Tables;
  bool DebugInfoLoaded = false;
  bool SourceLevel = false;
  bool ProjectLoaded = false;
  uint16_t Lowest = 0xFFFF;
  uint32_t Highest = 0;
  uint16_t Start = 0;

  static LoadedProgram Take() {
    const LoaderState& l = Loader();
    return {Collections(),   SymbolLookup().DebugInfoLoaded, ListMap().SourceLevelDebugging, l.ProjectLoaded,
            l.LowestAddress, l.HighestAddress,               l.StartAddress};
  }
  void Restore() const {
    LoaderState& l = Loader();
    FreeSymbolCollections();
    Collections() = Tables;
    SymbolLookup().DebugInfoLoaded = DebugInfoLoaded;
    ListMap().SourceLevelDebugging = SourceLevel;
    l.ProjectLoaded = ProjectLoaded;
    l.LowestAddress = Lowest;
    l.HighestAddress = Highest;
    l.StartAddress = Start;
  }
};

// After every load, also a failed one. After a failure, which was reported,
// the program counter stays where it was: no further boxes, and no stack
// search in a program that did not arrive. Kept: a load that sent nothing
// left the program before it whole, its breakpoints too.
void FinishLoad(const LoaderOptions& o, bool loaded, bool kept) {
  LoaderState& l = Loader();
  RunState& run = Run();
  MessageState& m = Messages();
  if (!loaded) SuspendMessages();
  run.TargetBusy = true;
  const uint16_t userStart = RunControl().UserCodeStart;
  l.StartAddress = std::max(l.StartAddress, userStart);
  if (loaded) SetProgramCounter(l.StartAddress);
  m.ErrorFlag = false;
  m.WarningFlag = false;
  if (!kept) CheckSymbols(o);
  User().ShowLoadProgress({LoadStep::Ended});
  RefreshDebugViews();
  run.TargetBusy = false;
  if (loaded && !l.LoadAborted && !FindStackInit(l.StartAddress)) {
    l.StartAddress = userStart;
    SetProgramCounter(l.StartAddress);
    if (!FindStackInit(l.StartAddress)) AskStackBase();
  }
  // The reset address decides the start: nothing there, or an LJMP to it.
  uint8_t code[3] = {};
  m.ErrorFlag = false;
  const bool read = loaded && TargetReadBytes(kSpaceCode, userStart, code) && !m.ErrorFlag;
  const std::optional<uint16_t> named = read ? StartNamedAtReset(code) : std::nullopt;
  if (loaded && (!read || named)) {
    l.StartAddress = read ? *named : userStart;
    SetProgramCounter(l.StartAddress);
  }
  NoteProgramLoaded(loaded && o.LoadCode);
  RefreshDebugViews();
  if (!loaded) ResumeMessages();
  m.WarningFlag = false;
  m.ErrorFlag = false;
}

}  // namespace

bool IsLoadCancelled() { return Loader().Cancelled || Loader().LoadAborted; }

void AbortLoad() {
  FreeSymbolCollections();
  SymbolLookup().DebugInfoLoaded = false;
  Loader().LoadAborted = true;
  Loader().ProjectLoaded = false;
}

bool ParseStackText(std::string_view text, uint16_t& value) {
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  int radix = 10;
  if (!text.empty() && (text.back() == 'H' || text.back() == 'h')) {
    radix = 16;
    text.remove_suffix(1);
  }
  if (text.empty() || text.size() > 5) return false;
  uint32_t v = 0;
  for (char c : text) {
    const uint8_t digit = HexDigitValue(c);
    if (digit >= radix) return false;
    v = v * static_cast<uint32_t>(radix) + digit;
  }
  if (v > 0xFFFF) return false;
  value = static_cast<uint16_t>(v);
  return true;
}

bool FindStackInit(uint16_t address) {
  MessageState& m = Messages();
  for (int step = 0; step < kStackSearchSteps; ++step) {
    uint8_t code[3] = {};
    m.ErrorFlag = false;
    if (!TargetReadBytes(kSpaceCode, address, code) || m.ErrorFlag) return false;
    if (code[0] == kMovDirectImmediate && code[1] == kSpAddress) {
      MemCmds().StackBase = code[2];
      return true;
    }
    if (code[0] == kLjmp)
      address = static_cast<uint16_t>(code[1] << 8 | code[2]);
    else
      address = static_cast<uint16_t>(address + Opcode(code[0]).Length);
  }
  return false;
}

void AwaitTargetBanner() {
  if (!LinkIsOpen() || !CurrentBackend().Capabilities().HasTarget) return;
  const LinkState& l = Link();
  const bool monitor = Run().TargetKind == kTargetMonitor;
  const auto announced = [&] { return monitor ? l.MonitorVersion != 0 : !l.TargetChipId.empty(); };
  for (int32_t waited = 0; waited < kBannerWaitMs && !announced(); waited += kBannerPollMs) {
    LinkIdle();
    if (announced()) return;
    LinkIdleWait(kBannerPollMs);
  }
}

bool LoadProgram(const std::string& fileName) {
  Loader().LoadFileName = fileName;
  AwaitTargetBanner();
  BeginBusy();
  RunState& run = Run();
  const bool busy = std::exchange(run.TargetBusy, true);
  const bool loaded = LoadProgramFile();
  run.TargetBusy = busy;
  EndBusy();
  return loaded;
}

bool LoadProgramFile() {
  // The port window reads nothing while the load talks to the target.
  const PortRefreshStopped portRefreshStopped;
  LoaderState& l = Loader();
  MessageState& m = Messages();
  const LoadedProgram before = LoadedProgram::Take();
  l.Cancelled = false;
  l.LoadAborted = false;
  m.ErrorFlag = false;
  ListMap().SourceLevelDebugging = false;
  l.LowestAddress = 0xFFFF;
  l.HighestAddress = 0;
  l.StartAddress = 0;
  const LoaderOptions o = Project().Loader;
  if (!o.LoadCode && !o.LoadLines && !o.LoadSymbols) {
    ReportWarning(warn::kNothingToDo);
    m.WarningFlag = false;
    return false;
  }
  std::string content;
  if (!ReadProgramFile(l.LoadFileName, content)) {
    l.LoadAborted = true;
    return false;
  }
  ShowAddress(0);
  // The execution point of the program being replaced goes, its colour too.
  ClearExecLine();
  ListMap().Reported.clear();
  bool loaded = false;
  // A file that could not be read, or a program the target refused, sent
  // nothing: the program loaded before stays whole (never half of each).
  bool refused = false;
  if (!ReadProgram(o, content)) {
    // A HEX file without code options ends before anything is read.
    if (content[0] == ':' && !o.LoadCode) return false;
    l.LoadAborted = true;
    refused = true;
  } else {
    l.ProjectLoaded = true;
    // An XDATA load has already put its bytes where they belong.
    loaded = !o.LoadCode || (content[0] == ':' && o.LoadXData) || SendProgram(o, refused);
    if (loaded && o.LoadCode) {
      User().ShowLoadProgress({LoadStep::Loaded});
      InformLoaded(static_cast<uint16_t>(l.HighestAddress));
    }
  }
  if (refused) before.Restore();
  loaded = loaded && !l.LoadAborted;
  FinishLoad(o, loaded, refused);
  return loaded;
}

}  // namespace dorvik
