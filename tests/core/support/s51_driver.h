#pragma once
// Drives the reference simulator s51 (package sdcc-ucsim) in batch mode and
// parses what it prints: the registers after every step, the instruction
// counter, and dumps of internal RAM, SFRs and external-data pages.
//
// One s51 process runs a batch of programs: for each, code, internal RAM and
// external data are filled with 0 (its power-up RAM is pseudo-random), the
// HEX file is loaded, the chip reset, then the program is stepped one
// instruction at a time.

#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/process.h"
#include "tests/core/support/intel_hex_writer.h"
#include "tests/core/support/program_generator.h"

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
  std::array<uint8_t, 256> Sfr{};                     // indexed by SFR address; 80H-FFH used
  std::array<uint8_t, 256 * kXDataPages.size()> XData{};  // the pages of kXDataPages in order
};

struct S51Run {
  std::vector<S51Registers> Steps;  // after step 1, 2, ...
  std::vector<S51Dump> Dumps;       // the first before any step
};

struct S51Plan {
  int Steps = 400;
  int DumpEvery = 25;  // full dumps (with the instruction counter) after every this many steps, and at the end
  // Ask the instruction counter after every step: for programs with
  // interrupts, where one s51 step can run more than one instruction.
  bool StateEachStep = true;
};

// The s51 program, or empty when it is not installed.
inline std::string FindS51() {
  const char* path = std::getenv("PATH");
  std::string dirs = path ? path : "/usr/bin:/bin";
  size_t start = 0;
  while (start <= dirs.size()) {
    size_t end = dirs.find(':', start);
    if (end == std::string::npos) end = dirs.size();
    std::string candidate = dirs.substr(start, end - start) + "/s51";
    if (std::ifstream(candidate).good()) return candidate;
    start = end + 1;
  }
  return {};
}

namespace detail {

inline void AppendDumpCommands(std::string& cmd) {
  cmd += "state\ndi 0 0xff\nds 0x80 0xff\n";
  for (uint8_t page : kXDataPages) {
    char line[64];
    std::snprintf(line, sizeof line, "dx 0x%02x00 0x%02xff\n", page, page);
    cmd += line;
  }
}

// The hexadecimal number at the start of text.
inline std::optional<unsigned> ParseHex(std::string_view text) {
  unsigned value = 0;
  size_t digits = 0;
  for (char c : text) {
    int d = (c >= '0' && c <= '9') ? c - '0' : (c >= 'a' && c <= 'f') ? c - 'a' + 10 : (c >= 'A' && c <= 'F') ? c - 'A' + 10 : -1;
    if (d < 0) break;
    value = value * 16 + static_cast<unsigned>(d);
    ++digits;
  }
  if (digits == 0) return std::nullopt;
  return value;
}

// The hexadecimal number after the last occurrence of key.
inline std::optional<unsigned> HexAfter(std::string_view line, std::string_view key) {
  size_t at = line.rfind(key);
  if (at == std::string_view::npos) return std::nullopt;
  return ParseHex(line.substr(at + key.size()));
}

// "0xAA bb bb bb bb bb bb bb bb ascii": the address and up to 8 bytes.
inline bool ParseDumpLine(std::string_view line, unsigned& address, std::vector<uint8_t>& bytes) {
  if (line.substr(0, 2) != "0x") return false;
  auto a = HexAfter(line.substr(0, line.find(' ')), "0x");
  if (!a) return false;
  address = *a;
  bytes.clear();
  size_t at = line.find(' ');
  while (at != std::string_view::npos && bytes.size() < 8) {
    if (at + 3 > line.size() || line[at] != ' ') break;
    auto hex = [](char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'); };
    if (!hex(line[at + 1]) || !hex(line[at + 2]) || (at + 3 < line.size() && line[at + 3] != ' ')) break;
    bytes.push_back(static_cast<uint8_t>(*ParseHex(line.substr(at + 1, 2))));
    at += 3;
  }
  return !bytes.empty();
}

}  // namespace detail

// The commands of one batch; hex_files[i] holds program i, run by plans[i].
inline std::string S51Commands(const std::vector<std::string>& hex_files, const std::vector<S51Plan>& plans) {
  std::string cmd = "set error stack off\n";
  for (size_t i = 0; i < hex_files.size(); ++i) {
    const S51Plan& plan = plans[i];
    cmd += "fill rom 0 0xffff 0\nfill iram 0 0xff 0\nfill xram 0 0xffff 0\n";
    cmd += "file \"" + hex_files[i] + "\"\nreset\n";
    detail::AppendDumpCommands(cmd);
    for (int s = 1; s <= plan.Steps; ++s) {
      cmd += "step 1\n";
      if (s % plan.DumpEvery == 0 || s == plan.Steps) {
        detail::AppendDumpCommands(cmd);
      } else if (plan.StateEachStep) {
        cmd += "state\n";
      }
    }
  }
  return cmd + "quit\n";
}

// Parses s51's output of a batch of `programs` programs.
class S51OutputParser {
 public:
  explicit S51OutputParser(size_t programs) { runs_.reserve(programs); }

