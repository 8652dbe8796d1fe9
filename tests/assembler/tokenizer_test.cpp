#include "assembler/tokenizer.h"

#include <gtest/gtest.h>

#include "assembler/controls.h"
#include "assembler/source.h"
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
