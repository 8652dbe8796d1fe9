#include "workspace/build.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <set>

#include "assembler/context.h"
#include "assembler/driver.h"
#include "base/mainform.h"
#include "base/messages.h"
#include "base/msgids.h"
#include "base/runprogram.h"
#include "base/runstate.h"
#include "base/session.h"
#include "base/text.h"
#include "base/userseam.h"
#include "workspace/openproject.h"
#include "lang/fileutil.h"
#include "objfiles/includescan.h"
#include "objfiles/listmap.h"
#include "objfiles/sourcetext.h"
#include "platform/files.h"
#include "platform/text.h"
#include "project/projectfile.h"

namespace dorvik {

namespace fs = std::filesystem;

namespace {

// Deepest include nesting followed (the assembler's own limit is 16 levels).
constexpr int kMaxIncludeDepth = 16;

std::string FolderOf(const std::string& file) {
  const fs::path folder = fs::path(file).parent_path();
  return folder.empty() ? std::string(".") : folder.string();
}

std::string Stem(const std::string& file) {
  const fs::path p(file);
  return (p.parent_path() / p.stem()).string();
}

// The first of the names that exists ("" when none does).
std::string FirstExisting(const std::string& stem, std::initializer_list<std::string_view> extensions) {
  for (std::string_view ext : extensions) {
    const std::string found = ExistingFileName(stem + std::string(ext));
    if (!found.empty()) return found;
  }
  return {};
}

bool NewerThan(const std::string& file, fs::file_time_type time) {
  std::error_code ec;
  const fs::file_time_type t = fs::last_write_time(file, ec);
  return !ec && t > time;
}

// A text the shell takes as one word, as it stands.
std::string ShellQuote(std::string_view text) {
  std::string quoted = "'";
  for (char ch : text) {
    if (ch == '\'')
      quoted += "'\\''";
    else
      quoted += ch;
  }
  return quoted + "'";
}

bool IsVariableName(std::string_view name) {
  if (name.empty() || (name[0] >= '0' && name[0] <= '9')) return false;
  return std::all_of(name.begin(), name.end(), [](char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_';
  });
}

// "file:line:" (or "file(line)") at the start of a tool's line: the file and line.
bool ToolLineLocation(const std::string& text, std::string& file, int32_t& line) {
  size_t open = text.find_first_of(":(");
  if (open == std::string::npos || open == 0) return false;
  // A blank before the mark: a message, not a file name.
  if (text.substr(0, open).find(' ') != std::string::npos) return false;
  size_t i = open + 1;
  size_t digits = 0;
  while (i < text.size() && text[i] >= '0' && text[i] <= '9' && digits < 9) {
    ++i;
    ++digits;
  }
  if (digits == 0 || i >= text.size()) return false;
  if (text[open] == ':' ? text[i] != ':' : text[i] != ')') return false;
  file = text.substr(0, open);
  line = static_cast<int32_t>(std::stol(text.substr(open + 1, digits)));
  return line > 0;
}

void AddReport(std::vector<BuildReportLine> lines) {
  auto& report = Build().Report;
  for (auto& line : lines) {
    // The last place says that lines were left out.
    if (report.size() + 1 >= kMaxReportLines) {
      if (report.size() < kMaxReportLines) report.push_back({"...", {}, {}, {}, -1});
      break;
    }
    report.push_back(std::move(line));
  }
  ++Build().ReportRevision;
}

void Status(const std::string& text) { User().ShowStatus(text); }

// The module's folder is the current folder while its tool runs, as for
// an external tool: include names with a path are relative to it.
class InFolder {
 public:
  explicit InFolder(const std::string& file) {
    std::error_code ec;
    before_ = fs::current_path(ec);
    if (!ec) fs::current_path(FolderOf(file), ec);
  }
  ~InFolder() {
    std::error_code ec;
    if (!before_.empty()) fs::current_path(before_, ec);
  }
  InFolder(const InFolder&) = delete;
  InFolder& operator=(const InFolder&) = delete;