  void Line(std::string_view line) {
    if (line.substr(0, 6) == "file \"") {
      runs_.emplace_back();
      steps_ = 0;
      last_inst_ = -1;
      target_ = Target::None;
      return;
    }
    if (runs_.empty()) return;
    S51Run& run = runs_.back();
    if (line == "step 1") {
      run.Steps.emplace_back();
      ++steps_;
      target_ = Target::Step;
      return;
    }
    if (line == "state") {
      target_ = Target::State;
      return;
    }
    if (line.substr(0, 3) == "di ") {
      run.Dumps.emplace_back();
      run.Dumps.back().AfterStep = steps_;
      run.Dumps.back().Inst = last_inst_;
      target_ = Target::IRam;
      return;
    }
    if (line.substr(0, 3) == "ds ") {
      target_ = Target::Sfr;
      return;
    }
    if (line.substr(0, 3) == "dx ") {
      target_ = Target::XData;
      xpage_ = static_cast<int>(detail::HexAfter(line, "0x").value_or(0) >> 8);
      return;
    }
    switch (target_) {
      case Target::Step: StepLine(run.Steps.back(), line); break;
      case Target::State:
        if (auto inst = InstOf(line)) {
          last_inst_ = *inst;
          if (!run.Steps.empty()) run.Steps.back().Inst = *inst;
        }
        break;
      case Target::IRam: DumpLine(run.Dumps.back().IRam.data(), 256, 0, line); break;
      case Target::Sfr: DumpLine(run.Dumps.back().Sfr.data(), 256, 0, line); break;
      case Target::XData: {
        for (size_t p = 0; p < kXDataPages.size(); ++p) {
          if (kXDataPages[p] == xpage_) {
            DumpLine(run.Dumps.back().XData.data() + 256 * p, 256, static_cast<unsigned>(xpage_) << 8, line);
          }
        }
        break;
      }
      case Target::None: break;
    }
  }

  std::vector<S51Run>& Runs() { return runs_; }

 private:
  enum class Target { None, Step, State, IRam, Sfr, XData };

  static std::optional<int64_t> InstOf(std::string_view line) {
    if (line.substr(0, 6) != "Inst= ") return std::nullopt;
    return std::strtoll(std::string(line.substr(6)).c_str(), nullptr, 10);
  }

  void StepLine(S51Registers& r, std::string_view line) {
    if (line.substr(0, 8) == "Stop at ") {
      r.Pc = static_cast<uint16_t>(detail::HexAfter(line, "Stop at 0x").value_or(0));
    } else if (line.find("ACC= 0x") != std::string_view::npos) {
      r.Acc = static_cast<uint8_t>(detail::HexAfter(line, "ACC= 0x").value_or(0));
      r.B = static_cast<uint8_t>(detail::HexAfter(line, " B= 0x").value_or(0));
    } else if (line.find("PSW= 0x") != std::string_view::npos) {
      r.Psw = static_cast<uint8_t>(detail::HexAfter(line, "PSW= 0x").value_or(0));
    } else if (line.substr(0, 5) == "SP 0x") {
      r.Sp = static_cast<uint8_t>(detail::HexAfter(line.substr(0, 7), "SP 0x").value_or(0));
    } else if (line.find("DPTR= 0x") != std::string_view::npos) {
      r.Dptr = static_cast<uint16_t>(detail::HexAfter(line.substr(0, line.find('@')), "DPTR= 0x").value_or(0));
    } else if (line.find(" R0 R1 R2") != std::string_view::npos) {
      registers_next_ = true;
      return;
    } else if (registers_next_) {
      size_t at = 0;
      for (int i = 0; i < 8; ++i) {
        at = line.find_first_not_of(' ', at);
        if (at == std::string_view::npos) break;
        r.R[i] = static_cast<uint8_t>(detail::ParseHex(line.substr(at, 2)).value_or(0));
        at += 2;
      }
    }
    registers_next_ = false;
  }

  static void DumpLine(uint8_t* mem, unsigned size, unsigned base, std::string_view line) {
    unsigned address = 0;
    std::vector<uint8_t> bytes;
    if (!detail::ParseDumpLine(line, address, bytes)) return;
    for (size_t i = 0; i < bytes.size(); ++i) {
      unsigned a = address - base + static_cast<unsigned>(i);
      if (a < size) mem[a] = bytes[i];
    }
  }

  std::vector<S51Run> runs_;
  int steps_ = 0;
  Target target_ = Target::None;
  int xpage_ = 0;
  bool registers_next_ = false;
  int64_t last_inst_ = -1;
};

// Writes the programs as HEX files into dir, runs one s51 over all of them
// (through the platform's process runner) and returns one run per program
// (fewer when s51 stopped early). The counter after every step is asked only
// for programs with interrupts (s51's output is most of the test's time).
inline std::vector<S51Run> RunS51(const std::string& s51, const std::string& dir,
                                  const std::vector<GeneratedProgram>& programs, const S51Plan& plan) {
  std::vector<std::string> files;
  std::vector<S51Plan> plans;
  for (size_t i = 0; i < programs.size(); ++i) {
    std::string name = dir + "/prog" + std::to_string(i) + ".hex";
    std::ofstream(name) << IntelHexText(programs[i].Code, programs[i].Used);
    files.push_back(name);
    plans.push_back(plan);
    plans.back().StateEachStep = plan.StateEachStep && programs[i].Family == ProgramFamily::Interrupts;
  }
  const std::string cmdfile = dir + "/commands.txt";
  std::ofstream(cmdfile) << S51Commands(files, plans);
  platform::ProcessRequest request;
  request.Argv = {s51, "-b", "-t", "C52", "-C", cmdfile};
  request.OutputPath = dir + "/output.txt";
  request.TimeoutMs = 600'000;
  const platform::ProcessResult result = platform::Processes().Run(request);
  if (result.Status != platform::ProcessStatus::Exited) return {};
  S51OutputParser parser(programs.size());
  std::ifstream output(request.OutputPath);
  std::string line;
  while (std::getline(output, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    parser.Line(line);
  }
  return std::move(parser.Runs());
}

}  // namespace dorvik::testsupport
