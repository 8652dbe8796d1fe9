// The stack, call-stack and register-list commands, and the texts of code
// addresses and symbol values that the views share with them.

#include <algorithm>
#include <array>
#include <string>
#include <vector>

#include "access/backend.h"
#include "base/messages.h"
#include "project/project.h"
#include "base/runstate.h"
#include "base/session.h"
#include "debugger/executor.h"
#include "debugger/memcmds.h"
#include "debugger/terminal.h"
#include "debugger/toolviews.h"
#include "lang/collections.h"
#include "lang/evaluator.h"
#include "lang/formatting.h"
#include "lang/keywords.h"
#include "lang/scanner.h"
#include "lang/symbols.h"
#include "lang/target_access.h"
#include "lang/typetext.h"

namespace dorvik {

namespace {

constexpr uint8_t kOpLcall = 0x12;
constexpr uint8_t kAcallMask = 0x1F, kOpAcall = 0x11;

bool Failed() { return Messages().ErrorFlag; }

bool ReadDirect(uint8_t addr, uint8_t& value) {
  value = 0;
  return TargetReadBytes(kSpaceDirect, addr, std::span<uint8_t>(&value, 1)) && !Failed();
}

std::string Hex(uint32_t value, uint8_t digits) { return FormatNumber(16, digits, false, value, false); }

void OutCodeLine(uint32_t addr, const CodeAddressText& text) {
  if (!text.Module.empty()) OutText(text.Module + " <");
  OutText(text.Procedure);
  if (!text.Module.empty()) OutChar('>');
  OutText(" (" + Hex(addr, 4) + ")");
  NewLine();
}

// The text of an address in the display radix with its radix letter.
std::string RadixText(uint32_t value) {
  const uint8_t radix = Formatting().DisplayRadix;
  const char letter = radix == 2 ? 'B' : radix == 8 ? 'Q' : radix == 10 ? 'T' : 'H';
  return FormatNumber(radix, 32, true, value, false) + letter;
}

}  // namespace

void CmdStack() {
  if (!TargetStopped()) return;
  int64_t n = -1;
  if (PeekToken() != tok::kEndOfLine) {
    const long double v = Expression(tok::kNone);
    if (Failed()) return;
    n = v < 0 ? 0 : v > 256 ? 256 : static_cast<int64_t>(v);
  }
  if (!CheckEndOfLine()) return;
  uint8_t sp = 0;
  if (!ReadDirect(sfr::SP, sp)) return;
  // The listing always ends at SP: at most the whole stack, and one chunk.
  const int32_t chunk = CurrentBackend().Capabilities().ReadChunk;
  if (n < 0 || n > sp + 1) n = sp + 1;
  if (chunk > 0) n = std::min<int64_t>(n, chunk);
  const int32_t first = sp - static_cast<int32_t>(n) + 1;
  tValueList& list = ValueList();
  list.Items.clear();
  list.ElemType = tok::kBYTE;
  Evaluator().RangeEnd = sp;
  if (n > 0 && ReadTypedBlock(kSpaceIData, first, tok::kBYTE) <= 0) return;
  OutText("SP ");
  if (Formatting().DisplayRadix != 16) OutSpace();
  OutToken(tok::kSTACK);
  NewLine();
  for (size_t i = 0; i < list.Items.size(); ++i) {
    OutHex2(static_cast<uint8_t>(first + static_cast<int32_t>(i)));
    OutSpace();
    OutHex2(static_cast<uint8_t>(list.Items[i].Value));
    NewLine();
  }
}

void CmdCallStack() {
  if (!TargetStopped() || !CheckEndOfLine()) return;
  std::vector<CallStackEntry> entries;
  ReadCallStack(entries);
  for (const CallStackEntry& e : entries) OutCodeLine(e.Address, e.Text);
}

bool ReadCallStack(std::vector<CallStackEntry>& entries) {
  entries.clear();
  uint8_t sp = 0;
  if (!ReadDirect(sfr::SP, sp)) return false;
  const int32_t base = MemCmds().StackBase;
  if (sp - base < 1) return true;
  tValueList& list = ValueList();
  list.Items.clear();
  list.ElemType = tok::kBYTE;
  Evaluator().RangeEnd = sp;
  if (ReadTypedBlock(kSpaceIData, base + 1, tok::kBYTE) <= 0) return false;
  // Only the bytes read are walked; pairs are low byte first (pushed first).
  const std::vector<tValueItem> stack = list.Items;
  for (size_t i = 0; i + 1 < stack.size();) {
    uint32_t addr = (stack[i + 1].Value & 0xFF) * 256 + (stack[i].Value & 0xFF);
    if (addr > 3) addr -= 3;
    CallStackEntry entry;
    entry.Address = addr;
    entry.Procedure = DescribeCodeAddress(addr, false, entry.Text);
    if (entry.Procedure >= 0) {
      entries.push_back(entry);
      i += 2;
    } else {
      i += 1;
    }
    if (Failed()) return false;
  }
  const int32_t pc = TargetRegisterValue(tok::kPC);
  if (Failed()) return false;
  CallStackEntry current;
  current.Address = static_cast<uint32_t>(pc);
  current.Procedure = DescribeCodeAddress(current.Address, true, current.Text);
  entries.push_back(current);
  return !Failed();
}

void CmdRegisters() {
  if (!TargetStopped() || !CheckEndOfLine()) return;
  TargetBackend& backend = CurrentBackend();
  if (!backend.Capabilities().HasTarget) return;
  std::vector<std::string> lines;
  if (!backend.RegisterLines(lines)) return;
  if (!lines.empty()) {
    for (const std::string& line : lines) {
      OutText(line);
      NewLine();
    }
    return;
  }
  // No list of its own: the values of the status fields on one line.
  uint8_t acc = 0, b = 0, psw = 0, sp = 0;
  const bool read = ReadDirect(sfr::ACC, acc) && ReadDirect(sfr::B, b) && ReadDirect(sfr::PSW, psw) &&
                    ReadDirect(sfr::SP, sp);
  if (!read) return;
  const int32_t pc = TargetRegisterValue(tok::kPC);
  const int32_t dptr = TargetRegisterValue(tok::kDPTR);
  std::array<int32_t, 8> r{};
  for (size_t i = 0; i < r.size(); ++i) r[i] = TargetRegisterValue(static_cast<uint8_t>(tok::kR0 + i));
  if (Failed()) return;
  std::string line = "PC=" + Hex(static_cast<uint32_t>(pc) & 0xFFFF, 4) + " ACC=" + Hex(acc, 2) +
                     " B=" + Hex(b, 2) + " PSW=" + Hex(psw, 2) + " SP=" + Hex(sp, 2) +
                     " DPTR=" + Hex(static_cast<uint32_t>(dptr), dptr > 0xFFFF ? 6 : 4);
  for (size_t i = 0; i < r.size(); ++i)
    line += " R" + std::to_string(i) + "=" + Hex(static_cast<uint32_t>(r[i]), 2);
  OutText(line);
  NewLine();
}

int32_t DescribeCodeAddress(uint32_t addr, bool always, CodeAddressText& text) {
  text = {};
  std::array<uint8_t, 2> code{};
  if (!TargetReadBytes(kSpaceCode, static_cast<int32_t>(addr), code) || Failed()) return kNoItem;
  // An LCALL at Addr, or a 2-byte ACALL one byte later, ends at the return address.
  const bool call = code[0] == kOpLcall || (code[1] & kAcallMask) == kOpAcall;
  if (!call && !always) return kNoItem;
  const std::string addressText = AddressToText(addr, kClassProcedure, false);
  const size_t dot = addressText.find('.');
  const tSymbolItem* proc = SymbolAt(Collections().FoundSymbol);
  if (dot == std::string::npos || !proc || (proc->SymClass & 15) != kClassProcedure) {
    text.Procedure = addressText;
    return kNoItem;
  }
  text.Module = addressText.substr(0, dot);
  text.Procedure = proc->Name + "+" + FormatNumber(16, 4, true, addr - proc->Value, false);
  // The location: the line number in a C module, else the code address text.
  std::string where = AddressToText(addr, kClassCodeOrLine, false);
  if (const tModuleRec* module = FindModuleNode(text.Module)) {
    const tFileTypeRec* type = FindFileTypeOf(module->FileName);
    const int32_t found = Collections().FoundSymbol;
    if (type && type->Kind == kFileC && FindLineSymbol(addr))
      where = std::to_string(SymbolAt(Collections().FoundSymbol)->Number);
    Collections().FoundSymbol = found;
  }
  text.Location = text.Module + "." + where;
  return call || always ? Collections().FoundSymbol : kNoItem;
}

void SymbolValueText(int32_t sym, bool readValue, std::string& text) {
  RunState& run = Run();
  const bool busy = run.TargetBusy;
  run.TargetBusy = true;
  text.clear();
  tValueList& list = ValueList();
  const uint8_t radix = Formatting().DisplayRadix;
  const tSymbolItem* symbol = SymbolAt(sym);
  if (!symbol) {
    // The processor name of the last lookup: one byte or bit.
    if (const auto& entry = SymbolLookup().SymbolRef.CpuEntry) {
      const uint8_t space = entry->Kind & 7;
      list.Items.clear();
      list.ElemType = space == kSpaceBit ? tok::kBIT : tok::kBYTE;
      if (readValue)
        TargetReadByte(space, entry->Value);
      else
        AppendValue(list.ElemType, 0);
      text = FormatValueList();
    }
  } else if ((symbol->SymClass & 15) == kClassNumber) {
    text = FormatValue({tok::kWORD, symbol->Value & 0xFFFF}, radix);
  } else if (symbol->VarType != 0) {
    const uint8_t space = symbol->SymClass & 7;
    if (symbol->VarType < 32) {
      if (space != kSpaceBit) {
        std::string word = TokenText(static_cast<uint8_t>(tok::kByteTypeBase + space));
        while (!word.empty() && word.back() == ' ') word.pop_back();
        text = word + " ";
      }
      text += Hex(symbol->Value & 0xFFFF, 4) + "H ";
    }
    std::string typeText;
    TypeDefText(static_cast<uint16_t>(symbol->VarType), false, typeText);
    text += typeText;
    const auto& defs = Collections().TypeDefs;
    const tTypeDefItem* def = defs ? defs->GetItem(symbol->VarType - 32) : nullptr;
    if (def && def->TypeDefID == tTypeDef::tStructUnion) {
      text += "= <struct/union>";
    } else if (readValue) {
      // This symbol's contents read with its type, as the evaluator reads a
      // variable: by its name another symbol of that name could be found.
      CurrentTargetAccess().ReadSymbolValue(*symbol);
      if (!Failed()) text += "= " + FormatValueList();
    }
  } else if ((symbol->SymClass & 15) >= kClassProcedure) {
    text = "Code " + RadixText(symbol->Value);
  } else if ((symbol->SymClass & 7) == kSpaceBit) {
    const uint8_t bit = readValue ? TargetReadByte(kSpaceBit, static_cast<int32_t>(symbol->Value)) : 0;
    text = "BIT " + Hex(symbol->Value & 0xFF, 2) + "H = " + std::to_string(bit);
  } else if ((symbol->SymClass & 15) == kClassCode) {
    text = FormatValue({tok::kADDRESS, symbol->Value & 0xFFFF}, radix);
  } else {
    const int32_t addr = static_cast<int32_t>(symbol->Value);
    const uint8_t value = readValue ? TargetReadByte(symbol->SymClass & 7, addr) : 0;
    text = FormatValue({tok::kBYTE, value}, radix);
  }
  run.TargetBusy = busy;
}

}  // namespace dorvik
