#include "debugger/toolviews.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <utility>

#include "access/backend.h"
#include "access/disasline.h"
#include "access/linerender.h"
#include "access/target.h"
#include "access/transport.h"
#include "base/mainform.h"
#include "base/messages.h"
#include "base/msgids.h"
#include "project/project.h"
#include "base/runstate.h"
#include "base/session.h"
#include "debugger/bpnames.h"
#include "debugger/breaklocations.h"
#include "debugger/executor.h"
#include "debugger/memshow.h"
#include "debugger/runcontrol.h"
#include "debugger/editormodel.h"
#include "lang/collections.h"
#include "lang/evaluator.h"
#include "lang/formatting.h"
#include "lang/keywords.h"
#include "lang/scanner.h"
#include "lang/symbols.h"
#include "lang/typedvalue.h"
#include "lang/typetext.h"
#include "machine/images.h"
#include "machine/opcodes.h"
#include "objfiles/listmap.h"
#include "platform/reporter.h"
#include "platform/text.h"

namespace dorvik {

ToolViewsState& ToolViews() { return CurrentSession().Get<ToolViewsState>(); }

void NoteProgramLoaded(bool withCode) {
  ToolViewsState& t = ToolViews();
  ++t.LoadCount;
  t.LoadedCode = withCode;
}

bool ViewsMayRead(ViewRead read) {
  const RunState& run = Run();
  const TargetCapabilities caps = CurrentBackend().Capabilities();
  if (read == ViewRead::Browse) return !(run.ProgramRunning && caps.RunsProgramItself);
  if (read == ViewRead::Live) {
    if (!caps.HasTarget) return false;
    if (caps.LocalImages) return true;
  } else if (!run.TargetReady) {
    return false;
  }
  // A board is read only through its open line (at start the line comes up
  // after the windows show; a line that went dead the idle handler has reported).
  if (caps.HasTarget && !caps.LocalImages && !LinkIsOpen()) return false;
  if (read == ViewRead::Live)
    return !run.ProgramRunning && !run.TargetBusy && !Executor().Running && !MainForm().Busy;
  // Between two steps of STEP or TRACE the program stands still and the
  // line is quiet, though the command goes on.
  if (RunControl().WaitingForStepKey) return true;
  return !run.ProgramRunning && !run.Executing && !run.TargetBusy;
}

namespace {

char RadixLetter(uint8_t radix) { return radix == 2 ? 'B' : radix == 8 ? 'Q' : radix == 10 ? 'T' : 'H'; }

// The value type of a typed memory reference: a memory keyword (64-79) or a type keyword.
bool IsTypedReference(uint8_t t) {
  return (t >= tok::kByteTypeBase && t < tok::kWordTypeBase + 8) || t == tok::kBOOLEAN || t == tok::kBIT ||
         (t >= tok::kADDRESS && t <= tok::kPOINTER);
}

bool IsWhole(long double value) { return std::isfinite(value) && std::floor(value) == value; }

// Takes the boxes of a window's read instead of showing them: the first
// error is kept for its row; a question gets the answer that does the least.
class BoxRecorder final : public platform::MessageReporter {
 public:
  int ShowBox(const platform::MessageBox& box) override {
    if (error.empty() && box.Caption.rfind("Error", 0) == 0) error = box.Caption + ": " + box.Text;
    switch (box.Buttons) {
      case platform::BoxButtons::Ok: return platform::kBoxOk;
      case platform::BoxButtons::YesNo: return platform::kBoxNo;
      default: return platform::kBoxCancel;
    }
  }
  std::string error;
};

// Runs Read with a clean error flag, its boxes recorded, not shown; the
// caller's scanner, evaluator and flags are put back afterwards. False (and
// Error: the first error's message) when it failed.
template <typename Fn>
bool Quietly(Fn&& read, std::string& error) {
  // The value list too: a command that waits (the STEP loop) keeps its values.
  SavedStates<ScannerState, EvaluatorState, tValueList, MemCmdsState> saved;
  SavedMessageFlags flags;
  Messages().ErrorFlag = false;
  BoxRecorder recorder;
  platform::MessageReporter& previous = platform::Reporter();
  platform::SetReporter(&recorder);
  const bool busy = Run().TargetBusy;  // the waiting command's, whatever the reads leave
  read();
  Run().TargetBusy = busy;
  platform::SetReporter(&previous);
  const bool failed = Messages().ErrorFlag;
  if (failed) error = recorder.error.empty() ? LastErrorLine() : recorder.error;
  return !failed;
}

}  // namespace

// Expressions of a window

std::string LastErrorLine() {
  const MessageState& m = Messages();
  const tErrType* row = FindErrorMessage(m.LastErrorCode);
  const std::string text =
      row != nullptr ? FormatMessage(row->Text, m.LastErrorParams.Arg1, m.LastErrorParams.Arg2) : std::string();
  return "Error #" + std::to_string(m.LastErrorCode) + ": " + text;
}

std::string BusyErrorLine() {
  const tErrType* row = FindErrorMessage(err::kCommandFormNotAllowedDuring);
  return "Error #" + std::to_string(err::kCommandFormNotAllowedDuring) + ": " +
         std::string(row != nullptr ? row->Text : std::string_view{});
}

std::string RadixValueText(long double value) {
  if (!IsWhole(value) || std::fabs(value) > 4294967295.0L) return FormatNumber(kFloatMode, 0, false, value, false);
  const uint8_t radix = Formatting().DisplayRadix;
  return FormatNumber(radix, 32, true, value, false) + RadixLetter(radix);
}

std::vector<std::string> AllRadixTexts(long double value) {
  std::vector<std::string> texts;
  if (IsWhole(value) && std::fabs(value) <= 4294967295.0L) {
    // A negative number shows its 32-bit two's complement in the radixes.
    const long double bits = value < 0 ? static_cast<long double>(LowBits32(value)) : value;
    texts.push_back(FormatNumber(16, 32, true, bits, false) + "H");
    texts.push_back(FormatNumber(10, 32, true, value, false) + "T");
    texts.push_back(FormatNumber(8, 32, true, bits, false) + "Q");
    texts.push_back(FormatNumber(2, 32, true, bits, false) + "B");
  }
  texts.push_back(FormatNumber(kFloatMode, 0, false, value, false));
  return texts;
}

ViewValue EvaluateForView(std::string_view text, bool singleValue) {
  ViewValue v;
  Quietly(
      [&] {
        Evaluator().SingleValueOnly = singleValue;
        tValueList& list = ValueList();
        list.Items.clear();
        SetScanLine(std::string(text) + "\r", false);
        v.Value = Expression(tok::kEndOfLine);
        if (Messages().ErrorFlag) return;
        // A value read from memory shows as the console shows the values it
        // read; a computed one as a number.
        const bool read = !list.Items.empty() && ItemValue(list.Items.back()) == v.Value;
        v.Typed = read ? FormatValueList() : RadixValueText(v.Value);
      },
      v.Error);
  v.Ok = v.Error.empty();
  if (!v.Ok) v.Value = 0;
  return v;
}

std::string HintText(std::string_view word) {
  if (word.empty() || !Collections().SymbolTable) return {};
  std::string text;
  std::string error;
  Quietly(
      [&] {
        SetScanLine(std::string(word) + "\r", false);
        if (GetToken() != tok::kSymbol || GetToken() != tok::kEndOfLine) return;
        const tSymbolRef& ref = SymbolLookup().SymbolRef;
        // A program symbol, else the processor's name the lookup found.
        SymbolValueText(SymbolAt(ref.Sym) ? ref.Sym : kNoItem, ViewsMayRead(), text);
      },
      error);
  return text.empty() ? std::string() : std::string(word) + ": " + text;
}

// Memory views

MemoryViewRead ReadMemoryView(uint8_t space, int32_t start, int32_t count, uint8_t type) {
  MemoryViewRead r;
  const int32_t size = ElementSize(type);
  const int32_t perLine = type == tok::kBIT ? 16 : size == 2 ? 8 : size == 3 ? 5 : size == 4 ? 4 : 16;
  // Bits are counted in the bit space (256 of them); bytes in their space.
  const int32_t last = type == tok::kBIT && space != kSpaceBit ? 0xFF : SpaceEnd(space);
  if (count < 1 || start < 0 || start > last || int64_t{start} + int64_t{count} * size - 1 > last) {
    Quietly([] { ReportError(err::kPartitionBoundsError); }, r.Error);
    return r;
  }
  const uint8_t readSpace = type == tok::kBIT ? kSpaceBit : space == kSpaceDirect && start < 0x80 ? kSpaceIData : space;
  if (!((CurrentBackend().Capabilities().MemorySpaces >> readSpace) & 1)) {
    Quietly([] { ReportError(err::kSystemCommandNotSupported); }, r.Error);
    return r;
  }
  // The whole range in the biggest blocks the target gives (a block may hold
  // several rows): a block read once, not once per row that shares it.
  std::vector<tValueItem> items;
  std::string error;
  Quietly(
      [&] {
        tValueList& list = ValueList();
        list.Items.clear();
        list.ElemType = type;
        int32_t at = start;
        int32_t want = count;
        while (want > 0 && !Messages().ErrorFlag) {
          Evaluator().RangeEnd = at + want * size - 1;
          const int32_t got = ReadTypedBlock(readSpace, at, type);
          if (got <= 0) {
            if (!Messages().ErrorFlag) ReportError(err::kFramingError);
            break;
          }
          want -= got;
          at += got * size;
        }
        items = list.Items;
      },
      error);
  r.Error = error;
  int32_t addr = start;
  size_t taken = 0;
  for (int32_t left = count; left > 0;) {
    const int32_t n = std::min(left, perLine);
    MemoryViewRow row;
    row.Address = addr;
    row.Count = n;
    // A row is readable when all its elements came in before a failure.
    const size_t end = taken + static_cast<size_t>(n);
    row.Readable = end <= items.size();
    if (row.Readable)
      row.Items.assign(items.begin() + static_cast<std::ptrdiff_t>(taken), items.begin() + static_cast<std::ptrdiff_t>(end));
    taken = end;
    r.Rows.push_back(std::move(row));
    addr += n * size;
    left -= n;
  }
  return r;
}

std::string MemoryValueText(const tValueItem& item) {
  if (item.TypeToken == tok::kCHAR) {
    const char c = static_cast<char>(item.Value & 0x7F);
    return std::string(1, c < 0x20 || c == 0x7F ? '.' : c);
  }
  return FormatValue(item, Formatting().DisplayRadix);
}

std::string MemoryCharsText(const std::vector<tValueItem>& items) {
  std::string s;
  for (const tValueItem& item : items) {
    const char c = static_cast<char>(item.Value & 0x7F);
    s += (c < 0x20 || c == 0x7F) ? '.' : c;
  }
  return s;
}

bool WriteMemoryViewValue(uint8_t space, int32_t addr, uint8_t type, std::string_view text, std::string& error) {
  const ViewValue v = EvaluateForView(text, true);
  if (!v.Ok) {
    error = v.Error;
    return false;
  }
  return Quietly(
      [&] {
        uint32_t raw = 0;
        if (type == tok::kFLOAT)
          raw = std::bit_cast<uint32_t>(static_cast<float>(v.Value));
        else if (type == tok::kBIT)
          raw = v.Value != 0 ? 1 : 0;
        else
          raw = LowBits32(v.Value);
        tValueList& list = ValueList();
        list.ElemType = type;
        list.Items = {{type, raw}};
        uint8_t writeSpace = space;
        if (type == tok::kBIT) {
          writeSpace = kSpaceBit;
          MemCmds().ValueIndex = 1;
        } else {
          if (space == kSpaceDirect && addr < 0x80) writeSpace = kSpaceIData;
          ValuesToBytes();
          MemCmds().ValueIndex = ElementSize(type);
        }
        WriteMemoryList(writeSpace, addr, false);
      },
      error);
}

bool ModifyExpressionValue(std::string_view expression, std::string_view value, std::string& error) {
  bool place = false;
  uint8_t space = 0, type = tok::kBYTE;
  int32_t addr = 0;
  const bool evaluated = Quietly(
      [&] {
        tValueList& list = ValueList();
        list.Items.clear();
        SetScanLine(std::string(expression) + "\r", false);
        Expression(tok::kEndOfLine);
        if (Messages().ErrorFlag) return;
        const EvaluatorState& e = Evaluator();
        const bool memory = e.ValueType == tok::kSymbol ? (e.ValueSymClass & 15) < kClassNumber
                                                         : IsTypedReference(e.ValueType) && e.ValueSymClass < kClassNumber;
        if (!memory || list.Items.empty()) {
          ReportError(err::kNonChangeableItem);
          return;
        }
        place = true;
        type = static_cast<uint8_t>(list.Items.front().TypeToken);
        space = type == tok::kBIT ? kSpaceBit : static_cast<uint8_t>(e.ValueSymClass & 7);
        addr = e.RangeStart;
      },
      error);
  if (!evaluated || !place) return false;
  return WriteMemoryViewValue(space, addr, type, value, error);
}

// Disassembly rows

DisassemblyRead ReadDisassemblyRows(uint16_t address, int32_t count) {
  DisassemblyRead r;
  if (!ViewsMayRead(ViewRead::Browse)) return r;
  r.Read = true;
  // A command's failure is reported by the command; a read that fails here
  // only ends the rows.
  const SavedMessageFlags flags;
  MessageState& m = Messages();
  const bool quiet = std::exchange(m.QuietMessages, true);
  m.ErrorFlag = false;
  uint32_t a = address;
  for (int32_t i = 0; i < count && a <= 0xFFFF; ++i) {
    const uint16_t at = static_cast<uint16_t>(a);
    DisassembleLine(at);
    const tDisasLine& item = DisasLines().GetItem(at);
    uint8_t length = item.BytesNo;
    if (!m.ErrorFlag && !item.IsDecoded()) length = Opcode(TargetReadByte(kSpaceCode, at)).Length;
    DisassemblyRow& row = r.Rows.emplace_back();
    row.Address = at;
    if (m.ErrorFlag) {
      row.Failure = FormatHex4(at) + "H  " + m.LastMessageText;
      break;
    }
    if (item.IsDecoded())
      row.Fields = LineFields(item);
    else
      row.Fields.Address = FormatHex4(at) + "H";
    a += length;
  }
  m.QuietMessages = quiet;
  r.SourceLineColumn = LineRender().LineNumberColumnUsed;
  r.LabelColumn = LineRender().LabelColumnUsed;
  return r;
}

void RedecodeDisassembly() {
  ResetLineRenderColumns();
  CodeImageChanged();
}

// Call stack

namespace {

// The code label of Module nearest at or below Addr (the label of the line
// that holds it in an assembler source); nullptr when none.
const tSymbolItem* NearestCodeLabel(std::string_view module, uint32_t addr) {
  const auto& table = Collections().SymbolTable;
  if (!table) return nullptr;
  const tSymbolItem* best = nullptr;
  bool inside = false;
  for (const tSymbolItem& s : table->Items) {
    const uint8_t cls = s.SymClass & 15;
    if (cls == kClassProcedure && s.Nesting == 0) inside = platform::SameText(s.Name, module);
    if (inside && cls == kClassCode && s.Value <= addr && (!best || s.Value > best->Value)) best = &s;
  }
  return best;
}

}  // namespace

bool ReadCallStackForView(std::vector<CallStackEntry>& entries, uint8_t& sp, std::string& error) {
  bool read = false;
  const bool ok = Quietly(
      [&] {
        sp = 0;
        if (!TargetReadBytes(kSpaceDirect, sfr::SP, std::span<uint8_t>(&sp, 1))) return;
        read = ReadCallStack(entries);
        if (!read && !Messages().ErrorFlag) ReportError(err::kFramingError);
      },
      error);
  return ok && read;
}

uint8_t ReadStackPointerForView() {
  uint8_t sp = 0;
  std::string error;
  Quietly([&] { TargetReadBytes(kSpaceDirect, sfr::SP, std::span<uint8_t>(&sp, 1)); }, error);
  return sp;
}

std::string CallStackLineText(const CallStackEntry& entry) {
  std::string line;
  if (!entry.Text.Module.empty()) line = entry.Text.Module + " <";
  line += entry.Text.Procedure;
  if (!entry.Text.Module.empty()) line += '>';
  return line + " (" + FormatHex4(static_cast<uint16_t>(entry.Address)) + ")";
}

bool ShowCallStackEntryInSource(const CallStackEntry& entry) {
  if (!ListMap().SourceLevelDebugging || entry.Text.Module.empty()) return false;
  const tModuleRec* module = FindModuleNode(entry.Text.Module);
  if (!module) return false;
  // The line of the address in a C module; the procedure's label otherwise.
  const int32_t found = Collections().FoundSymbol;
  const tSymbolItem* sym = nullptr;
  if (FindLineSymbol(entry.Address)) sym = SymbolAt(Collections().FoundSymbol);
  Collections().FoundSymbol = found;
  const tFileTypeRec* type = FindFileTypeOf(module->FileName);
  if (!sym || !type || type->Kind != kFileC) sym = NearestCodeLabel(module->Name, entry.Address);
  if (!sym) sym = SymbolAt(entry.Procedure);
  if (!sym) return false;
  ShowSymbolInSource(*module, *sym);
  return EditorModel().LocateLine.Line >= 0;
}

// Symbol tree

namespace {

std::string ClassText(const tSymbolItem& s) {
  switch (s.SymClass & 15) {
    case kClassCode: return "CODE";
    case kClassXData: return "XDATA";
    case kClassData: return "DATA";
    case kClassIData: return "IDATA";
    case kClassBit: return "BIT";
    case kClassNumber: return "NUMBER";
    case kClassProcedure: return "PROCEDURE";
    case kClassScopeBegin: return "BLOCK";
    default: return "CODE";
  }
}

SymbolNode NodeOf(int32_t index, const tSymbolItem& s) {
  SymbolNode n;
  n.Symbol = index;
  n.Name = s.Name;
  n.Class = ClassText(s);
  const uint8_t cls = s.SymClass & 15;
  n.Address = cls == kClassNumber ? FormatHex4(static_cast<uint16_t>(s.Value)) + "H"
              : cls == kClassBit || ((cls == kClassData || cls == kClassIData) && s.Value < 0x100)
                  ? FormatHex2(static_cast<uint8_t>(s.Value)) + "H"
                  : FormatHex4(static_cast<uint16_t>(s.Value)) + "H";
  if (s.VarType != 0) {
    std::string type;
    TypeDefText(static_cast<uint16_t>(std::clamp<int32_t>(s.VarType, 0, 0xFFFF)), false, type);
    n.Type = TrimBlanks(type);
  }
  return n;
}

}  // namespace

std::vector<std::string> ProgramModuleNames() {
  std::vector<std::string> names;
  const auto& modules = Collections().ModuleTable;
  if (!modules) return names;
  for (const tModuleItem& m : modules->Items)
    if (!m.Name.empty() && std::find(names.begin(), names.end(), m.Name) == names.end()) names.push_back(m.Name);
  return names;
}

std::vector<SymbolNode> BuildSymbolTree(std::string_view module) {
  std::vector<SymbolNode> tree;
  const auto& table = Collections().SymbolTable;
  if (!table) return tree;
  const bool all = UpperCase(module) == kAllModules;
  const int32_t count = table->Count();
  // Each module begins at its procedure symbol of nesting 0 and runs to the
  // next one; blocks (procedures) hold what stands up to their end.
  int32_t sym = 0;
  while (NextProcedureSymbol(sym)) {
    const tSymbolItem& head = table->Items[static_cast<size_t>(sym)];
    int32_t next = sym + 1;
    while (next < count && !((table->Items[static_cast<size_t>(next)].SymClass & 15) == kClassProcedure &&
                             table->Items[static_cast<size_t>(next)].Nesting == 0))
      ++next;
    if (head.Nesting == 0 && (all || platform::SameText(head.Name, module))) {
      SymbolNode root = NodeOf(sym, head);
      root.Class = "MODULE";
      std::vector<SymbolNode*> open{&root};
      for (int32_t i = sym + 1; i < next; ++i) {
        const tSymbolItem& s = table->Items[static_cast<size_t>(i)];
        const uint8_t cls = s.SymClass & 15;
        if (cls == kClassLine) continue;
        if (cls == kClassScopeEnd) {
          if (open.size() > 1) open.pop_back();
          continue;
        }
        open.back()->Children.push_back(NodeOf(i, s));
        // Bounded nesting: a damaged program cannot grow the stack without end.
        if (cls == kClassScopeBegin && open.size() < 32) open.push_back(&open.back()->Children.back());
      }
      tree.push_back(std::move(root));
    }
    sym = next;
  }
  return tree;
}

bool ShowSymbolNodeInSource(int32_t symbol) {
  const tSymbolItem* sym = SymbolAt(symbol);
  const auto& table = Collections().SymbolTable;
  if (!sym || !table || !ListMap().SourceLevelDebugging) return false;
  // The module: the nearest module symbol at or above the symbol.
  for (int32_t i = std::min(symbol, table->Count() - 1); i >= 0; --i) {
    const tSymbolItem& s = table->Items[static_cast<size_t>(i)];
    if ((s.SymClass & 15) == kClassProcedure && s.Nesting == 0) {
      const tModuleRec* module = FindModuleNode(s.Name);
      if (!module) return false;
      ShowSymbolInSource(*module, *sym);
      return EditorModel().LocateLine.Line >= 0;
    }
  }
  return false;
}

// Breakpoint list

std::vector<BreakpointRow> BreakpointRows() {
  std::vector<BreakpointRow> rows;
  const BreakpointState& b = Breakpoints();
  auto add = [&rows](const std::string& name) {
    const tBreak* bp = BreakpointByName(name);
    if (!bp || !bp->Used) return;
    rows.push_back({name, bp->Address, bp->Location.empty() ? FormatHex4(bp->Address) : SavedLocation(*bp), bp->Enabled});
  };
  for (int32_t i = 0; i <= b.LastBreakIndex && i < kBreakTableSize; ++i) add("Br" + std::to_string(i));
  add("Arm");
  return rows;
}

bool EnableBreakpointByName(std::string_view name, bool enable) {
  tBreak* bp = BreakpointByName(name);
  if (!bp || !bp->Used) return false;
  bp->Enabled = enable;
  BreakpointsChanged();
  MarkAllBreakpoints();
  return true;
}

bool ClearBreakpointByName(std::string_view name) {
  tBreak* bp = BreakpointByName(name);
  if (!bp || !bp->Used) return false;
  ClearBreakpoint(*bp);
  MarkAllBreakpoints();
  return true;
}

}  // namespace dorvik
