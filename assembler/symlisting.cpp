#include "assembler/symlisting.h"

#include <ostream>
#include <iterator>
#include <string>

#include "assembler/asmerrors.h"
#include "assembler/asmhex.h"
#include "assembler/context.h"
#include "assembler/controls.h"
#include "assembler/listing.h"
#include "assembler/objwriter.h"
#include "assembler/symbolwalk.h"

namespace dorvik::as {

uint8_t SymbolNameColumnWidth(uint8_t longestName) {
  unsigned w = longestName < 8 ? 8u : longestName;
  w += 2;
  if (w % 2 != 0) ++w;
  return static_cast<uint8_t>(w > 254 ? 254 : w);
}

namespace {

// One cross-reference: two blanks and the line number, moved whole to the
// next line when it would not fit on this one.
void ListReference(AsmContext& cx, const std::string& number) {
  const std::string text = "  " + number;
  if (cx.out.Listing.ColumnOnLine + text.size() > cx.PageWidth) ListNewLine(cx);
  ListString(cx, text);
}

constexpr std::string_view kRelocationNames[] = {"", "UNIT", "BITADDRESSABLE", "INPAGE", "INBLOCK", "PAGE"};

// The segment symbol of a segment id; the one found last is tried first.
struct SegmentFinder {
  bool Found = false;
  AsmSymbolRec Last;

