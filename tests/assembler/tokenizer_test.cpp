#include "assembler/tokenizer.h"

#include <gtest/gtest.h>

#include <bit>
#include <map>
#include <set>

#include "assembler/controls.h"
#include "base/messages.h"
#include "base/session.h"
#include "lang/cpudb.h"
#include "machine/images.h"
#include "tests/assembler/asm_test_util.h"

namespace dorvik::as {
namespace {

using namespace testutil;

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

}  // namespace
}  // namespace dorvik::as