 private:
  fs::path before_;
};

BuildOutcome AssembleInProcess(const tModuleRec& module) {
  std::error_code ec;
  const std::string source = fs::absolute(module.FileName, ec).lexically_normal().string();
  as::ResetAsm();
  as::AsmContext& c = as::Asm();
  c.ConsoleOut = nullptr;
  as::AsmRunResult result;
  {
    const InFolder folder(source);
    result = as::AssembleFile(c, source, nullptr);
  }
  const std::string protocol = MainForm().ErrorProtocolFile;
  std::vector<BuildReportLine> lines;
  if (protocol.empty() || !platform::WriteFileReplacing(protocol, c.StatusText)) {
    platform::TakeIOResult();
    ReportWarning(warn::kCannotOpenErrorProtocolFile49);
    return BuildOutcome::Failed;
  }
  lines = ReadProtocol(protocol, FolderOf(module.FileName));
  const std::string listing = FirstExisting(Stem(module.FileName), {".lst", ".LST"});
  if (!listing.empty()) {
    std::vector<BuildReportLine> errors = ListingErrors(listing, module.FileName);
    lines.insert(lines.end(), std::make_move_iterator(errors.begin()), std::make_move_iterator(errors.end()));
  }
  AddReport(std::move(lines));
  c.StatusText.clear();
  return result.Fatal || result.ErrorCount > 0 ? BuildOutcome::Errors : BuildOutcome::Built;
}

BuildOutcome RunTool(const tModuleRec& module, const std::string& compiler) {
  AddReport({{compiler + " " + module.FileName, {}, {}, {}, -1}});
  const ProgramRun run = RunProgramAndWait(ToolCommand(compiler, module.FileName), true);
  switch (run.Outcome) {
    case ProgramOutcome::RunnerMissing:
    case ProgramOutcome::TimedOut:
      return BuildOutcome::Failed;  // 406 or 108 was reported
    case ProgramOutcome::Stopped:
      AddReport(ReadProtocol(run.OutputFile, FolderOf(module.FileName)));
      return BuildOutcome::Stopped;
    case ProgramOutcome::ProgramMissing:
      AddReport(ReadProtocol(run.OutputFile, FolderOf(module.FileName)));
      ReportError(err::kSpecifiedCompilerForNotExists, fs::path(module.FileName).extension().string());
      return BuildOutcome::Failed;
    case ProgramOutcome::Ended:
      break;
  }
  AddReport(ReadProtocol(run.OutputFile, FolderOf(module.FileName)));
  return run.ExitCode == 0 ? BuildOutcome::Built : BuildOutcome::Errors;
}

}  // namespace

BuildState& Build() { return CurrentSession().Get<BuildState>(); }

std::vector<std::string> ModuleIncludeFiles(const std::string& source) {
  std::vector<std::string> found;
  std::set<std::string> seen;
  const std::string defaultExt = fs::path(source).extension().string();
  auto walk = [&](auto& self, const std::string& file, int depth) -> void {
    if (depth > kMaxIncludeDepth) return;
    std::vector<std::string> names;
    ScanIncludeFiles(file, &names, false, defaultExt);
    for (const std::string& name : names) {
      // As the build's tools open them (in the module's folder): relative
      // to it; then beside the including file, then as written.
      std::string existing;
      if (!fs::path(name).is_absolute()) {
        existing = ExistingFileName((fs::path(FolderOf(source)) / name).string());
        if (existing.empty()) existing = ExistingFileName((fs::path(FolderOf(file)) / name).string());
      }
      if (existing.empty()) existing = ExistingFileName(name);
      if (existing.empty()) continue;
      std::error_code ec;
      const std::string key = fs::absolute(existing, ec).lexically_normal().string();
      if (!seen.insert(key).second) continue;
      found.push_back(existing);
      self(self, existing, depth + 1);
    }
  };
  walk(walk, source, 0);
  return found;
}

std::string ModuleObjectFile(const tModuleRec& module) {
  const std::string stem = Stem(module.FileName);
  if (FindDollarWordInFile(module.FileName, "NOOBJECT") >= 0) return FirstExisting(stem, {".lst", ".LST"});
  return FirstExisting(stem, {".obj", ".OBJ", ".rel", ".REL"});
}

bool ModuleOutOfDate(const tModuleRec& module) {
  const std::string object = ModuleObjectFile(module);
  if (object.empty()) return true;
  std::error_code ec;
  const fs::file_time_type built = fs::last_write_time(object, ec);
  if (ec) return true;
  if (NewerThan(module.FileName, built)) return true;
  const std::vector<std::string> includes = ModuleIncludeFiles(module.FileName);
  return std::any_of(includes.begin(), includes.end(), [&](const std::string& f) { return NewerThan(f, built); });
}

std::string ToolCommand(std::string_view compiler, const std::string& source) {
  std::string command;
  for (const auto& [name, value] : Project().Variables)
    if (IsVariableName(name)) command += "export " + name + "=" + ShellQuote(value) + "; ";
  command += "cd " + ShellQuote(FolderOf(source)) + " && " + std::string(compiler) + " " +
             ShellQuote(fs::path(source).filename().string());
  return command;
}

std::vector<BuildReportLine> ReadProtocol(const std::string& protocolFile, const std::string& folder) {
  std::vector<BuildReportLine> lines;
  std::ifstream in(protocolFile, std::ios::binary);
  if (!in) {
    ReportWarning(warn::kCannotOpenErrorProtocolFile, protocolFile);
    return lines;
  }
  std::string text;
  size_t bytes = 0;
  bool cut = false;
  while (std::getline(in, text)) {
    bytes += text.size() + 1;
    if (bytes > kMaxProtocolBytes || lines.size() >= kMaxReportLines) {
      cut = true;
      break;
    }
    // Lines end in LF or CR LF; a lone CR ends a line too.
    size_t start = 0;
    while (start <= text.size()) {
      size_t end = text.find('\r', start);
      if (end == std::string::npos) end = text.size();
      std::string part = text.substr(start, end - start);
      const bool last = end == text.size();
      if (!part.empty() || !last || start == 0) {
        BuildReportLine line{part, {}, {}, {}, -1};
        std::string file;
        int32_t number = 0;
        if (ToolLineLocation(part, file, number)) {
          std::string existing;
          if (!fs::path(file).is_absolute()) existing = ExistingFileName((fs::path(folder) / file).string());
          if (existing.empty()) existing = ExistingFileName(file);
          if (!existing.empty()) {
            line.Source = existing;
            line.Line = number;
          }
        }
        if (!(part.empty() && last && start > 0)) lines.push_back(std::move(line));
      }
      start = end + 1;
    }
  }
  if (cut) lines.push_back({"...", {}, {}, {}, -1});
  // Empty lines at the end say nothing.
  while (!lines.empty() && TrimBlanks(lines.back().Text).empty()) lines.pop_back();
  return lines;
}

std::vector<BuildReportLine> ListingErrors(const std::string& listing, const std::string& source) {
  std::vector<BuildReportLine> out;
  std::vector<std::string> lines;
  if (!ReadFileLines(listing, lines)) return out;
  for (size_t i = 0; i < lines.size() && out.size() < kMaxReportLines; ++i) {
    const std::string upper = UpperCase(lines[i]);
    if (upper.rfind("*** ERROR", 0) != 0 && upper.rfind("*** WARNING", 0) != 0) continue;
    // The statement is the nearest line above that is no error or marker line.
    for (size_t j = i; j-- > 0;) {
      if (lines[j].rfind("***", 0) == 0) continue;
      if (lines[j].size() > kListingSourceColumn)
        out.push_back({lines[j], {}, CollapseBlanks(lines[j].substr(kListingSourceColumn)), source, -1});
      break;
    }
    out.push_back({lines[i], listing, {}, source, -1});
  }
  return out;
}

namespace {

// A file type that a tool compiles into an object.
bool Compiled(const tFileTypeRec& type) {
  return type.Kind == kFileAssembler || type.Kind == kFilePlm || type.Kind == kFileC;
}

}  // namespace

BuildOutcome CompileModule(const tModuleRec& module) {
  Messages().ErrorFlag = false;
  // A session that read no project knows the default file types.
  if (Project().FileTypeList.empty()) Project().FileTypeList = DefaultFileTypes();
  if (!platform::FileExists(module.FileName)) {
    ReportError(err::kFileNotExist, module.FileName);
    return BuildOutcome::Failed;
  }
  const std::string ext = fs::path(module.FileName).extension().string();
  const tFileTypeRec* type = FindFileType(ext);
  if (type == nullptr || !Compiled(*type)) {
    ReportError(err::kUnregisteredFileType, ext);
    return BuildOutcome::Failed;
  }
  Status("Compiling " + module.FileName);
  const uint8_t kind = type->Kind;
  std::string compiler = TrimBlanks(type->Compiler);
  const auto builtIn = [&] { return kind == kFileAssembler && platform::SameText(compiler, kBuiltInAssembler); };
  if (kind == kFileAssembler && compiler.empty()) compiler = kBuiltInAssembler;
  if (builtIn()) return AssembleInProcess(module);
  // The node's own tool, else the one of its kind (asked for when none is registered).
  std::string chosen = compiler;
  if (chosen.empty() || !CommandProgramExists(chosen)) {
    std::string command;
    GetFileTypeCompiler(kind, ext, command);
    if (Messages().ErrorFlag) return BuildOutcome::Failed;
    if (command.empty()) {
      ReportWarning(warn::kNoCompilerSpecified);
      return BuildOutcome::Failed;
    }
    chosen = command;
  }
  if (kind == kFileAssembler && platform::SameText(chosen, kBuiltInAssembler)) return AssembleInProcess(module);
  return RunTool(module, chosen);
}

BuildOutcome BuildProject(bool all) {
  BuildState& b = Build();
  if (Run().ProgramRunning) {
    ReportError(err::kCommandFormNotAllowedDuring);
    return BuildOutcome::Failed;
  }
  if (b.Building) return BuildOutcome::Failed;
  const std::vector<tModuleRec> modules = Project().ProjectModules;
  if (modules.empty()) {
    ReportWarning(warn::kCurrentProjectHasNoParts);
    return BuildOutcome::Failed;
  }
  b.Building = true;
  b.StopRequested = false;
  b.Report.clear();
  ++b.ReportRevision;
  BuildOutcome outcome = BuildOutcome::Built;
  for (size_t i = 0; i < modules.size(); ++i) {
    if (!User().KeepWaiting()) b.StopRequested = true;
    if (b.StopRequested) {
      outcome = BuildOutcome::Stopped;
      break;
    }
    // Include files and other registered files that no tool compiles are no modules to build.
    const tFileTypeRec* type = FindFileTypeOf(modules[i].FileName);
    if (type != nullptr && !Compiled(*type)) continue;
    if (!all && !ModuleOutOfDate(modules[i])) continue;
    const BuildOutcome one = CompileModule(modules[i]);
    if (one == BuildOutcome::Failed || one == BuildOutcome::Stopped) {
      outcome = one;
      break;
    }
    if (one == BuildOutcome::Errors) {
      outcome = one;
      if (i + 1 < modules.size() && !IsYes(ReportWarning(warn::kErrorWarningOccursDuringCompiling))) break;
    }
  }
  b.Building = false;
  b.StopRequested = false;
  Status("");
  return outcome;
}

std::string ProgramToLoad() {
  const auto& modules = Project().ProjectModules;
  if (modules.empty()) return {};
  return FirstExisting(Stem(modules.front().FileName), {".obj", ".OBJ", ".hex", ".HEX"});
}

}  // namespace dorvik
