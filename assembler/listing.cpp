#include "assembler/listing.h"

#include <algorithm>
#include <ostream>

#include "assembler/asmerrors.h"
#include "assembler/context.h"
#include "assembler/controls.h"

namespace dorvik::as {

// Number texts

std::string FormatAsmNumber(uint32_t w, unsigned radix, unsigned width, bool zeroSuppress) {
  static constexpr char kDigits[] = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ";
  radix = std::clamp(radix, 2u, 36u);
  width = std::min(width, 16u);
  std::string s(width, '0');
  for (unsigned i = width; i > 0; --i) {
    s[i - 1] = kDigits[w % radix];
    w /= radix;
  }
  if (zeroSuppress) {
    const size_t first = s.find_first_not_of('0');
    s = first == std::string::npos ? std::string(s.empty() ? "" : "0") : s.substr(first);
  }
  return s;
}

std::string DecText(uint32_t w) { return std::to_string(w); }
std::string Hex2Text(uint8_t b) { return FormatAsmNumber(b, 16, 2, false); }
std::string Hex4Text(uint16_t w) { return FormatAsmNumber(w, 16, 4, false); }

std::string HexBytesText(std::span<const uint8_t> bytes) {
  std::string s;
  for (size_t i = 0; i < bytes.size() && i < 16; ++i) s += Hex2Text(bytes[i]);
  return s;
}

// Text output

namespace {

std::ostream* ListFile(AsmContext& cx) {
  return cx.out.Files.ListOpen ? cx.out.Files.Listing.get() : nullptr;
}

bool ListingOn(const AsmContext& cx) {
  return cx.out.Files.ListOpen && cx.out.Files.Listing != nullptr;
}

// Writes the characters of the current listing line collected by ListChar.
void FlushPendingText(AsmContext& cx) {
  std::string& pending = cx.out.Listing.PendingText;
  if (pending.empty()) return;
  std::ostream* f = ListFile(cx);
  if (f != nullptr) {
    f->write(pending.data(), static_cast<std::streamsize>(pending.size()));
    CheckOutputIO(cx, f);
  }
  pending.clear();
}

// Writes one raw line to the listing (no paging, no wrapping).
void RawListLine(AsmContext& cx, std::string_view s) {
  std::ostream* f = ListFile(cx);
  if (f == nullptr) return;
  FlushPendingText(cx);
  *f << s << kFileLineEnd;
  CheckOutputIO(cx, f);
}

// The text to the current output in lines of at most the page width, each
// counting on the page.
void WriteWrapped(AsmContext& cx, std::string_view s) {
  const size_t width = std::max<size_t>(cx.PageWidth, 1);
  do {
    const std::string_view part = s.substr(0, std::min(width, s.size()));
    s.remove_prefix(part.size());
    ListTextLine(cx, part);
  } while (!s.empty());
}

}  // namespace

void CheckOutputIO(AsmContext& cx, std::ostream* file) {
  if (file != nullptr) CheckAsmIO(cx, *file);
}

void WriteAsmText(AsmContext& cx, std::ostream* file, std::string_view s) {
  if (file == nullptr) {
    cx.StatusText += s == "\r" ? std::string_view("\r\n") : s;
    return;
  }
  if (file == ListFile(cx)) FlushPendingText(cx);
  if (s == "\r")
    *file << kFileLineEnd;
  else
    *file << s;
  CheckOutputIO(cx, file);
}

void WriteAsmLine(AsmContext& cx, std::ostream* file, std::string_view s) {
  if (file == nullptr) {
    cx.StatusText += s == "\r" ? std::string_view("\r\n") : s;
    return;
  }
  if (file == ListFile(cx)) FlushPendingText(cx);
  if (s != "\r") *file << s;
  *file << kFileLineEnd;
  CheckOutputIO(cx, file);
}

void ListTextLine(AsmContext& cx, std::string_view s) {
  if (cx.out.Listing.ToListing && ListingOn(cx) && cx.out.Listing.LineOnPage >= cx.PageLength)
    ListPageHeader(cx);
  WriteCurrentLine(cx, s);
  ++cx.out.Listing.LineOnPage;
}

void WriteCurrentText(AsmContext& cx, std::string_view s) {
  WriteAsmText(cx, cx.out.Listing.ToListing ? ListFile(cx) : nullptr, s);
}

void WriteCurrentLine(AsmContext& cx, std::string_view s) {
  std::ostream* f = cx.out.Listing.ToListing ? ListFile(cx) : nullptr;
  if (f == nullptr) {
    cx.StatusText += s;
    cx.StatusText += "\r\n";
    return;
  }
  WriteAsmLine(cx, f, s);
}

void WriteErrorPrintLine(AsmContext& cx, std::string_view s) {
  if (!cx.out.Files.ErrorPrintOpen || !cx.out.Files.ErrorPrint) return;
  WriteAsmLine(cx, cx.out.Files.ErrorPrint.get(), s);
}

void ListChar(AsmContext& cx, char c) {
  ListingState& l = cx.out.Listing;
  const bool toFile = l.ToListing && ListingOn(cx);
  if (toFile && l.LineOnPage >= cx.PageLength) ListPageHeader(cx);
  if (c == '\r') {
    if (toFile) {
      l.PendingText += kFileLineEnd;
      FlushPendingText(cx);
    } else {
      WriteCurrentText(cx, "\r");
    }
    l.ColumnOnLine = 0;
    ++l.LineOnPage;
    return;
  }
  // A full line is ended when one more character comes, so a line of exactly
  // the page width is not followed by an empty one.
  if (l.ColumnOnLine >= cx.PageWidth) ListNewLine(cx);
  if (toFile) {
    l.PendingText += c;
  } else if (!l.ToListing) {
    cx.StatusText += c;
  }
  ++l.ColumnOnLine;
}

void ListString(AsmContext& cx, std::string_view s) {
  ListingState& l = cx.out.Listing;
  // Fast path: text that fits on the current listing line goes in one piece.
  if (l.ToListing && ListingOn(cx) && l.LineOnPage < cx.PageLength &&
      l.ColumnOnLine + s.size() <= cx.PageWidth && s.find('\r') == std::string_view::npos) {
    l.PendingText.append(s);
    l.ColumnOnLine = static_cast<uint8_t>(l.ColumnOnLine + s.size());
    return;
  }
  for (char c : s) ListChar(cx, c);
}
void ListBlank(AsmContext& cx) { ListChar(cx, ' '); }
void ListNewLine(AsmContext& cx) { ListChar(cx, '\r'); }

// Pages

std::string SymbolTableHeading(const AsmContext& cx) {
  std::string s = "N A M E ";
  s.append(cx.out.Listing.NameWidth > 7 ? cx.out.Listing.NameWidth - 7 : 0, ' ');
  s += "  T Y P E   V A L U E        A T T R I B U T E S";
  if (Control(cx, ControlId::Xref).On) s += "   A N D   R E F E R E N C E S";
  return s;
}

namespace {

void ListColumnTitles(AsmContext& cx) {
  RawListLine(cx, "");
  RawListLine(cx, "LOC  OBJ            LINE     SOURCE");
  RawListLine(cx, "");
}

}  // namespace

void ListPageHeader(AsmContext& cx) {
  ListingState& l = cx.out.Listing;
  if (!Control(cx, ControlId::Paging).On && l.PageNumber != 1) return;
  l.LineOnPage = 0;
  cx.EjectPending = false;
  if (ListingOn(cx)) {
    const std::string& date = Control(cx, ControlId::Date).Value;
    std::string text = "MCS-51/52/44 Assembler    " + Control(cx, ControlId::Title).Value;
    const size_t room = cx.PageWidth > date.size() + l.PageText.size() ? cx.PageWidth - date.size() - l.PageText.size() : 0;
    text.resize(room, ' ');
    RawListLine(cx, "\f" + text + date + l.PageText);
    l.LineOnPage = 1;
    if (l.SymbolSection) {
      // The heading wraps at the page width as on the section's first page.
      RawListLine(cx, "");
      ++l.LineOnPage;
      const size_t width = std::max<size_t>(cx.PageWidth, 1);
      const std::string heading = SymbolTableHeading(cx);
      for (size_t at = 0; at < heading.size(); at += width, ++l.LineOnPage) RawListLine(cx, heading.substr(at, width));
      RawListLine(cx, "");
      ++l.LineOnPage;
    } else if (cx.AsmPass == 2 && cx.SourceOpen) {
      ListColumnTitles(cx);
      l.LineOnPage = 4;
    }
  }
  l.ColumnOnLine = 0;
  ++l.PageNumber;
  l.PageText = "    Page " + DecText(l.PageNumber);
}

void ListFirstPage(AsmContext& cx) {
  if (!ListingOn(cx)) return;
  cx.out.Listing.ToListing = true;
  if (!Control(cx, ControlId::Paging).On) {
    cx.Controls[static_cast<size_t>(ControlId::Paging)].Value.clear();
    cx.PageLength = 65535;
  }
  ListPageHeader(cx);
  RawListLine(cx, "");
  RawListLine(cx, "Windows MCS-51/52/44 Assembler Vers. 1.2");
  cx.out.Listing.LineOnPage = 3;
  const ControlRecord& object = Control(cx, ControlId::Object);
  WriteWrapped(cx, object.On ? "OBJECT MODULE PLACED IN " + object.Value : std::string("NO OBJECT MODULE REQUESTED"));
  WriteWrapped(cx, "ASSEMBLER INVOKED BY: " + cx.InvocationLine);
  ListColumnTitles(cx);
  cx.out.Listing.LineOnPage = static_cast<uint16_t>(cx.out.Listing.LineOnPage + 3);
}

// The listing line

namespace {

std::string Fit(std::string s, size_t width) {
  s.resize(width, ' ');
  return s;
}

// Bytes shown on one DB line starting at byte FIRST: up to 4 string bytes, or
// one numeric byte.
size_t DbLineCount(const AsmContext& cx, size_t first, size_t total) {
  if (cx.line.DataMarks[first] != 'S') return 1;
  size_t n = 0;
  while (first + n < total && n < 4 && cx.line.DataMarks[first + n] == 'S') ++n;
  return n;
}

std::string DataText(const AsmContext& cx, size_t first, size_t count) {
  return Hex4Text(static_cast<uint16_t>(cx.line.StatementLocation + first)) + " " +
         HexBytesText(std::span(cx.line.DataBytes.data() + first, count));
}

std::string BuildPrefix(const AsmContext& cx) {
  const size_t count = std::min<size_t>(cx.line.InstrLength, cx.line.DataBytes.size());
  std::string p;
  switch (cx.line.LineKind) {
    case line::kInstruction:
      p = Fit(
          Hex4Text(static_cast<uint16_t>(cx.line.StatementLocation)) + " " +
              HexBytesText(std::span(cx.line.InstrBytes.data(), std::min<size_t>(cx.line.InstrLength, 3))),
          14);
      if (cx.line.LineExternalRef)
        p += "E";
      else if (cx.line.AnyFixup)
        p += "R";
      break;
    case line::kSegment:
      p = "----";
      break;
    case line::kDefinition:
      p = "    " + (cx.line.DefinedKind == kind::kRegister
                        ? std::string("REG ")
                        : Hex4Text(static_cast<uint16_t>(cx.line.DefinedValue)));
      break;
    case line::kStorage:
      p = Hex4Text(static_cast<uint16_t>(cx.line.StatementLocation));
      break;
    case line::kDB:
      p = count == 0 ? Hex4Text(static_cast<uint16_t>(cx.line.StatementLocation))
                     : DataText(cx, 0, DbLineCount(cx, 0, count));
      break;
    case line::kDW:
      p = count < 2 ? Hex4Text(static_cast<uint16_t>(cx.line.StatementLocation)) : DataText(cx, 0, 2);
      break;
    case line::kOrg:
      p = Hex4Text(static_cast<uint16_t>(cx.CurrentSegment.Value));
      break;
    default:
      break;
  }
  p = Fit(std::move(p), 16);
  const unsigned level = cx.IncludeDepth;
  if (level == 0) {
    p += "   ";
  } else {
    p += '+';
    p += DecText(level);
    if (level < 10) p += ' ';
  }
  const std::string number = DecText(cx.LinesRead);
  p.append(number.size() < 5 ? 5 - number.size() : 0, ' ');
  p += number;
  if (cx.line.IncludeOnLine) {
    p += '+';
    p += DecText(level + 1u);
  }
  return Fit(std::move(p), 29);
}

void ListContinuationLines(AsmContext& cx) {
  const size_t count = std::min<size_t>(cx.line.InstrLength, cx.line.DataBytes.size());
  if (cx.line.LineKind == line::kDB && count > 0) {
    for (size_t first = DbLineCount(cx, 0, count); first < count;) {
      const size_t n = DbLineCount(cx, first, count);
      ListString(cx, DataText(cx, first, n));
      ListNewLine(cx);
      first += n;
    }
  } else if (cx.line.LineKind == line::kDW) {
    for (size_t first = 2; first + 1 < count; first += 2) {
      ListString(cx, DataText(cx, first, 2));
      ListNewLine(cx);
    }
  }
}

}  // namespace

void ListSourceLine(AsmContext& cx) {
  if (cx.AsmPass != 2) return;
  ListingState& l = cx.out.Listing;
  const bool listed = ListingOn(cx) && (Control(cx, ControlId::List).On || cx.line.LineHasError);
  const bool errorCopy = cx.line.LineHasError && cx.out.Files.ErrorPrintOpen && cx.out.Files.ErrorPrint;
  if (!ListingOn(cx) && cx.InMemoryLines != nullptr && !cx.SourceOpen) {
    if (cx.line.LineKind == line::kInstruction && cx.line.InstrLength > 0) {
      const std::string text =
          Hex4Text(static_cast<uint16_t>(cx.line.StatementLocation)) + " " +
          HexBytesText(std::span(cx.line.InstrBytes.data(), std::min<size_t>(cx.line.InstrLength, 3)));
      std::vector<std::string>& lines = *cx.InMemoryLines;
      if (lines.size() < 4) lines.resize(4);
      lines[3] = text;
    }
  }
  if (listed || errorCopy) {
    l.LinePrefix = BuildPrefix(cx);
    if (listed) {
      const std::string_view source = cx.scan.ListLine;
      const size_t width = cx.PageWidth > 30 ? cx.PageWidth - 30u : 1u;
      if (29 + source.size() > static_cast<size_t>(cx.PageWidth) - 1) {
        size_t at = 0;
        bool first = true;
        while (at < source.size()) {
          const std::string_view part = source.substr(at, width);
          ListString(cx, first ? std::string_view(l.LinePrefix) : std::string_view(std::string(30, ' ')));
          ListString(cx, part);
          ListNewLine(cx);
          at += part.size();
          first = false;
        }
      } else {
        ListString(cx, l.LinePrefix);
        ListString(cx, source);
        ListNewLine(cx);
      }
    }
    if (errorCopy) WriteErrorPrintLine(cx, l.LinePrefix + cx.scan.ListLine);
    if (listed) {
      if (cx.EjectPending) ListPageHeader(cx);
      ListContinuationLines(cx);
    }
  }
  cx.line.IncludeOnLine = false;
  cx.scan.ListLine.clear();
}

// Fatal stop

void EchoToListing(AsmContext& cx, std::string_view s) {
  std::ostream* f = ListFile(cx);
  if (f == nullptr || !f->good()) return;
  std::string& pending = cx.out.Listing.PendingText;
  f->write(pending.data(), static_cast<std::streamsize>(pending.size()));
  pending.clear();
  for (size_t end; (end = s.find("\r\n")) != std::string_view::npos; s.remove_prefix(end + 2))
    *f << s.substr(0, end) << kFileLineEnd;
  *f << s << kFileLineEnd;
}

void AsmFatalStop(AsmContext& cx) {
  std::ostream* current = cx.out.Listing.ToListing ? ListFile(cx) : nullptr;
  if (current != nullptr) {
    FlushPendingText(cx);
    *current << " DIZ-52 TERMINATED" << kFileLineEnd;
    current->flush();
  } else {
    cx.StatusText += " DIZ-52 TERMINATED\r\n";
    EchoToListing(cx, " DIZ-52 TERMINATED");
  }
  // Close without writing anything more (no end records).
  for (auto* stream :
       {&cx.out.Files.Listing, &cx.out.Files.ErrorPrint, &cx.out.Files.Hex, &cx.out.Files.Object}) {
    if (*stream) (*stream)->flush();
    stream->reset();
  }
  cx.out.Files.ListOpen = cx.out.Files.ErrorPrintOpen = cx.out.Files.HexOpen = cx.out.Files.ObjectOpen =
      false;
  for (AsmInput& input : cx.Inputs) input.Stream.reset();
  cx.SourceOpen = false;
  cx.out.Listing.ToListing = false;
  throw AsmAbort{};
}

}  // namespace dorvik::as