  const AsmSymbolRec* Find(AsmContext& cx, uint8_t id) {
    if (Found && Last.SegmentId == id) return &Last;
    Found = false;
    WalkSymbols(cx, [&](const AsmSymbolRec& s) {
      if (!Found && s.Kind >= kind::kSegment && s.SegmentId == id) {
        Last = s;
        Found = true;
      }
    });
    if (!Found) {
      ReportAsmError(cx, asm_err::kInternalSymbolTableParsing);
      AsmFatalStop(cx);
    }
    return &Last;
  }
};

std::string ValueText(const AsmSymbolRec& s) {
  if (s.Scope == kScopeExternal || s.Kind == kind::kUndefined || s.Kind == kind::kModuleName) return "---- ";
  if (s.Kind == kind::kRegister) {
    std::string text(s.Value == 10 ? "A" : "R");
    if (s.Value != 10) text += DecText(s.Value & 7);
    return text + "   ";
  }
  if (s.Kind == kind::kBit) {
    const uint32_t bit = s.Value & 0xFF;
    const uint32_t byte = bit < 128 ? (s.SegmentId == 0 ? 0x20 + bit / 8 : bit / 8) : (bit & 0xF8);
    return Hex4Text(static_cast<uint16_t>(byte)) + "H." + DecText(bit % 8);
  }
  return Hex4Text(static_cast<uint16_t>(s.Value)) + "H";
}

void ListSymbol(AsmContext& cx, const AsmSymbolRec& s, uint16_t ordinal, SegmentFinder& segments) {
  const uint8_t type = s.Kind & 0x0F;
  const bool segment = s.Kind >= kind::kSegment;
  const bool external = s.Scope == kScopeExternal;
  ListString(cx, s.Name);
  for (unsigned col = cx.out.Listing.ColumnOnLine + 1u; col <= cx.out.Listing.NameWidth; ++col)
    ListChar(cx, col % 2 ? '.' : ' ');
  ListString(cx, "  ");
  static constexpr char kTypeLetters[] = "CXDIB";
  ListChar(cx, type <= 4 ? kTypeLetters[type] : ' ');
  ListBlank(cx);
  if (segment)
    ListString(cx, "SEG ");
  else if (type <= 4)
    ListString(cx, "ADDR");
  else if (type == 5)
    ListString(cx, "NUMB");
  else if (type == 6)
    ListString(cx, "REG ");
  else if (type == 7 || type == 8)
    ListString(cx, "----");
  else
    ReportAsmError(cx, asm_err::kInternalUnknownClass);
  ListString(cx, "    ");
  ListString(cx, ValueText(s));
  ListString(cx, s.Kind == kind::kBit && !external ? " " : "   ");
  const AsmSymbolRec* home = nullptr;
  if (type <= 5 && !segment && !external) {
    if (s.SegmentId == 0) {
      ListChar(cx, 'A');
    } else {
      ListChar(cx, 'R');
      home = segments.Find(cx, s.SegmentId);
    }
  } else {
    ListBlank(cx);
  }
  ListBlank(cx);
  ListString(cx, s.Scope == kScopePublic ? "PUB" : external ? "EXT" : "   ");
  ListString(cx, "    ");
  if (segment) {
    ListString(cx, "REL=");
    if (s.RelocType < std::size(kRelocationNames)) ListString(cx, kRelocationNames[s.RelocType]);
  } else if (home != nullptr) {
    ListString(cx, "SEG=");
    ListString(cx, home->Name);
  }
  if (Control(cx, ControlId::Xref).On) {
    // The defining line first, marked "#"; a symbol never met in defining
    // position (an external, say) just lists its references.
    for (AsmXrefEntry& e : cx.sym.Xref) {
      if (e.Line == 0) break;
      if (e.Ordinal == ordinal && e.Defining != 0) {
        ListReference(cx, DecText(e.Line) + "#");
        e.Ordinal = 0;
        break;
      }
    }
    for (const AsmXrefEntry& e : cx.sym.Xref) {
      if (e.Line == 0) break;
      if (e.Ordinal != ordinal) continue;
      ListReference(cx, DecText(e.Line));
    }
  }
  ListNewLine(cx);
}

void WriteSymbolSection(AsmContext& cx) {
  ListingState& l = cx.out.Listing;
  l.ToListing = true;
  l.NameWidth = SymbolNameColumnWidth(cx.sym.LongestName);
  l.SymbolSection = false;
  ListPageHeader(cx);
  l.SymbolSection = true;
  ListNewLine(cx);
  ListString(cx, "S Y M B O L    T A B L E    L I S T I N G");
  ListNewLine(cx);
  ListString(cx, "-----------------------------------------");
  ListNewLine(cx);
  ListNewLine(cx);
  ListString(cx, SymbolTableHeading(cx));
  ListNewLine(cx);
  ListNewLine(cx);
  SegmentFinder segments;
  uint16_t ordinal = 0;
  WalkSymbols(cx, [&](const AsmSymbolRec& s) { ListSymbol(cx, s, ++ordinal, segments); });
  l.SymbolSection = false;
}

void WriteClosingLines(AsmContext& cx) {
  ListingState& l = cx.out.Listing;
  l.ToListing = true;
  if (cx.PageLength < l.LineOnPage + 6u) {
    ListPageHeader(cx);
  } else {
    ListNewLine(cx);
    ListNewLine(cx);
  }
  unsigned used = 0;
  std::string digits;
  for (unsigned bank = 0; bank < 4; ++bank) {
    if (!cx.RegisterBanks[bank]) continue;
    ++used;
    digits += DecText(bank);
    digits += ' ';
  }
  std::string text = used == 0 ? "NO " : "";
  text += "REGISTER BANK";
  if (used != 1) text += "S";
  text += " USED";
  if (used > 0) {
    text += ": ";
    text += digits;
  }
  ListString(cx, text);
  ListNewLine(cx);
  ListNewLine(cx);
  ListNewLine(cx);
  ListString(cx, "ASSEMBLY COMPLETE, ");
  ListString(cx, cx.ErrorCount == 0 ? std::string("NO") : DecText(cx.ErrorCount));
  ListString(cx, cx.ErrorCount == 1 ? " ERROR FOUND" : " ERRORS FOUND");
  ListNewLine(cx);
}

bool AnySymbol(const AsmContext& cx) {
  return !cx.sym.SymbolArea.empty() && cx.sym.SymbolArea[kSymKind] != kind::kEndMark;
}

}  // namespace

void WriteSymbolTableListing(AsmContext& cx) {
  if (!cx.EndSeen) ReportAsmError(cx, asm_err::kMissingEndStatement);
  if (cx.out.Files.ErrorPrintOpen) {
    if (cx.out.Files.ErrorPrint) {
      cx.out.Files.ErrorPrint->flush();
      CheckOutputIO(cx, cx.out.Files.ErrorPrint.get());
      CommitAsmFile(cx, cx.out.Files.ErrorPrint.get(), kKindErrorPrint, Control(cx, ControlId::ErrorPrint).Value);
    }
    cx.out.Files.ErrorPrint.reset();
    cx.out.Files.ErrorPrintOpen = false;
  }
  CloseObjectFile(cx);
  CloseHexFile(cx);
  if (!cx.out.Files.ListOpen || !cx.out.Files.Listing) return;
  if (Control(cx, ControlId::Symbols).On && AnySymbol(cx)) WriteSymbolSection(cx);
  WriteClosingLines(cx);
  cx.out.Files.Listing->flush();
  CheckOutputIO(cx, cx.out.Files.Listing.get());
  CommitAsmFile(cx, cx.out.Files.Listing.get(), kKindListing, Control(cx, ControlId::Print).Value);
  cx.out.Files.Listing.reset();
  cx.out.Files.ListOpen = false;
  cx.out.Listing.ToListing = false;
}

}  // namespace dorvik::as
