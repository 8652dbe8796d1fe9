#include "assembler/statements.h"

#include <gtest/gtest.h>

#include "asm_test_util.h"

namespace dorvik::as {
namespace {

using testing::Assemble;
using testing::HexBytesAt;

constexpr const char* kQuiet = "NOPRINT NOOBJECT";

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
  };
  for (const auto& k : cases) {
    auto a = Assemble("st_errors", k.Source, kQuiet);
    EXPECT_EQ(a.Codes(), k.Codes) << k.Source;
    if (!a.C().ErrorLog.empty()) {
      EXPECT_EQ(a.C().ErrorLog[0].Line, k.FirstLine) << k.Source;
    }
  }
}

TEST(Statements, SetRedefinesButEquDoesNot) {
  auto a = Assemble("st_set", "X SET 1\nX SET 2\nY EQU X\n END\n", kQuiet);
  EXPECT_TRUE(a.Codes().empty());
  EXPECT_EQ(a.Symbol("X").Value, 2u);
  EXPECT_EQ(a.Symbol("Y").Value, 2u);
}

TEST(Statements, RegisterEquatesAndTypedDefinitions) {
  auto a = Assemble("st_reg", "CNT EQU R3\nACCU EQU A\nV DATA 30H\nF BIT 20H.1\n"
                              " MOV CNT,#1\n END\n",
                    "NOPRINT NOOBJECT");
  EXPECT_TRUE(a.Codes().empty());
  EXPECT_EQ(a.Symbol("CNT").Kind, kind::kRegister);
  EXPECT_EQ(a.Symbol("CNT").Value, 3u);
  EXPECT_EQ(a.Symbol("ACCU").Value, 10u);
  EXPECT_EQ(a.Symbol("V").Kind, kind::kData);
  EXPECT_EQ(a.Symbol("F").Value, 1u);
}

TEST(Statements, DataBytesAndWords) {
  auto a = Assemble("st_db", " DB 1,'AB',300,-1\n DW 1234H,'AB'\n END\n", "NOPRINT NOOBJECT");
  EXPECT_EQ(a.Count(115), 1u);
  const auto bytes = HexBytesAt(a.Output(".hex"), 0, 10);
  EXPECT_EQ(bytes, (std::vector<uint8_t>{1, 'A', 'B', 0x2C, 0xFF, 0x12, 0x34, 'A', 'B', 0}));
  EXPECT_EQ(a.C().Counters[0], 9u);
  // A two-character string with an operator is the number 4142H (cut to a byte);
  // a longer string stored whole cannot take part in an operation.
  auto b = Assemble("st_dbstr", " DB 'AB'+1,2\n DB 'ABC'+1\n END\n", "NOPRINT NOOBJECT");
  EXPECT_EQ(b.Codes(), (std::vector<uint16_t>{115, 100}));
  EXPECT_EQ(HexBytesAt(b.Output(".hex"), 0, 2), (std::vector<uint8_t>{0x43, 2}));
}

TEST(Statements, SegmentsAndLocationCounters) {
  const std::string src =
      " CSEG AT 100H\n"
      " NOP\n"
      " ORG 80H\n"          // below the AT address: 129, counter unchanged
      " DSEG AT 30H\n"
      "V1: DS 2\n"
      " CSEG\n"             // resumes at 101H
      "L1: NOP\n"
      " DSEG\n"
      "V2: DS 1\n"
      " END\n";
  auto a = Assemble("st_segs", src, kQuiet);
  EXPECT_EQ(a.Codes(), std::vector<uint16_t>{129});
  EXPECT_EQ(a.Symbol("L1").Value, 0x101u);
  EXPECT_EQ(a.Symbol("V1").Value, 0x30u);
  EXPECT_EQ(a.Symbol("V2").Value, 0x32u);
  EXPECT_EQ(a.Symbol("V2").Kind, kind::kData);
}

TEST(Statements, UsingSelectsBanks) {
  auto a = Assemble("st_using", " USING 4\n USING 2\n MOV A,AR1\n END\n", kQuiet);
  EXPECT_EQ(a.Codes(), std::vector<uint16_t>{135});
  EXPECT_TRUE(a.C().RegisterBanks[2]);
  EXPECT_EQ(a.C().CurrentBank, 2);
  const auto bytes = HexBytesAt(a.Output(".hex"), 0, 2);
  EXPECT_EQ(bytes, (std::vector<uint8_t>{0xE5, 0x11}));
}

TEST(Statements, ReservedRegisterAliasAsLabel) {
  auto a = Assemble("st_ar", "AR3: NOP\n END\n", kQuiet);
  EXPECT_EQ(a.Codes(), std::vector<uint16_t>{139});
  EXPECT_EQ(HexBytesAt(a.Output(".hex"), 0, 1), std::vector<uint8_t>{0x00});
  EXPECT_EQ(a.C().Counters[0], 1u);
}

TEST(Statements, ForwardReferencesKeepByteCountsAcrossPasses) {
  const std::string src =
      " DB LATER, LATER+1\n"
      " DW LATER\n"
      "X EQU 5\n"
      " SJMP LATER\n"
      "LATER: NOP\n"
      " END\n";
  auto a = Assemble("st_fwd", src, kQuiet);
  EXPECT_TRUE(a.Codes().empty());
  EXPECT_EQ(a.Symbol("LATER").Value, 6u);
  EXPECT_EQ(HexBytesAt(a.Output(".hex"), 0, 7),
            (std::vector<uint8_t>{6, 7, 0, 6, 0x80, 0x00, 0x00}));
}

