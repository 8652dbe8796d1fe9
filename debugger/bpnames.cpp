#include "debugger/bpnames.h"

#include "base/messages.h"
#include "base/text.h"
#include "debugger/editormodel.h"
#include "lang/scanner.h"
#include "lang/symbols.h"

namespace dorvik {

tBreak* BreakpointByName(std::string_view name) {
  constexpr std::string_view kBreak = "Break0";
  if (name == "Arm") return &Breakpoints().ArmBreak;
  if (name.size() == 3 && name.substr(0, 2) == kBreak.substr(0, 2) && IsDigit(name[2]))
    return &Breakpoints().BreakTable[static_cast<size_t>(name[2] - '0')];
  return nullptr;
}

namespace {

// The first line of the active page that holds Text; marked (1-based) when there is one.
void LocateText(std::string_view fileName, std::string_view text) {
  EditorModelState& v = EditorModel();
  const int32_t page = OpenFileInEditor(fileName, true);
  const TEditSheet* sheet = PageAt(page);
  if (!sheet) return;
  const int32_t index = FindLineContaining(sheet->Editor.Lines, text, false);
  if (index >= 0) SetLineMark(index + 1, v.LocateLine, fileName, kLocateLineColor, true, true);
}

}  // namespace

void ShowSymbolInSource(const tModuleRec& module, const tSymbolItem& sym) {
  const std::string& file = module.FileName;
  const size_t dot = file.rfind('.');
  const std::string ext = UpperCase(dot == std::string::npos ? std::string() : file.substr(dot));
  const tFileTypeRec* type = FindFileType(ext);
  if (!type) {
    // Reported, but the caller goes on.
    ReportError(err::kUnregisteredFileType, ext);
    Messages().ErrorFlag = false;
    return;
  }
  const std::string name = UpperCase(sym.Name);
  if (type->Kind == kFileAssembler) {
    if (sym.SymClass == kClassLine) {
      if (OpenFileInEditor(file, true) >= 0)
        SetLineMark(sym.Number, EditorModel().LocateLine, file, kLocateLineColor, true, true);
    } else {
      LocateText(file, name + ":");
    }
  } else if (type->Kind == kFileC) {
    const uint8_t cls = sym.SymClass & 0x1F;
    const tSymbolItem* line = nullptr;
    if ((cls == kClassCode || cls == kClassScopeBegin) && Collections().SymbolTable) {
      // The first line symbol of the nearest address at or below the symbol's.
      for (const tSymbolItem& s : Collections().SymbolTable->Items)
        if (s.SymClass == kClassLine && s.Value <= sym.Value && (!line || s.Value > line->Value)) line = &s;
    }
    if (line && line->Value == sym.Value)
      SetLineMark(line->Number, EditorModel().LocateLine, file, kLocateLineColor, true, true);
    else
      LocateText(file, name);
  }
}

void SearchEditor(TEditSheet& sheet, std::string_view text, FindOptions options, TPoint& found, TPoint from) {
  found = {};
  if (text.empty() || sheet.Editor.IsEmpty()) return;
  const TPoint end{0, static_cast<int32_t>(sheet.Editor.Lines.size())};
  found = sheet.Editor.Find(text, from, end, options);
}

}  // namespace dorvik
