// Sources with inline expectations (tests/assembler/data/cases.txt; its head
// describes the format): encodings, ranges, statements, expressions, controls.

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "tests/assembler/asm_test_util.h"

namespace dorvik::as {
namespace {

using namespace testutil;

struct Case {
  std::string Name, Source, Controls = kQuiet, Hex;
  std::vector<std::string> Checks;  // the "> " lines
  std::vector<std::pair<std::string, std::string>> Files;
  bool End = true, Fatal = false, HexGiven = false, ErrorsGiven = false;
};

std::vector<Case> ReadCases() {
  std::vector<Case> cases;
  for (const std::string& line : SplitLines(ReadFile(fs::path(DORVIK_SOURCE_DIR) / "tests/assembler/data/cases.txt"))) {
    if (line.rfind("== ", 0) == 0) {
      cases.emplace_back();
      cases.back().Name = line.substr(3);
    } else if (cases.empty() || line.rfind('#', 0) == 0) {
      continue;
    } else if (line.rfind("> ", 0) != 0) {
      cases.back().Source += line + "\n";
    } else {
      Case& k = cases.back();
      const std::string check = line.substr(2), word = check.substr(0, check.find(' '));
      const std::string rest = check.size() > word.size() ? check.substr(word.size() + 1) : "";
      if (word == "noend") k.End = false;
      else if (word == "fatal") k.Fatal = true;
      else if (word == "controls") k.Controls = rest;
      else if (word == "hex") k.Hex += rest + "\n", k.HexGiven = true;
      else if (word == "file") k.Files.emplace_back(rest.substr(0, rest.find(' ')), rest.substr(rest.find(' ') + 1));
      else k.Checks.push_back(check);
      k.ErrorsGiven |= word == "errors" || word == "has";
    }
  }
  return cases;
}

TEST(AssemblerCases, SourcesMeetTheirInlineExpectations) {
  const std::vector<Case> cases = ReadCases();
  ASSERT_GT(cases.size(), 100u);
  for (const Case& k : cases) {
    SCOPED_TRACE(k.Name);
    const fs::path dir = ScratchDir(k.Name);
    for (const auto& [name, text] : k.Files) {
      std::string lines = text;
      for (size_t at; (at = lines.find("\\n")) != std::string::npos;) lines.replace(at, 2, "\n");
      WriteFile(dir / name, lines);
    }
    WriteFile(dir / "t.a51", k.Source + (k.End ? " END\n" : ""));
    const Assembly a = AssembleAt(dir / "t.a51", k.Controls);
    EXPECT_EQ(a.Result.Fatal, k.Fatal) << a.Status();
    if (!k.ErrorsGiven && !k.Fatal) {
      EXPECT_EQ(a.Codes(), std::vector<uint16_t>{});
    }
    if (k.HexGiven) {
      EXPECT_EQ(a.Output(".hex"), k.Hex);
    }
    for (const std::string& check : k.Checks) {
      SCOPED_TRACE(check);
      std::istringstream in(check);
      std::string word, name, kind, scope;
      in >> word;
      if (word == "status") {
        EXPECT_NE(a.Status().find(check.substr(7)), std::string::npos) << a.Status();
      } else if (word == "bytes") {
        std::string address;
        in >> address;
        std::vector<uint8_t> bytes;
        for (std::string b; in >> b;) bytes.push_back(static_cast<uint8_t>(std::stoul(b, nullptr, 16)));
        EXPECT_EQ(a.Bytes(static_cast<uint32_t>(std::stoul(address, nullptr, 0)), bytes.size()), bytes);
      } else if (word == "errors") {
        std::vector<uint16_t> codes;
        for (int code; in >> code;) codes.push_back(static_cast<uint16_t>(code));
        EXPECT_EQ(a.Codes(), codes);
      } else if (word == "has" || word == "not") {
        int code = 0;
        in >> code;
        EXPECT_EQ(a.Has(static_cast<uint16_t>(code)), word == "has");
      } else if (word == "line") {
        uint32_t lineNo = 0;
        in >> lineNo;
        ASSERT_FALSE(a.C().ErrorLog.empty());
        EXPECT_EQ(a.C().ErrorLog[0].Line, lineNo);
      } else if (word == "nosym") {
        in >> name;
        EXPECT_EQ(a.Symbol(name).Kind, 255);
      } else if (word == "sym") {
        std::string value;
        in >> name >> value >> kind >> scope;
        const AsmSymbolRec s = a.Symbol(name);
        EXPECT_NE(s.Kind, 255);
        EXPECT_EQ(s.Value, std::stoul(value, nullptr, 0));
        if (!kind.empty() && kind != "-") {
          EXPECT_EQ(s.Kind, std::stoul(kind, nullptr, 0));
        }
        if (!scope.empty()) {
          EXPECT_EQ(s.Scope, std::stoul(scope, nullptr, 0));
        }
      } else {
        ADD_FAILURE() << "unknown check";
      }
    }
  }
}

}  // namespace
}  // namespace dorvik::as
