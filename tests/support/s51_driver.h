#pragma once
// Drives the reference simulator s51 (package sdcc-ucsim) in batch mode and
// parses what it prints: the registers after every step, the instruction
// counter, and dumps of internal RAM, SFRs and external-data pages.
//
// One s51 process runs a batch of programs: for each, code, internal RAM and
// external data are filled with 0 (its power-up RAM is pseudo-random), the
// HEX file is loaded, the chip reset, then the program is stepped one
// instruction at a time.

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "platform/process.h"
#include "tests/support/program_generator.h"

namespace dorvik::testsupport {

struct S51Registers {
  uint16_t Pc = 0;
  std::array<uint8_t, 8> R{};
  uint8_t Acc = 0, B = 0, Psw = 0, Sp = 0;
  uint16_t Dptr = 0;
  int64_t Inst = -1;  // instruction counter of "state"; -1 when not asked
};

struct S51Dump {
  int AfterStep = 0;  // number of "step 1" commands before the dump
  int64_t Inst = -1;
  std::array<uint8_t, 256> IRam{};
  std::array<uint8_t, 256> Sfr{};                         // indexed by SFR address; 80H-FFH used
  std::array<uint8_t, 256 * kXDataPages.size()> XData{};  // the pages of kXDataPages in order
};

struct S51Run {
  std::vector<S51Registers> Steps;  // after step 1, 2, ...
  std::vector<S51Dump> Dumps;       // the first before any step
};

struct S51Plan {
  int Steps = 400;
  int DumpEvery = 25;  // full dumps (with the instruction counter) after so many steps, and at the end
};

// The s51 program, or empty when it is not installed.
inline std::string FindS51() {
  const char* path = std::getenv("PATH");
  const std::string dirs = path ? path : "/usr/bin:/bin";
  for (size_t start = 0; start <= dirs.size();) {
    const size_t end = std::min(dirs.find(':', start), dirs.size());
    const std::string candidate = dirs.substr(start, end - start) + "/s51";
    if (std::ifstream(candidate).good()) return candidate;
    start = end + 1;
  }
  return {};
}

namespace detail {

// Intel HEX of the used bytes of a 64K image: data records of up to 16 bytes, then the end record.
inline std::string IntelHexText(const std::vector<uint8_t>& image, const std::vector<bool>& used) {
  std::string text;
  auto record = [&text](size_t address, uint8_t type, const uint8_t* data, size_t count) {
    std::vector<uint8_t> raw = {uint8_t(count), uint8_t(address >> 8), uint8_t(address), type};
    raw.insert(raw.end(), data, data + count);
    uint8_t sum = 0;
    for (uint8_t b : raw) sum = static_cast<uint8_t>(sum + b);
    raw.push_back(static_cast<uint8_t>(-sum));
    char hex[3];
    text += ':';
    for (uint8_t b : raw) text += (std::snprintf(hex, sizeof hex, "%02X", b), hex);
    text += '\n';
  };
  for (size_t a = 0, end; a < image.size(); a = end) {
    if (!used[a]) {
      end = a + 1;
      continue;
    }
    for (end = a; end < image.size() && used[end] && end - a < 16;) ++end;
    record(a, 0, image.data() + a, end - a);
  }
  record(0, 1, nullptr, 0);
  return text;
}

inline unsigned Hex(std::string_view text) {
  return static_cast<unsigned>(std::strtoul(std::string(text).c_str(), nullptr, 16));
}

// The hexadecimal number after the last occurrence of key (0 without key).
inline unsigned HexAfter(std::string_view line, std::string_view key) {
  const size_t at = line.rfind(key);
  return at == std::string_view::npos ? 0 : Hex(line.substr(at + key.size()));
}

inline void AppendDumpCommands(std::string& cmd) {
  cmd += "state\ndi 0 0xff\nds 0x80 0xff\n";
  for (uint8_t page : kXDataPages) {
    char line[64];
    std::snprintf(line, sizeof line, "dx 0x%02x00 0x%02xff\n", page, page);
    cmd += line;
  }
}

// Reads "0xAA bb bb bb bb bb bb bb bb ascii" into the memory that starts at base.
inline void ReadDumpLine(std::string_view line, uint8_t* mem, unsigned size, unsigned base) {
  if (line.substr(0, 2) != "0x") return;
  std::istringstream in{std::string(line)};
  std::string word;
  in >> word;
  unsigned a = Hex(word) - base;
  auto is_byte = [](const std::string& w) {
    return w.size() == 2 && std::isxdigit(uint8_t(w[0])) && std::isxdigit(uint8_t(w[1]));
  };
  for (int n = 0; n < 8 && in >> word && is_byte(word); ++n, ++a)
    if (a < size) mem[a] = static_cast<uint8_t>(Hex(word));
}

// One line of the registers s51 prints after a step; true when the next line holds R0..R7.
inline bool ReadStepLine(S51Registers& r, std::string_view line, bool register_values) {
  if (line.substr(0, 8) == "Stop at ") {
    r.Pc = static_cast<uint16_t>(HexAfter(line, "Stop at 0x"));
  } else if (line.find("ACC= 0x") != std::string_view::npos) {
    r.Acc = static_cast<uint8_t>(HexAfter(line, "ACC= 0x"));
    r.B = static_cast<uint8_t>(HexAfter(line, " B= 0x"));
  } else if (line.find("PSW= 0x") != std::string_view::npos) {
    r.Psw = static_cast<uint8_t>(HexAfter(line, "PSW= 0x"));
  } else if (line.substr(0, 5) == "SP 0x") {
    r.Sp = static_cast<uint8_t>(HexAfter(line.substr(0, 7), "SP 0x"));
  } else if (line.find("DPTR= 0x") != std::string_view::npos) {
    r.Dptr = static_cast<uint16_t>(HexAfter(line.substr(0, line.find('@')), "DPTR= 0x"));
  } else if (line.find(" R0 R1 R2") != std::string_view::npos) {
    return true;
  } else if (register_values) {
    std::istringstream in{std::string(line)};
    std::string word;
    for (int i = 0; i < 8 && in >> word; ++i) r.R[i] = static_cast<uint8_t>(Hex(word.substr(0, 2)));
  }
  return false;
}

// Parses s51's output of a batch: one run per loaded program.
inline std::vector<S51Run> ParseS51Output(std::istream& output) {
  enum class Part { None, Step, State, IRam, Sfr, XData } part = Part::None;
  std::vector<S51Run> runs;
  int steps = 0;
  unsigned xpage = 0;
  bool register_values = false;
  int64_t last_inst = -1;
  for (std::string text; std::getline(output, text);) {
    if (!text.empty() && text.back() == '\r') text.pop_back();
    const std::string_view line = text;
    if (line.substr(0, 6) == "file \"") {
      runs.emplace_back();
      steps = 0;
      last_inst = -1;
      part = Part::None;
      continue;
    }
    if (runs.empty()) continue;
    S51Run& run = runs.back();
    if (line == "step 1") {
      run.Steps.emplace_back();
      ++steps;
      part = Part::Step;
    } else if (line == "state") {
      part = Part::State;
    } else if (line.substr(0, 3) == "di ") {
      run.Dumps.push_back({.AfterStep = steps, .Inst = last_inst});
      part = Part::IRam;
    } else if (line.substr(0, 3) == "ds ") {
      part = Part::Sfr;
    } else if (line.substr(0, 3) == "dx ") {
      part = Part::XData;
      xpage = HexAfter(line, "0x") >> 8;
    } else if (part == Part::Step) {
      register_values = ReadStepLine(run.Steps.back(), line, register_values);
    } else if (part == Part::State && line.substr(0, 6) == "Inst= ") {
      last_inst = std::strtoll(text.c_str() + 6, nullptr, 10);
      if (!run.Steps.empty()) run.Steps.back().Inst = last_inst;
    } else if (part == Part::IRam) {
      ReadDumpLine(line, run.Dumps.back().IRam.data(), 256, 0);
    } else if (part == Part::Sfr) {
      ReadDumpLine(line, run.Dumps.back().Sfr.data(), 256, 0);
    } else if (part == Part::XData) {
      for (size_t p = 0; p < kXDataPages.size(); ++p)
        if (kXDataPages[p] == xpage)
          ReadDumpLine(line, run.Dumps.back().XData.data() + 256 * p, 256, xpage << 8);
    }
  }
  return runs;
}

}  // namespace detail

// Writes the programs as HEX files into dir, runs one s51 over all of them
// (through the platform's process runner) and returns one run per program
// (fewer when s51 stopped early). The counter after every step is asked only
// for programs with interrupts (s51's output is most of the test's time).
inline std::vector<S51Run> RunS51(const std::string& s51, const std::string& dir,
                                  const std::vector<GeneratedProgram>& programs, const S51Plan& plan) {
  std::string cmd = "set error stack off\n";
  for (size_t i = 0; i < programs.size(); ++i) {
    const std::string name = dir + "/prog" + std::to_string(i) + ".hex";
    std::ofstream(name) << detail::IntelHexText(programs[i].Code, programs[i].Used);
    cmd += "fill rom 0 0xffff 0\nfill iram 0 0xff 0\nfill xram 0 0xffff 0\nfile \"" + name + "\"\nreset\n";
    detail::AppendDumpCommands(cmd);
    for (int s = 1; s <= plan.Steps; ++s) {
      cmd += "step 1\n";
      if (s % plan.DumpEvery == 0 || s == plan.Steps) {
        detail::AppendDumpCommands(cmd);
      } else if (programs[i].Family == ProgramFamily::Interrupts) {
        cmd += "state\n";
      }
    }
  }
  const std::string cmdfile = dir + "/commands.txt";
  std::ofstream(cmdfile) << cmd << "quit\n";
  platform::ProcessRequest request;
  request.Argv = {s51, "-b", "-t", "C52", "-C", cmdfile};
  request.OutputPath = dir + "/output.txt";
  request.TimeoutMs = 600'000;
  if (platform::Processes().Run(request).Status != platform::ProcessStatus::Exited) return {};
  std::ifstream output(request.OutputPath);
  return detail::ParseS51Output(output);
}

}  // namespace dorvik::testsupport