TEST(Statements, StorageAndOriginNeedDefinedValues) {
  for (const char* src : {" DS N\nN EQU 2\n END\n", " ORG N\nN EQU 2\n END\n",
                          " BSEG\n DBIT N\nN EQU 2\n END\n", " CSEG AT N\nN EQU 2\n END\n",
                          "X EQU N\nN EQU 2\n END\n"}) {
    auto a = Assemble("st_defined", src, kQuiet);
    EXPECT_TRUE(a.Has(105)) << src;
    EXPECT_FALSE(a.Has(201)) << src;
  }
}

TEST(Statements, ModuleNameDefaultsToTheSourceBaseName) {
  auto a = Assemble("st_name", " NOP\n END\n", kQuiet, "blink.a51");
  EXPECT_EQ(a.C().ModuleName, "BLINK");
  auto b = Assemble("st_name", " NAME MYMOD\n NOP\n END\n", kQuiet, "blink.a51");
  EXPECT_EQ(b.C().ModuleName, "MYMOD");
  EXPECT_EQ(b.Symbol("MYMOD").Kind, kind::kModuleName);
  auto c = Assemble("st_name", " NOP\n NAME LATE\n END\n", kQuiet);
  EXPECT_TRUE(c.Has(100));
}

TEST(Statements, ExternalsAndPublics) {
  const std::string src =
      " EXTRN CODE (FAR1, FAR2), DATA (D1)\n"
      " PUBLIC START, NEVER\n"
      "START: LCALL FAR2\n"
      " END\n";
  auto a = Assemble("st_ext", src, kQuiet);
  EXPECT_TRUE(a.Has(100));  // a second type list is not part of EXTRN
  auto b = Assemble("st_ext",
                    " EXTRN CODE (FAR1, FAR2)\n PUBLIC START, NEVER\nSTART: LCALL FAR2\n END\n",
                    kQuiet);
  EXPECT_EQ(b.Codes(), std::vector<uint16_t>{114});  // NEVER is never defined
  EXPECT_EQ(b.Symbol("FAR2").Scope, kScopeExternal);
  EXPECT_EQ(b.Symbol("FAR2").Value, 1u);
  EXPECT_EQ(b.Symbol("START").Scope, kScopePublic);
  EXPECT_EQ(b.Symbol("NEVER").Scope, kScopeLocal);
  EXPECT_TRUE(b.C().HasExternals);
  auto c = Assemble("st_ext", "X EQU 1\n EXTRN CODE (X)\n END\n", kQuiet);
  EXPECT_TRUE(c.Has(108));
}

TEST(Statements, RelocatableSegments) {
  const std::string src =
      "PROG SEGMENT CODE\n"
      "BUF SEGMENT XDATA INPAGE\n"
      "BAD SEGMENT DATA INPAGE\n"
      " RSEG PROG\n"
      "L: NOP\n"
      " NOP\n"
      " RSEG BUF\n"
      " DS 300\n"
      " RSEG L\n"
      " RSEG NOSUCH\n"
      " END\n";
  auto a = Assemble("st_rseg", src, kQuiet);
  EXPECT_TRUE(a.Has(134));
  EXPECT_TRUE(a.Has(131));
  EXPECT_TRUE(a.Has(121));
  EXPECT_TRUE(a.Has(114));
  EXPECT_EQ(a.Symbol("PROG").Value, 2u);
  EXPECT_EQ(a.Symbol("PROG").Kind, kind::kSegment + kind::kCode);
  EXPECT_EQ(a.Symbol("L").SegmentId, a.Symbol("PROG").SegmentId);
  EXPECT_FALSE(a.C().HexEligible);
}

TEST(Statements, AbsoluteCodeAfterARelocatableSegmentStillReachesTheHexFile) {
  const std::string src =
      " NOP\n"
      "PROG SEGMENT CODE\n"
      " RSEG PROG\n"
      " MOV A,#1\n"       // relocatable: not in the HEX file
      " CSEG AT 10H\n"
      " MOV A,#2\n"
      " END\n";
  auto a = Assemble("st_hex_rseg", src, kQuiet);
  EXPECT_TRUE(a.Codes().empty());
  const std::string hex = a.Output(".hex");
  EXPECT_EQ(HexBytesAt(hex, 0x10, 2), (std::vector<uint8_t>{0x74, 0x02}));
  EXPECT_EQ(hex.find("7401"), std::string::npos) << hex;
  EXPECT_NE(hex.find(":00000001FF"), std::string::npos);
}

TEST(Statements, LastRelocatableSegmentKeepsItsSize) {
  auto a = Assemble("st_lastseg", "S SEGMENT CODE\n RSEG S\n NOP\n NOP\n NOP\n END\n", kQuiet);
  EXPECT_TRUE(a.Codes().empty());
  EXPECT_EQ(a.Symbol("S").Value, 3u);
  // ORG back to an earlier offset does not shrink the segment.
  auto b = Assemble("st_orgback", "S SEGMENT CODE\n RSEG S\n DS 20\n ORG 4\n NOP\n END\n", kQuiet);
  EXPECT_TRUE(b.Codes().empty());
  EXPECT_EQ(b.Symbol("S").Value, 20u);
}

TEST(Statements, ExternalCountStopsAt255) {
  std::string src;
  for (int i = 0; i < 255; ++i) src += " EXTRN CODE (E" + std::to_string(i) + ")\n";
  src += " END\n";
  auto a = Assemble("st_many_ext", src, kQuiet);
  EXPECT_FALSE(a.Has(132));
  auto b = Assemble("st_many_ext", " EXTRN CODE (EXTRA)\n" + src, kQuiet);
  EXPECT_TRUE(b.Has(132));
}

}  // namespace
}  // namespace dorvik::as
