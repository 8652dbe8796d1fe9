#include "assembler/driver.h"

#include <ostream>

#include "assembler/asmerrors.h"
#include "assembler/asmfiles.h"
#include "assembler/asmsymbols.h"
#include "assembler/controls.h"
#include "assembler/listing.h"
#include "assembler/objwriter.h"
#include "assembler/source.h"
#include "assembler/statements.h"
#include "assembler/symlisting.h"
#include "lang/collections.h"
#include "platform/clock.h"

namespace dorvik::as {

namespace {

constexpr size_t kMaxInvocationLine = 250;
constexpr int kInMemoryLineCount = 3;

// A fresh context that keeps what the caller configured.
void ResetForRun(AsmContext& c) {
  std::ostream* console = c.ConsoleOut;
  auto progress = c.ProgressOut;
  const std::string program = c.ProgramPath;
  const bool scopeBegin = c.out.Object.ScopeBeginNext;
  c = AsmContext{};
  c.ConsoleOut = console;
  c.ProgressOut = std::move(progress);
  c.ProgramPath = program;
  c.out.Object.ScopeBeginNext = scopeBegin;
}

void StartPassState(AsmContext& c) {
  c.Counters = {};
  c.Bases = {};
  c.CounterSlot = 0;
  c.CurrentSegment = AsmSymbolRec{};
  c.CurrentSegment.Kind = kind::kCode;
  c.CurrentSegment.Scope = kScopeLocal;
  c.SegmentTable.clear();
  c.SegmentTable.push_back({kind::kCode, 0, 0});
  c.CurrentSegmentEntry = 0;
  c.RelocSegmentCounter = 0;
  c.ExternalCounter = 0;
  c.LevelLineCount = {};
  c.IncludePending = false;
  c.PrimaryClosed = false;
  c.EndSeen = false;
  c.HexEligible = true;  // each pass: HEX output stops at its first RSEG
  c.IncludeDepth = 0;
  c.ModuleName = c.ModuleBaseName;  // without NAME the module takes the file's base name
  c.scan.ScanChar = kCR;
  c.scan.LineBuffer.clear();
}

void OpenSource(AsmContext& c) {
  c.Inputs[0].Stream = OpenAsmInput(c, c.SourcePath);
  c.Inputs[0].Name = c.SourceName;
  c.Inputs[0].Path = c.SourcePath;
  if (!c.Inputs[0].Stream) {
    NoteIOFailure(c);
    AsmFileError(c, kKindSource, c.SourceName);
  }
  c.SourceOpen = true;
}

void CloseSource(AsmContext& c) {
  c.Inputs[0].Stream.reset();
  c.SourceOpen = false;
}

void RunPass(AsmContext& c) {
  if (c.FileMode) {
    while (!AsmInputAtEnd(c)) ProcessStatement(c);
  } else {
    for (int i = 0; i < kInMemoryLineCount; ++i) ProcessStatement(c);
  }
  // An interrupt that cut the reading short stops the run here, before the
  // source is opened again.
  PollAsmAbort(c);
  SaveSegmentSize(c);  // the segment in use at the end has its size too
}

std::shared_ptr<std::ostream> OpenOutput(AsmContext& c, ControlId id, std::string_view kind) {
  const ControlRecord& r = Control(c, id);
  auto out = OpenAsmOutput(c, r.Path.empty() ? r.Value : r.Path);
  if (!out) {
    NoteIOFailure(c);
    AsmFileError(c, kind, r.Value);
  }
  return out;
}

void SetFileDefaults(AsmContext& c) {
  for (auto [id, ext] : {std::pair{ControlId::Hex, "HEX"}, std::pair{ControlId::Print, "LST"},
                         std::pair{ControlId::Object, "OBJ"}}) {
    ControlRecord& r = Control(c, id);
    r.Path = ChangeNameExt(c.SourcePath, ext);
    r.Value = UpperCase(r.Path);
  }
  c.HexRequested = true;
  c.SourceDirectory = PathOfName(c.SourceName);
}

void BetweenPasses(AsmContext& c) {
  c.SourceOpen = false;
  c.LinesRead = 0;
  if (Control(c, ControlId::ErrorPrint).On) {
    c.out.Files.ErrorPrint = OpenOutput(c, ControlId::ErrorPrint, kKindErrorPrint);
    c.out.Files.ErrorPrintOpen = true;
  }
  if (Control(c, ControlId::Print).On) {
    c.out.Files.Listing = OpenOutput(c, ControlId::Print, kKindListing);
    c.out.Files.ListOpen = true;
    c.out.Listing.ToListing = true;
    if (!Control(c, ControlId::Paging).On) {
      Control(c, ControlId::Paging).Value.clear();
      c.PageLength = 65535;
    }
    ListFirstPage(c);
  }
  c.AsmPass = 2;
  c.sym.Xref.clear();
  if (Control(c, ControlId::Hex).On && c.HexRequested) {
    c.out.Files.Hex = OpenOutput(c, ControlId::Hex, kKindHex);
    c.out.Files.HexOpen = true;
  }
  if (Control(c, ControlId::Object).On) {
    c.out.Files.Object = OpenOutput(c, ControlId::Object, kKindObject);
    c.out.Files.ObjectOpen = true;
    WriteObjectPrologue(c);
  }
}

AsmRunResult Run(AsmContext& c, std::string_view sourcePath, const std::string* controls,
                 std::vector<std::string>* lines) {
  ResetForRun(c);
  SetControlDefaults(c);
  AsmRunResult result;
  try {
    c.FileMode = !sourcePath.empty();
    if (c.FileMode) {
      std::string commandLine(sourcePath);
      if (controls && !controls->empty()) commandLine += " " + *controls;
      c.InvocationLine = c.ProgramPath + " " + commandLine + " DB";
      if (c.InvocationLine.size() > kMaxInvocationLine) c.InvocationLine.resize(kMaxInvocationLine);
      c.SourcePath = std::string(sourcePath);
      c.SourceName = UpperCase(sourcePath);
      c.InvocationLineActive = true;
      CheckFileName(c, c.SourcePath, true);
      SetFileDefaults(c);
      CheckDuplicateFileNames(c);
      c.InvocationLineActive = false;
      if (controls) ProcessInvocationLine(c, *controls);
      c.ModuleBaseName = UpperCase(BaseNameOf(c.SourcePath));
      ControlRecord& title = Control(c, ControlId::Title);
      if (!title.FromInvocation) title.Value = c.ModuleBaseName;
      OpenSource(c);
    } else {
      c.InMemoryLines = lines;
      Control(c, ControlId::Print).On = false;
      Control(c, ControlId::Object).On = false;
    }
    InitSymbolArea(c);
    c.AsmPass = 1;
    StartPassState(c);
    c.CurrentFileName = c.SourceName;
    c.EchoProgress = true;
    c.LastEchoTick = platform::CurrentClock().TickCount();
    c.StatusText += c.SourceName + " Pass 1 ";
    RunPass(c);
    CloseSource(c);

    BetweenPasses(c);
    StartPassState(c);
    for (uint32_t pos : c.sym.SymbolOffsets)
      if (SymKind(c, pos) >= kind::kSegment) SetSymValue(c, pos, 0);
    c.sym.SymbolCursor = 0;
    c.sym.SymbolIndex = 1;
    c.CurrentBank = c.ControlBank;  // USING lines of pass 1 do not carry over
    if (c.FileMode) OpenSource(c);
    c.CurrentFileName = c.SourceName;
    const auto& print = Control(c, ControlId::Print);
    const auto& errorPrint = Control(c, ControlId::ErrorPrint);
    const bool printToConsole = print.On && print.Value == "CON";
    if (!printToConsole && !(errorPrint.On && errorPrint.Value == "CON")) {
      c.StatusText += c.SourceName + " Pass 2 ";
      c.EchoProgress = true;
    } else {
      c.EchoProgress = false;
    }
    RunPass(c);
    if (c.FileMode) {
      CloseSource(c);
      WriteSymbolTableListing(c);
    }
    c.SourceOpen = false;
    c.StatusText += "\r\n" + std::to_string(c.LinesRead) + " Lines read";
    if (c.FileMode) {
      c.out.Listing.ToListing = false;
      if (!printToConsole) {
        c.StatusText += "\r\nASSEMBLY COMPLETE, ";
        c.StatusText += c.ErrorCount == 0 ? std::string("No") : std::to_string(c.ErrorCount);
        c.StatusText += c.ErrorCount == 1 ? " Error Found" : " Errors Found";
      }
    }
  } catch (const AsmAbort&) {
    result.Fatal = true;
    for (auto& input : c.Inputs) input.Stream.reset();
    // Outputs not finished go away (their files were never put in place).
    c.out.Files.Listing.reset();
    c.out.Files.ErrorPrint.reset();
    c.out.Files.Hex.reset();
    c.out.Files.Object.reset();
    c.SourceOpen = false;
  }
  c.AsmPass = 0;
  result.ErrorCount = c.ErrorCount;
  result.LinesRead = c.LinesRead;
  return result;
}

}  // namespace

AsmRunResult AssembleFile(AsmContext& c, std::string_view commandLine,
                          std::vector<std::string>* lines) {
  return Run(c, commandLine, nullptr, lines);
}

AsmRunResult AssembleFileWithControls(AsmContext& c, std::string_view sourcePath,
                                      std::string_view invocationControls) {
  const std::string controls(invocationControls);
  return Run(c, sourcePath, &controls, nullptr);
}

}  // namespace dorvik::as
