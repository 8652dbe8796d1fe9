#include "assembler/tokenizer.h"

#include <gtest/gtest.h>

#include <bit>
#include <map>
#include <set>

#include "assembler/controls.h"
#include "assembler/source.h"
#include "base/messages.h"
#include "base/session.h"
#include "lang/cpudb.h"
#include "machine/images.h"
#include "tests/assembler/asm_test_util.h"

namespace dorvik::as {
namespace {

using namespace testutil;

// Tokens of one line, read in pass 2 of an empty assembly (in-memory lines).
class LineTokens {
 public:
  explicit LineTokens(const std::string& text) : lines_{text} {
    SetControlDefaults(c_);
    InitSymbolArea(c_);
    c_.AsmPass = 2;
    c_.InMemoryLines = &lines_;
    c_.scan.ScanChar = kCR;
    GetAsmChar(c_);
  }
  std::vector<uint8_t> All() {
    std::vector<uint8_t> out;
    for (int i = 0; i < 64; ++i) {
      const uint8_t t = GetAsmToken(c_);
      if (t == tok::kEol) break;
      out.push_back(t);
    }
    return out;
  }
  AsmContext& C() { return c_; }

 private:
  std::vector<std::string> lines_;
  AsmContext c_;
};

TEST(Tokenizer, TablesHaveTheirRows) {
  EXPECT_EQ(std::size(kReservedWords), 121u);
  EXPECT_EQ(std::size(kPredefinedSymbols), 119u);
  EXPECT_EQ(FindReservedWord("LIST"), FindReservedWord("LI"));
  EXPECT_EQ(FindReservedWord("BITADDRESSABLE"), tok::kBITADDRESSABLE);
  EXPECT_EQ(FindReservedWord("MOV"), tok::kMOV);
  EXPECT_EQ(FindReservedWord("FOO"), 0);
  EXPECT_EQ(SpecialCharToken('|'), tok::kOr);
  EXPECT_EQ(SpecialCharToken('~'), 0);
}

TEST(Tokenizer, OperatorsAndPunctuation) {
  EXPECT_EQ(LineTokens("<> < > <= >= = ,#@()").All(),
            (std::vector<uint8_t>{tok::kNe, tok::kLt, tok::kGt, tok::kLe, tok::kGe, tok::kEq,
                                  tok::kComma, tok::kHash, tok::kAt, tok::kLParen,
                                  tok::kRParen}));
  EXPECT_EQ(LineTokens("mov MOV a A r7 ar0").All(),
            (std::vector<uint8_t>{tok::kMOV, tok::kMOV, tok::kA, tok::kA, tok::kR7, tok::kAR0}));
  EXPECT_EQ(LineTokens("NOP ; comment, with tokens").All(), std::vector<uint8_t>{tok::kNOP});
}

TEST(Tokenizer, WordsLongerThanFourteenAreNeverReserved) {
  EXPECT_EQ(LineTokens("BITADDRESSABLEX").All(), std::vector<uint8_t>{tok::kIdentifier});
  LineTokens longWord(std::string(40, 'Q'));
  longWord.All();
  EXPECT_EQ(longWord.C().scan.AsmIdentifier.size(), 32u);
  // Labels keep thirty-two characters.
  const std::string label(40, 'L');
  auto a = Assemble(label + ": NOP\n SJMP " + label + "\n END\n");
  EXPECT_TRUE(a.Codes().empty());
  EXPECT_EQ(a.Symbol(std::string(32, 'L')).Value, 0u);
}

TEST(Tokenizer, NumbersAndLocationCounter) {
  LineTokens t("0FFH 101B $");
  EXPECT_EQ(GetAsmToken(t.C()), tok::kValue);
  EXPECT_EQ(t.C().scan.AsmValue, 255);
  EXPECT_EQ(GetAsmToken(t.C()), tok::kValue);
  EXPECT_EQ(t.C().scan.AsmValue, 5);
  EXPECT_EQ(GetAsmToken(t.C()), tok::kValue);  // "$" past column 2 is the location counter
  EXPECT_EQ(LineTokens("$MODE").All().front(), tok::kControl);
  LineTokens p("ADD A,#1");  // peeking does not consume
  EXPECT_EQ(PeekAsmToken(p.C()), tok::kADD);
  EXPECT_EQ(PeekAsmToken(p.C()), tok::kADD);
  EXPECT_EQ(GetAsmToken(p.C()), tok::kADD);
  EXPECT_EQ(PeekAsmToken(p.C()), tok::kA);
  EXPECT_EQ(p.All(), (std::vector<uint8_t>{tok::kA, tok::kComma, tok::kHash, tok::kValue}));
}

TEST(Tokenizer, DollarAsTheLastOperandIsTheLocationCounter) {
  auto a = Assemble(" ORG 10H\n SJMP $\n DJNZ R7,$\n MOV A,#($)\n END\n");
  EXPECT_EQ(a.Codes(), std::vector<uint16_t>{100});  // "$" directly before ")"
  EXPECT_EQ(a.Bytes(0x10, 4), (std::vector<uint8_t>{0x80, 0xFE, 0xDF, 0xFE}));
}

TEST(Tokenizer, PredefinedNamesMatchWholeNames) {
  AsmContext c;
  SetControlDefaults(c);
  c.CpuMode = 52;
  EXPECT_TRUE(LookupPredefinedSymbol(c, "RCAP2L"));
  EXPECT_FALSE(LookupPredefinedSymbol(c, "RCAP2LX"));
  EXPECT_FALSE(LookupPredefinedSymbol(c, "RCAP2"));
  // A user label that begins like a register is the user's own.
  auto a = Assemble("$MODE(52)\nRCAP2LX: NOP\nSCONX EQU 5\n END\n");
  EXPECT_TRUE(a.Codes().empty());
  EXPECT_EQ(a.Symbol("SCONX").Value, 5u);
}

// The SFR and bit addresses have three owners: the assembler's predefined
// names, the processor definitions (the shipped database) and the simulator's
// names. Wherever two of them name the same register or bit, they agree.
TEST(Tokenizer, PredefinedNamesAgreeWithTheProcessorDefinitionsAndTheSimulator) {
  ResetSession();
  Messages().ShowMessageBoxes = false;
  ASSERT_TRUE(ReadCpuDatabase(std::string(DORVIK_BIN_DIR) + "/dorvik51.qpf"));
  // The definitions spell two timer-2 bits with an underscore. EINT and EBUF
  // are the assembler's alone; its bit DATA is never met (a reserved word).
  const std::map<std::string_view, std::string_view> spelled = {{"CPRL2", "CP_RL2"}, {"CT2", "C_T2"}};
  const std::set<std::string_view> assemblerOnly = {"EINT", "EBUF", "DATA"};
  AsmContext c;
  SetControlDefaults(c);
  // The row a name finds in Mode (a name listed twice finds its later row), or null.
  auto rowOf = [&c](int mode, std::string_view name) -> const PredefinedSymbolRow* {
    c.CpuMode = static_cast<uint16_t>(mode);
    return LookupPredefinedSymbol(c, name) ? &kPredefinedSymbols[c.scan.PredefinedRow] : nullptr;
  };
  for (const int mode : {51, 52, 44}) {
    ASSERT_TRUE(SelectCpu(std::to_string(mode)));
    for (const PredefinedSymbolRow& row : kPredefinedSymbols) {
      if (rowOf(mode, row.Name) != &row || assemblerOnly.contains(row.Name)) continue;
      SCOPED_TRACE(std::to_string(mode) + " " + std::string(row.Name));
      const auto alias = spelled.find(row.Name);
      const auto entry = FindCpuEntryByName(alias == spelled.end() ? row.Name : alias->second);
      ASSERT_TRUE(entry);
      EXPECT_EQ(entry->Value, row.Address);
      EXPECT_EQ(entry->Kind & 7, row.IsBit == kPredefBit ? kCpuSpaceBit : kCpuSpaceDirect);
    }
  }
  const auto pswBit = [](uint8_t mask) { return static_cast<uint8_t>(sfr::PSW + std::countr_zero(mask)); };
  const std::pair<std::string_view, uint8_t> simulator[] = {
      {"P0", sfr::P0},         {"SP", sfr::SP},           {"DPL", sfr::DPL},         {"DPH", sfr::DPH},
      {"TCON", sfr::TCON},     {"TMOD", sfr::TMOD},       {"TL0", sfr::TL0},         {"TL1", sfr::TL1},
      {"TH0", sfr::TH0},       {"TH1", sfr::TH1},         {"P1", sfr::P1},           {"SCON", sfr::SCON},
      {"P2", sfr::P2},         {"IE", sfr::IE},           {"P3", sfr::P3},           {"IP", sfr::IP},
      {"RCAP2L", sfr::RCAP2L}, {"RCAP2H", sfr::RCAP2H},   {"TL2", sfr::TL2},         {"TH2", sfr::TH2},
      {"PSW", sfr::PSW},       {"ACC", sfr::ACC},         {"B", sfr::B},             {"CY", pswBit(psw::CY)},
      {"AC", pswBit(psw::AC)}, {"F0", pswBit(psw::F0)},   {"RS1", pswBit(psw::RS1)}, {"RS0", pswBit(psw::RS0)},
      {"OV", pswBit(psw::OV)}, {"P", pswBit(psw::P)}};
  ASSERT_TRUE(SelectCpu("52"));
  for (const auto& [name, address] : simulator) {
    SCOPED_TRACE(name);
    const auto entry = FindCpuEntryByName(name);
    ASSERT_TRUE(entry);
    EXPECT_EQ(entry->Value, address);
    ASSERT_TRUE(rowOf(52, name));
    EXPECT_EQ(rowOf(52, name)->Address, address);
  }
  ASSERT_TRUE(SelectCpu("ADUC812"));
  EXPECT_EQ(FindCpuEntryByName("DPP")->Value, sfr::DPP);
  ResetSession();
}

TEST(Tokenizer, RegisterBankAliasesNeedABank) {
  auto a = Assemble("$NOREGISTERBANK\n MOV A,AR2\n USING 1\n MOV A,AR2\n END\n");
  EXPECT_TRUE(a.Codes().empty());
  EXPECT_EQ(a.Bytes(0, 4), (std::vector<uint8_t>{0xE5, 0x02, 0xE5, 0x0A}));
}

// Cross-reference entries {line, defining}; PUBLIC-list names are uses.
TEST(Tokenizer, CrossReferencesRecordDefinitionsAndUses) {
  const struct {
    const char* Source;
    std::vector<std::pair<uint32_t, int>> Entries;
  } cases[] = {{"$XREF\nX EQU 1\n MOV A,#X\n MOV A,#X\n END\n", {{2, 1}, {3, 0}, {4, 0}}},
               {"$XREF\n PUBLIC L\nL: NOP\n END\n", {{2, 0}, {3, 1}}}};
  for (const auto& k : cases) {
    auto a = Assemble(k.Source);
    std::vector<std::pair<uint32_t, int>> entries;
    for (const auto& x : a.C().sym.Xref) entries.emplace_back(x.Line, x.Defining);
    EXPECT_EQ(entries, k.Entries) << k.Source;
  }
}

}  // namespace
}  // namespace dorvik::as
