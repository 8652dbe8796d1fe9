#include "assembler/controls.h"

#include <cctype>

#include "assembler/asmerrors.h"
#include "assembler/asmfiles.h"
#include "assembler/listing.h"
#include "assembler/source.h"
#include "assembler/tokenizer.h"
#include "lang/collections.h"
#include "platform/files.h"

namespace dorvik::as {

const ControlNameRow kControlNames[kControlNameCount] = {
    {"DATE", 32},
    {"DT", 32},
    {"NODATE", 33},
    {"NODT", 33},
    {"DEBUG", 34},
    {"DB", 34},
    {"NODEBUG", 35},
    {"NODB", 35},
    {"ERRORPRINT", 36},
    {"EP", 36},
    {"NOERRORPRINT", 37},
    {"NOEP", 37},
    {"MACRO", 38},
    {"MR", 38},
    {"NOMACRO", 39},
    {"NOMR", 39},
    {"MODE", 40},
    {"MO", 40},
    {"NOMODE", 41},
    {"NOMO", 41},
    {"NOMOD51", 41},
    {"OBJECT", 42},
    {"OJ", 42},
    {"NOOBJECT", 43},
    {"NOOJ", 43},
    {"PAGING", 44},
    {"PI", 44},
    {"NOPAGING", 45},
    {"NOPI", 45},
    {"PAGELENGTH", 46},
    {"PL", 46},
    {"PAGEWIDTH", 47},
    {"PW", 47},
    {"PRINT", 48},
    {"PR", 48},
    {"NOPRINT", 49},
    {"NOPR", 49},
    {"REGISTERBANK", 50},
    {"RB", 50},
    {"NOREGISTERBANK", 51},
    {"NORB", 51},
    {"SYMBOLS", 52},
    {"SB", 52},
    {"NOSYMBOLS", 53},
    {"NOSB", 53},
    {"XREF", 54},
    {"XR", 54},
    {"NOXREF", 55},
    {"NOXR", 55},
    {"HEX", 56},
    {"HX", 56},
    {"NOHEX", 57},
    {"NOHX", 57},
    {"TABS", 58},
    {"TA", 58},
    {"EJECT", 64},
    {"EJ", 64},
    {"GEN", 65},
    {"GE", 65},
    {"GENONLY", 66},
    {"GO", 66},
    {"NOGEN", 67},
    {"NOGE", 67},
    {"INCLUDE", 68},
    {"IC", 68},
    {"LIST", 69},
    {"LI", 69},
    {"NOLIST", 70},
    {"NOLI", 70},
    {"RESTORE", 71},
    {"RE", 71},
    {"SAVE", 72},
    {"SA", 72},
    {"TITLE", 73},
    {"TT", 73},
};

namespace {

// Control tokens.
enum : uint8_t {
  kDate = 32, kNoDate, kDebug, kNoDebug, kErrorPrint, kNoErrorPrint, kMacro, kNoMacro, kMode,
  kNoMode, kObject, kNoObject, kPaging, kNoPaging, kPageLength, kPageWidth, kPrint, kNoPrint,
  kRegisterBank, kNoRegisterBank, kSymbols, kNoSymbols, kXref, kNoXref, kHex, kNoHex, kTabs,
  kEject = 64, kGen, kGenOnly, kNoGen, kInclude, kList, kNoList, kRestore, kSave, kTitle
};

// Defaults of the control records: {record, Value, On, FromInvocation}.
struct ControlDefault {
  ControlId Id;
  std::string_view Value;
  bool On;
  bool FromInvocation;
};
constexpr ControlDefault kControlDefaults[] = {
    {ControlId::Print, "", true, true},
    {ControlId::List, "", true, false},
    {ControlId::Object, "", true, true},
    {ControlId::Hex, "", true, false},
    {ControlId::ErrorPrint, "CON", false, false},
    {ControlId::Debug, "DB", true, true},
    {ControlId::Macro, "", true, false},
    {ControlId::Mode, "51", true, false},
    {ControlId::Paging, "    Page 1", true, false},
    {ControlId::Tabs, "8", false, false},
    {ControlId::PageLength, "62", false, false},
    {ControlId::PageWidth, "120", false, false},
    {ControlId::RegisterBank, "0", true, false},
    {ControlId::Symbols, "", true, false},
    {ControlId::Xref, "", false, false},
    {ControlId::Gen, "GENONLY", false, false},
    {ControlId::Date, "          ", true, false},
    {ControlId::Title, "                                        ", true, false},
    {ControlId::Include, "", false, false},
};
static_assert(std::size(kControlDefaults) == static_cast<size_t>(ControlId::Count));

constexpr size_t kMaxParameter = 83;
constexpr uint8_t kMaxIncludeDepth = 16;

// The control being applied.
struct ControlLine {
  std::string Name;       // as written, upper case
  std::string Parameter;  // "(...)" or empty
  uint8_t Token = 0;
  bool ErrorPending = false;
};

bool IsLetter(char ch) { return (ch >= 'A' && ch <= 'Z') || (ch >= 'a' && ch <= 'z'); }

std::string Inner(const std::string& parameter) {
  return parameter.size() >= 2 ? parameter.substr(1, parameter.size() - 2) : std::string();
}

// A pass-1 error of a control line, reported again when pass 2 meets the line.
void NoteControlError(AsmContext& c, uint16_t code, const std::string& name) {
  if (c.AsmPass == 1 && !c.InvocationLineActive)
    c.PendingControlErrors.push_back({c.LinesRead, code, name});
  ReportAsmError(c, code);
}

// An invocation error: fatal on the invocation line and in pass 1, a
// statement error in pass 2.
void ControlError(AsmContext& c, ControlLine& line, InvocationText text) {
  line.ErrorPending = true;
  c.ErrorDetail = InvocationErrorText(text);
  c.ErrorFileName = line.Name + line.Parameter;
  c.scan.Reporting = true;
  if (c.InvocationLineActive) {
    const uint8_t pass = c.AsmPass;
    c.AsmPass = 0;
    c.line.LastAsmError = 0;
    ReportAsmError(c, asm_err::kInvocationError);
    c.AsmPass = pass;
    AsmFatalStop(c);
  }
  if (c.AsmPass == 2) {
    ReportAsmError(c, asm_err::kSemanticError);
    return;
  }
  c.line.LastAsmError = 0;
  ReportAsmError(c, asm_err::kSemanticError);
  AsmFatalStop(c);
}

bool ParseNumber(const std::string& text, uint32_t& value) {
  if (text.empty() || text.size() > 9) return false;
  value = 0;
  for (char ch : text) {
    if (ch < '0' || ch > '9') return false;
    value = value * 10 + static_cast<uint32_t>(ch - '0');
  }
  return true;
}

// The common bookkeeping of a control; false when the record stays as it was.
bool SetControlState(AsmContext& c, ControlLine& line, ControlRecord& r, int paramKind,
                     bool on) {
  if (line.Token < kFirstGeneralControl) {
    if (c.PrimaryClosed) {
      NoteControlError(c, asm_err::kPrimaryAfterNonControl, line.Name);
    } else if (!c.InvocationLineActive) {
      if (c.AsmPass == 1 && r.FromSource)
        NoteControlError(c, asm_err::kMisplacedOrUnrecognizableControl, line.Name);
      if (r.FromInvocation) return false;
    } else if (r.FromInvocation) {
      ControlError(c, line, InvocationText::DuplicateControl);
      return false;
    }
  }
  r.On = on;
  if (c.InvocationLineActive)
    r.FromInvocation = true;
  else
    r.FromSource = true;
  const std::string inner = Inner(line.Parameter);
  switch (paramKind) {
    case 0:
      if (!line.Parameter.empty()) ControlError(c, line, InvocationText::NoParameterAllowed);
      r.Value.clear();
      r.Path.clear();
      break;
    case 1:
      if (line.Parameter.empty()) {
        ControlError(c, line, InvocationText::BadParameter);
      } else if (line.Parameter.size() < kMaxParameter) {
        r.Value = UpperCase(inner);
        r.Path = inner;
      }
      break;
    default:
      if (line.Parameter.empty()) break;
      if (line.Parameter.size() < kMaxParameter) {
        r.Value = UpperCase(inner);
        r.Path = inner;
      } else {
        ControlError(c, line, InvocationText::BadParameter);
      }
      break;
  }
  return true;
}

void FileControl(AsmContext& c, ControlLine& line, ControlId id) {
  SetControlState(c, line, Control(c, id), 2, true);
  if (!line.Parameter.empty() && !line.ErrorPending) {
    c.CurrentFileName = Control(c, id).Value;
    CheckFileName(c, c.CurrentFileName, false);
  }
  if (!line.ErrorPending) CheckDuplicateFileNames(c);
}

bool NumberControl(AsmContext& c, ControlLine& line, ControlId id, uint32_t low, uint32_t high,
                   uint32_t& value) {
  const bool applied = SetControlState(c, line, Control(c, id), 1, true);
  if (line.ErrorPending) return false;
  if (!ParseNumber(Inner(line.Parameter), value) || value < low || value > high) {
    ControlError(c, line, InvocationText::BadParameter);
    return false;
  }
  return applied;
}

void IncludeControl(AsmContext& c, ControlLine& line) {
  if (c.InvocationLineActive) {
    c.scan.AsmIdentifier = line.Name;
    c.AsmPass = 0;
    c.line.LastAsmError = 0;
    ReportAsmError(c, asm_err::kControlInInvocationLine);
    AsmFatalStop(c);
  }
  c.PrimaryClosed = true;
  ControlRecord& r = Control(c, ControlId::Include);
  SetControlState(c, line, r, 1, true);
  if (line.ErrorPending) return;
  if (c.IncludePending) {
    ReportAsmError(c, asm_err::kMoreThanOneInclude);
    return;
  }
  c.CurrentFileName = r.Value;
  CheckFileName(c, r.Value, false);
  if (line.ErrorPending) return;
  if (!IsDeviceName(r.Value)) {
    if (PathOfName(r.Path).empty()) {
      r.Path = PathOfName(c.SourcePath) + r.Path;
      r.Value = c.SourceDirectory + r.Value;
    }
    // Neither an output nor a file being read may be included.
    struct Other {
      ControlId Id;
      std::string_view Kind;
    };
    const Other others[] = {{ControlId::Print, kKindListing},
                            {ControlId::Object, kKindObject},
                            {ControlId::Hex, kKindHex},
                            {ControlId::ErrorPrint, kKindErrorPrint}};
    std::string_view clash;
    if (r.Value == c.SourceName || platform::SameFile(r.Path, c.SourcePath)) clash = kKindSource;
    for (const auto& o : others) {
      const ControlRecord& out = Control(c, o.Id);
      if (clash.empty() && out.On && !IsDeviceName(out.Value) &&
          (out.Value == r.Value || platform::SameFile(r.Path, out.Path.empty() ? out.Value : out.Path)))
        clash = o.Kind;
    }
    for (uint8_t level = 1; level <= c.IncludeDepth && clash.empty(); ++level)
      if (c.Inputs[level].Name == r.Value) clash = kKindInclude;
    if (!clash.empty()) {
      c.DupName1 = clash;
      c.DupName2 = kKindInclude;
      ControlError(c, line, InvocationText::DuplicateFileName);
      return;
    }
  }
  if (c.IncludeDepth >= kMaxIncludeDepth) {
    ReportAsmError(c, asm_err::kIncludeMoreThan16Levels);
    return;
  }
  AsmInput& slot = c.Inputs[c.IncludeDepth + 1];
  slot.Stream = OpenAsmInput(c, r.Path);
  if (!slot.Stream) {
    const std::string match = MatchNameIgnoringCase(r.Path);
    if (!match.empty()) {
      slot.Stream = OpenAsmInput(c, match);
      if (slot.Stream) r.Path = match;
    }
  }
  slot.Name = r.Value;
  slot.Path = r.Path;
  if (!slot.Stream) {
    NoteIOFailure(c);
    AsmFileError(c, kKindInclude, r.Value);
  }
  c.IncludePending = true;
  c.line.IncludeOnLine = true;
}

// What the controls do. A control that only switches its record names the
// record, the parameter kind SetControlState takes and whether it switches on;
// any other has its own handler.
using ControlHandler = void (*)(AsmContext& c, ControlLine& line);

void DateControl(AsmContext& c, ControlLine& line) {
  if (line.Parameter.size() > 10) {
    ControlError(c, line, InvocationText::BadParameter);
    return;
  }
  ControlRecord& r = Control(c, ControlId::Date);
  if (SetControlState(c, line, r, 2, true)) r.Value = "    " + r.Value;
}

void ErrorPrintControl(AsmContext& c, ControlLine& line) {
  FileControl(c, line, ControlId::ErrorPrint);
}
void ObjectControl(AsmContext& c, ControlLine& line) { FileControl(c, line, ControlId::Object); }
void PrintControl(AsmContext& c, ControlLine& line) { FileControl(c, line, ControlId::Print); }

void ModeControl(AsmContext& c, ControlLine& line) {
  uint32_t n = 0;
  const bool applied = SetControlState(c, line, Control(c, ControlId::Mode), 1, true);
  if (line.ErrorPending) return;
  if (!ParseNumber(Inner(line.Parameter), n) ||
      (n != 51 && n != 52 && n != 44 && n != 252 && n != 452 && n != 552 && n != 652)) {
    ControlError(c, line, InvocationText::BadParameter);
    return;
  }
  if (applied) c.CpuMode = static_cast<uint16_t>(n);
}

void HexControl(AsmContext& c, ControlLine& line) {
  ControlRecord& r = Control(c, ControlId::Hex);
  r.Path = ChangeNameExt(c.SourcePath, "HEX");
  r.Value = UpperCase(r.Path);
  FileControl(c, line, ControlId::Hex);
  if (!line.ErrorPending) c.HexRequested = true;
}

void PageLengthControl(AsmContext& c, ControlLine& line) {
  uint32_t n = 0;
  if (NumberControl(c, line, ControlId::PageLength, 10, 65535, n)) c.PageLength = static_cast<uint16_t>(n);
}

void PageWidthControl(AsmContext& c, ControlLine& line) {
  uint32_t n = 0;
  if (NumberControl(c, line, ControlId::PageWidth, 64, 255, n)) c.PageWidth = static_cast<uint8_t>(n);
}

void RegisterBankControl(AsmContext& c, ControlLine& line) {
  // Digits 0..3 separated by commas, up to ")".
  const std::string inner = Inner(line.Parameter);
  std::vector<uint8_t> banks;
  bool good = !inner.empty();
  for (size_t i = 0; good && i < inner.size(); ++i) {
    const char ch = inner[i];
    if (i % 2 == 0)
      good = ch >= '0' && ch <= '3';
    else
      good = ch == ',' && i + 1 < inner.size();
    if (good && i % 2 == 0) banks.push_back(static_cast<uint8_t>(ch - '0'));
  }
  const bool applied = SetControlState(c, line, Control(c, ControlId::RegisterBank), 1, true);
  if (line.ErrorPending) return;
  if (!good) {
    ControlError(c, line, InvocationText::BadParameter);
    return;
  }
  if (!applied) return;
  c.RegisterBanks[0] = false;
  for (uint8_t b : banks) {
    c.CurrentBank = b;
    c.RegisterBanks[b] = true;
  }
  c.ControlBank = c.CurrentBank;
}

void NoRegisterBankControl(AsmContext& c, ControlLine& line) {
  if (SetControlState(c, line, Control(c, ControlId::RegisterBank), 0, false)) {
    c.CurrentBank = 0;
    c.ControlBank = 0;
    c.RegisterBanks[0] = false;
  }
}

void NoSymbolsControl(AsmContext& c, ControlLine& line) {
  if (!Control(c, ControlId::Xref).On) SetControlState(c, line, Control(c, ControlId::Symbols), 0, false);
}

void XrefControl(AsmContext& c, ControlLine& line) {
  if (SetControlState(c, line, Control(c, ControlId::Xref), 0, true))
    Control(c, ControlId::Symbols).On = true;
}

void TabsControl(AsmContext& c, ControlLine& line) {
  if (c.AsmPass == 1 && !c.InvocationLineActive && Control(c, ControlId::Tabs).FromSource) return;
  uint32_t n = 0;
  if (NumberControl(c, line, ControlId::Tabs, 1, 16, n)) c.TabSize = static_cast<uint8_t>(n);
}

void EjectControl(AsmContext& c, ControlLine& line) {
  if (c.InvocationLineActive)
    ControlError(c, line, InvocationText::BadControl);
  else
    c.EjectPending = true;
}

void GenControl(AsmContext& c, ControlLine& line) {
  ControlRecord& r = Control(c, ControlId::Gen);
  if (SetControlState(c, line, r, 0, true)) r.Value = line.Name;
}

void SourceOnlyControl(AsmContext& c, ControlLine& line) {
  if (c.InvocationLineActive) ControlError(c, line, InvocationText::BadControl);
}

void TitleControl(AsmContext& c, ControlLine& line) {
  ControlRecord& r = Control(c, ControlId::Title);
  if (c.AsmPass == 1 && !c.InvocationLineActive && r.FromSource) return;
  SetControlState(c, line, r, 1, true);
  if (!c.InvocationLineActive) c.TitleFromSource = true;
}

struct ControlAction {
  uint8_t Token;
  ControlId Id;            // the record a plain switch sets
  int ParamKind;           // its parameter kind (SetControlState)
  bool On;                 // switched on or off
  ControlHandler Handler;  // nullptr: the plain switch
};

// clang-format off
constexpr ControlAction kControlActions[] = {
    {kDate,            ControlId::Date,         0, true,  DateControl},
    {kNoDate,          ControlId::Date,         0, false, nullptr},
    {kDebug,           ControlId::Debug,        0, true,  nullptr},
    {kNoDebug,         ControlId::Debug,        0, false, nullptr},
    {kErrorPrint,      ControlId::ErrorPrint,   0, true,  ErrorPrintControl},
    {kNoErrorPrint,    ControlId::ErrorPrint,   0, false, nullptr},
    {kMacro,           ControlId::Macro,        2, true,  nullptr},
    {kNoMacro,         ControlId::Macro,        0, false, nullptr},
    {kMode,            ControlId::Mode,         1, true,  ModeControl},
    {kNoMode,          ControlId::Mode,         0, false, nullptr},
    {kHex,             ControlId::Hex,          0, true,  HexControl},
    {kNoHex,           ControlId::Hex,          0, false, nullptr},
    {kObject,          ControlId::Object,       0, true,  ObjectControl},
    {kNoObject,        ControlId::Object,       0, false, nullptr},
    {kPaging,          ControlId::Paging,       0, true,  nullptr},
    {kNoPaging,        ControlId::Paging,       0, false, nullptr},
    {kPageLength,      ControlId::PageLength,   0, true,  PageLengthControl},
    {kPageWidth,       ControlId::PageWidth,    0, true,  PageWidthControl},
    {kPrint,           ControlId::Print,        0, true,  PrintControl},
    {kNoPrint,         ControlId::Print,        0, false, nullptr},
    {kRegisterBank,    ControlId::RegisterBank, 1, true,  RegisterBankControl},
    {kNoRegisterBank,  ControlId::RegisterBank, 0, false, NoRegisterBankControl},
    {kSymbols,         ControlId::Symbols,      0, true,  nullptr},
    {kNoSymbols,       ControlId::Symbols,      0, false, NoSymbolsControl},
    {kXref,            ControlId::Xref,         0, true,  XrefControl},
    {kNoXref,          ControlId::Xref,         0, false, nullptr},
    {kTabs,            ControlId::Tabs,         0, true,  TabsControl},
    {kEject,           ControlId::Count,        0, true,  EjectControl},
    {kGen,             ControlId::Gen,          0, true,  GenControl},
    {kGenOnly,         ControlId::Gen,          0, true,  GenControl},
    {kNoGen,           ControlId::Gen,          0, false, nullptr},
    {kInclude,         ControlId::Include,      0, true,  IncludeControl},
    {kList,            ControlId::List,         0, true,  nullptr},
    {kNoList,          ControlId::List,         0, false, nullptr},
    {kRestore,         ControlId::Count,        0, true,  SourceOnlyControl},
    {kSave,            ControlId::Count,        0, true,  SourceOnlyControl},
    {kTitle,           ControlId::Title,        1, true,  TitleControl},
};
// clang-format on

void ApplyControl(AsmContext& c, ControlLine& line) {
  c.line.LastAsmError = 0;
  line.Token = LookupControlName(line.Name);
  if (line.Token == 0) {
    ControlError(c, line, InvocationText::UnrecognizableControl);
    return;
  }
  const uint8_t t = line.Token;
  if (!c.InvocationLineActive && t != kInclude && t != kTitle) {
    if (t >= kFirstGeneralControl && c.AsmPass == 1) return;
    if (t < kFirstGeneralControl && c.AsmPass == 2) return;
  }
  for (const ControlAction& a : kControlActions) {
    if (a.Token != t) continue;
    if (a.Handler != nullptr)
      a.Handler(c, line);
    else
      SetControlState(c, line, Control(c, a.Id), a.ParamKind, a.On);
    return;
  }
}

// Reads "(" ... ")" raw; returns false when the parentheses do not balance.
bool CollectParameter(AsmContext& c, std::string& parameter) {
  c.line.InString = true;  // characters pass through unchanged
  int depth = 0;
  while (c.scan.ScanChar != kCR && c.scan.ScanChar != 0) {
    const char ch = c.scan.ScanChar;
    parameter += ch;
    if (ch == '(') ++depth;
    if (ch == ')' && --depth == 0) {
      GetAsmChar(c);
      break;
    }
    GetAsmChar(c);
  }
  c.line.InString = false;
  return depth == 0;
}

void NormalizeControlParameter(AsmContext& c, ControlLine& line) {
  std::string& p = line.Parameter;
  const std::string upper = UpperCase(p);
  if (upper == "(CON:)" || upper == "(PRN:)" || upper == "(NUL:)") p = upper.substr(0, 4) + ")";
  if (p.size() == 1)
    ControlError(c, line, InvocationText::BadParameter);
  else if (p.back() != ')')
    ControlError(c, line, InvocationText::MissingRightParen);
  else if (p.size() < 3)
    ControlError(c, line, InvocationText::BadParameter);
}

void ReadControls(AsmContext& c) {
  SkipAsmBlanks(c);
  if (!IsLetter(c.scan.ScanChar)) {
    AsmSyntaxError(c);
    return;
  }
  while (c.line.LastAsmError != asm_err::kSyntaxError) {
    ReadAsmWord(c);
    ControlLine line;
    line.Name = c.scan.AsmIdentifier;
    SkipAsmBlanks(c);
    if (c.scan.ScanChar == '(') {
      if (!CollectParameter(c, line.Parameter)) {
        ControlError(c, line, InvocationText::BadParameter);
        SkipAsmLine(c);
      }
      if (!line.ErrorPending) NormalizeControlParameter(c, line);
    }
    if (!line.ErrorPending) {
      c.scan.AsmIdentifier = line.Name;
      ApplyControl(c, line);
    }
    SkipAsmBlanks(c);
    while (c.scan.ScanChar != kCR && c.scan.ScanChar != 0 && !IsLetter(c.scan.ScanChar)) {
      ControlLine bad;
      bad.Name = line.Name;
      ControlError(c, bad, InvocationText::IllegalCharacter);
      while (c.scan.ScanChar != kCR && c.scan.ScanChar != 0 && !IsLetter(c.scan.ScanChar)) GetAsmChar(c);
    }
    if (c.scan.ScanChar == kCR || c.scan.ScanChar == 0) break;
  }
}

// Any name a Linux file can have: not empty, no control characters, and a
// last component that names a file (not empty, "." or "..").
bool ValidFileName(std::string_view name) {
  for (char ch : name)
    if (static_cast<unsigned char>(ch) < 0x20 || ch == 0x7F) return false;
  const std::string_view last = name.substr(name.rfind('/') + 1);
  return !last.empty() && last != "." && last != "..";
}

}  // namespace

uint8_t LookupControlName(std::string_view upperName) {
  for (const auto& row : kControlNames)
    if (row.Name == upperName) return row.Token;
  return 0;
}

ControlRecord& Control(AsmContext& c, ControlId id) { return c.Controls[static_cast<size_t>(id)]; }
const ControlRecord& Control(const AsmContext& c, ControlId id) {
  return c.Controls[static_cast<size_t>(id)];
}

void SetControlDefaults(AsmContext& c) {
  for (const auto& d : kControlDefaults) {
    ControlRecord& r = Control(c, d.Id);
    r.Value = d.Value;
    r.Path = d.Value;
    r.On = d.On;
    r.FromInvocation = d.FromInvocation;
    r.FromSource = false;
  }
  c.CpuMode = 51;
  c.PageLength = 62;
  c.PageWidth = 120;
  c.TabSize = 8;
  c.RegisterBanks = {true, false, false, false};
  c.CurrentBank = 0;
  c.ControlBank = 0;
  c.EjectPending = false;
  c.HexRequested = false;
  c.PrimaryClosed = false;
  c.TitleFromSource = false;
}

void ProcessControlLine(AsmContext& c) {
  c.InvocationLineActive = !c.FileMode;
  ReadControls(c);
  c.InvocationLineActive = false;
  // Errors 7 and 9 found in pass 1 are shown when pass 2 meets the line.
  if (c.AsmPass == 2) {
    for (const auto& e : c.PendingControlErrors) {
      if (e.Line != c.LinesRead) continue;
      c.scan.AsmIdentifier = e.Name;
      ReportAsmError(c, e.Code);
    }
  }
}

void ProcessInvocationLine(AsmContext& c, std::string_view text) {
  for (ControlId id : {ControlId::Print, ControlId::Object, ControlId::Debug})
    Control(c, id).FromInvocation = false;
  c.InvocationLineActive = true;
  std::string_view rest = text;
  while (!rest.empty() && (rest.front() == ' ' || rest.front() == '\t')) rest.remove_prefix(1);
  if (!rest.empty()) {
    if (rest.size() >= kMaxSourceLine) {
      ControlLine line;
      ControlError(c, line, InvocationText::LineTooLong);
    }
    c.scan.LineBuffer = std::string(rest) + kCR;
    c.scan.SourceIndex = 0;
    c.scan.Column = 0;
    c.scan.ScanChar = ' ';
    GetAsmChar(c);
    ReadControls(c);
    c.scan.ScanChar = kCR;
  }
  c.InvocationLineActive = false;
  for (ControlId id : {ControlId::Print, ControlId::Object, ControlId::Debug})
    Control(c, id).FromInvocation = true;
}

bool IsDeviceName(std::string_view upperName) {
  return upperName == "CON" || upperName == "PRN" || upperName == "NUL";
}

void CheckFileName(AsmContext& c, std::string_view name, bool isSource) {
  if (IsDeviceName(UpperCase(name)) || ValidFileName(name)) return;
  ControlLine line;
  line.Parameter = std::string(name);
  ControlError(c, line, isSource ? InvocationText::BadSourceName : InvocationText::BadFileName);
}

void CheckDuplicateFileNames(AsmContext& c) {
  struct File {
    ControlId Id;
    std::string_view Kind;
  };
  const File files[] = {{ControlId::Print, kKindListing},
                        {ControlId::Object, kKindObject},
                        {ControlId::Hex, kKindHex},
                        {ControlId::ErrorPrint, kKindErrorPrint}};
  for (size_t i = 0; i < std::size(files); ++i) {
    const ControlRecord& a = Control(c, files[i].Id);
    if (!a.On || IsDeviceName(a.Value)) continue;
    const std::string aPath = a.Path.empty() ? a.Value : a.Path;
    // The same name, or another name of the same file (./, .., a link).
    auto clash = [&](const std::string& other, const std::string& otherPath, std::string_view kind) {
      if (other != a.Value && !platform::SameFile(aPath, otherPath)) return false;
      c.DupName1 = files[i].Kind;
      c.DupName2 = kind;
      ControlLine line;
      ControlError(c, line, InvocationText::DuplicateFileName);
      return true;
    };
    if (clash(c.SourceName, c.SourcePath, kKindSource)) return;
    for (size_t j = i + 1; j < std::size(files); ++j) {
      const ControlRecord& b = Control(c, files[j].Id);
      if (b.On && !IsDeviceName(b.Value) && clash(b.Value, b.Path.empty() ? b.Value : b.Path, files[j].Kind))
        return;
    }
  }
}

}  // namespace dorvik::as
