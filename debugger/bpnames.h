#pragma once
// Breakpoint names and source locations: a breakpoint record found by its
// display name, a symbol of the loaded program shown at its source line, and
// the text search of an editor page.

#include <string_view>

#include "project/project.h"
#include "debugger/breakpoints.h"
#include "editor/codeeditor.h"
#include "lang/collections.h"

namespace dorvik {

// "Br0".."Br9": that entry of the table; "Arm": the arm record; else nullptr.
tBreak* BreakpointByName(std::string_view name);
// Opens the module's source and marks the symbol's line (LocateLine).
void ShowSymbolInSource(const tModuleRec& module, const tSymbolItem& sym);
// Searches the page from From to its end; Found is (-1, -1) when nothing was found.
void SearchEditor(TEditSheet& sheet, std::string_view text, FindOptions options, TPoint& found, TPoint from);

}  // namespace dorvik
