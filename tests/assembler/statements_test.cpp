#include "assembler/statements.h"

#include <gtest/gtest.h>

#include "assembler/asmhex.h"
#include "tests/assembler/asm_test_util.h"

namespace dorvik::as {
namespace {

using namespace testutil;

// Sources and the errors they report, with the line of the first one.
TEST(Statements, ErrorsOfStatements) {
  struct Case {
    const char* Source;
    std::vector<uint16_t> Codes;
    uint32_t FirstLine;
  };
  const Case cases[] = {
      {"L: NOP\nL: NOP\n END\n", {112}, 2},                  // a label defined twice
      {"X EQU 1\nX SET 2\n END\n", {107}, 2},                // SET after EQU
      {"X EQU 1\nX EQU 2\n END\n", {108}, 2},                // EQU twice
      {"V DATA R3\n END\n", {100}, 1},                       // a register for DATA
      {"C1 CODE 10H\nV DATA C1\n END\n", {123}, 2},          // a code address for DATA
      {" DSEG\n DB 1\n END\n", {116}, 2},                    // directives outside their segment
      {" BSEG\n DS 1\n END\n", {116}, 2},
      {" DSEG\n DBIT 1\n END\n", {116}, 2},
      {" DSEG\n NOP\n END\n", {116}, 2},
      {" DSEG AT 0FFH\n DS 2\n ISEG AT 80H\n END\n", {130, 130}, 2},
      {"ACC EQU 5\nP1: NOP\n END\n", {137, 137}, 1},          // predefined names
      {" NOP\n END\n\n   \n MOV A,B\n", {109}, 5},             // text after END
      {" NOP\n", {110}, 1},                                   // no END
      {"AR3: NOP\n END\n", {139}, 1},                        // a reserved name as label
  };
  for (const auto& k : cases) {
    auto a = Assemble(k.Source);
    EXPECT_EQ(a.Codes(), k.Codes) << k.Source;
    if (!a.C().ErrorLog.empty()) {
      EXPECT_EQ(a.C().ErrorLog[0].Line, k.FirstLine) << k.Source;
    }
  }
}

TEST(Statements, DataBytesAndWords) {
  auto a = Assemble(" DB 1,'AB',300,-1\n DW 1234H,'AB'\n END\n");
  EXPECT_EQ(a.Count(115), 1u);
  EXPECT_EQ(a.Bytes(0, 10), (std::vector<uint8_t>{1, 'A', 'B', 0x2C, 0xFF, 0x12, 0x34, 'A', 'B'}));
  EXPECT_EQ(a.C().Counters[0], 9u);
  // A two-character string with an operator is the number 4142H (cut to a byte);
  // a longer string stored whole cannot take part in an operation.
  auto b = Assemble(" DB 'AB'+1,2\n DB 'ABC'+1\n END\n");
  EXPECT_EQ(b.Codes(), (std::vector<uint16_t>{115, 100}));
  EXPECT_EQ(b.Bytes(0, 2), (std::vector<uint8_t>{0x43, 2}));
}

TEST(Statements, SegmentsAndLocationCounters) {
  // ORG below the AT address: 129, counter unchanged; CSEG resumes at 101H.
  auto a = Assemble(" CSEG AT 100H\n NOP\n ORG 80H\n DSEG AT 30H\nV1: DS 2\n CSEG\nL1: NOP\n DSEG\nV2: DS 1\n END\n");
  EXPECT_EQ(a.Codes(), std::vector<uint16_t>{129});
  EXPECT_EQ(a.Symbol("L1").Value, 0x101u);
  EXPECT_EQ(a.Symbol("V1").Value, 0x30u);
  EXPECT_EQ(a.Symbol("V2").Value, 0x32u);
  EXPECT_EQ(a.Symbol("V2").Kind, kind::kData);
}

TEST(Statements, ForwardReferencesKeepByteCountsAcrossPasses) {
  auto a = Assemble(" DB LATER, LATER+1\n DW LATER\nX EQU 5\n SJMP LATER\nLATER: NOP\n END\n");
  EXPECT_TRUE(a.Codes().empty());
  EXPECT_EQ(a.Symbol("LATER").Value, 6u);
  EXPECT_EQ(a.Bytes(0, 7), (std::vector<uint8_t>{6, 7, 0, 6, 0x80, 0x00, 0x00}));
}

TEST(Statements, StorageAndOriginNeedDefinedValues) {
  for (const char* src : {" DS N\nN EQU 2\n END\n", " ORG N\nN EQU 2\n END\n",
                          " BSEG\n DBIT N\nN EQU 2\n END\n", " CSEG AT N\nN EQU 2\n END\n",
                          "X EQU N\nN EQU 2\n END\n"}) {
    auto a = Assemble(src);
    EXPECT_TRUE(a.Has(105)) << src;
    EXPECT_FALSE(a.Has(201)) << src;
  }
}

TEST(Statements, ModuleNameDefaultsToTheSourceBaseName) {
  auto a = Assemble(" NOP\n END\n", kQuiet, "blink.a51");
  EXPECT_EQ(a.C().ModuleName, "BLINK");
  auto b = Assemble(" NAME MYMOD\n NOP\n END\n", kQuiet, "blink.a51");
  EXPECT_EQ(b.C().ModuleName, "MYMOD");
  EXPECT_EQ(b.Symbol("MYMOD").Kind, kind::kModuleName);
  EXPECT_TRUE(Assemble(" NOP\n NAME LATE\n END\n").Has(100));
}

TEST(Statements, ExternalsAndPublics) {
  // A second type list is not part of EXTRN.
  EXPECT_TRUE(Assemble(" EXTRN CODE (FAR1, FAR2), DATA (D1)\n END\n").Has(100));
  auto b = Assemble(" EXTRN CODE (FAR1, FAR2)\n PUBLIC START, NEVER\nSTART: LCALL FAR2\n END\n");
  EXPECT_EQ(b.Codes(), std::vector<uint16_t>{114});  // NEVER is never defined
  EXPECT_EQ(b.Symbol("FAR2").Scope, kScopeExternal);
  EXPECT_EQ(b.Symbol("FAR2").Value, 1u);
  EXPECT_EQ(b.Symbol("START").Scope, kScopePublic);
  EXPECT_EQ(b.Symbol("NEVER").Scope, kScopeLocal);
  EXPECT_TRUE(b.C().HasExternals);
  EXPECT_TRUE(Assemble("X EQU 1\n EXTRN CODE (X)\n END\n").Has(108));
}

TEST(Statements, RelocatableSegments) {
  auto a = Assemble(
      "PROG SEGMENT CODE\nBUF SEGMENT XDATA INPAGE\nBAD SEGMENT DATA INPAGE\n RSEG PROG\nL: NOP\n NOP\n"
      " RSEG BUF\n DS 300\n RSEG L\n RSEG NOSUCH\n END\n");
  for (uint16_t code : {134, 131, 121, 114}) EXPECT_TRUE(a.Has(code)) << code;
  EXPECT_EQ(a.Symbol("PROG").Value, 2u);
  EXPECT_EQ(a.Symbol("PROG").Kind, kind::kSegment + kind::kCode);
  EXPECT_EQ(a.Symbol("L").SegmentId, a.Symbol("PROG").SegmentId);
  EXPECT_FALSE(a.C().HexEligible);
}

// The HEX file ends at the first RSEG: absolute code after it may wait for the
// linker (the LJMP below), so it is left out and the file gets no end record.
TEST(Statements, HexOutputEndsAtTheFirstRelocatableSegment) {
  auto a = Assemble(
      " NOP\n MOV A,#1\nPROG SEGMENT CODE\n RSEG PROG\nL1: MOV A,#2\n CSEG AT 10H\n LJMP L1\n"
      " MOV A,#3\n END\n");
  EXPECT_TRUE(a.Codes().empty());
  EXPECT_FALSE(a.C().HexEligible);
  EXPECT_EQ(a.Output(".hex"), HexDataRecordText(0, std::vector<uint8_t>{0x00, 0x74, 0x01}) + "\n");
  // Without RSEG the same absolute code ends with the end record.
  auto b = Assemble(" NOP\n CSEG AT 10H\n MOV A,#3\n END\n");
  EXPECT_EQ(b.Output(".hex"), HexDataRecordText(0, std::vector<uint8_t>{0x00}) + "\n" +
                                  HexDataRecordText(0x10, std::vector<uint8_t>{0x74, 0x03}) +
                                  "\n:00000001FF\n");
}

// INBLOCK code segments hold the 2 KB block that AJMP and ACALL reach;
// INPAGE segments one 256-byte page.
TEST(Statements, RelocatedSegmentLimits) {
  const struct {
    const char* Source;
    std::vector<uint16_t> Errors;
  } cases[] = {
      {"S SEGMENT CODE INBLOCK\n RSEG S\n DS 1024\n NOP\n", {}},
      {"S SEGMENT CODE INBLOCK\n RSEG S\n DS 2047\n NOP\n", {}},
      {"S SEGMENT CODE INBLOCK\n RSEG S\n DS 2047\n NOP\n NOP\n", {131}},
      {"S SEGMENT CODE INPAGE\n RSEG S\n DS 255\n NOP\n", {}},
      {"S SEGMENT CODE INPAGE\n RSEG S\n DS 256\n NOP\n", {131}},
  };
  for (const auto& k : cases)
    EXPECT_EQ(Assemble(std::string(k.Source) + " END\n").Codes(), k.Errors) << k.Source;
}

// ORG to the address the counter already has keeps the HEX record whole.
TEST(Statements, OrgToTheCurrentAddressKeepsTheHexRecord) {
  auto a = Assemble(" NOP\n ORG $\n NOP\n ORG 2\n NOP\n ORG 5\n NOP\n END\n");
  EXPECT_TRUE(a.Codes().empty());
  EXPECT_EQ(a.Output(".hex"), HexDataRecordText(0, std::vector<uint8_t>{0, 0, 0}) + "\n" +
                                  HexDataRecordText(5, std::vector<uint8_t>{0}) + "\n:00000001FF\n");
}

TEST(Statements, LastRelocatableSegmentKeepsItsSize) {
  auto a = Assemble("S SEGMENT CODE\n RSEG S\n NOP\n NOP\n NOP\n END\n");
  EXPECT_TRUE(a.Codes().empty());
  EXPECT_EQ(a.Symbol("S").Value, 3u);
  // ORG back to an earlier offset does not shrink the segment.
  auto b = Assemble("S SEGMENT CODE\n RSEG S\n DS 20\n ORG 4\n NOP\n END\n");
  EXPECT_TRUE(b.Codes().empty());
  EXPECT_EQ(b.Symbol("S").Value, 20u);
}

TEST(Statements, ExternalCountStopsAt255) {
  std::string src;
  for (int i = 0; i < 255; ++i) src += " EXTRN CODE (E" + std::to_string(i) + ")\n";
  src += " END\n";
  auto a = Assemble(src);
  EXPECT_FALSE(a.Has(132));
  auto b = Assemble(" EXTRN CODE (EXTRA)\n" + src);
  EXPECT_TRUE(b.Has(132));
}

}  // namespace
}  // namespace dorvik::as
