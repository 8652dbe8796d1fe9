#pragma once
// Fake serial targets on pseudo-terminals: a monitor board and an ADuC chip
// that answer the protocols of docs/serial-protocol.md. Each fake runs in a
// child process of its own, with this project's simulator as its processor,
// so GO, breaks, steps and memory behave like a board's; the test's engine
// opens the pseudo-terminal's device like a serial port. The fake records
// every byte it receives; a control channel reads the record and the fake's
// memory, writes memory and switches on faults.

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstring>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "access/target.h"
#include "base/runstate.h"
#include "base/session.h"
#include "base/text.h"
#include "lang/formatting.h"
#include "machine/disassembler.h"
#include "machine/opcodes.h"
#include "machine/images.h"
#include "machine/simulator.h"
#include "platform/reporter.h"

namespace dorvik::testing {

// What a fake does wrong on purpose, from the next command on.
enum class Fault : uint8_t {
  None,
  Silent,      // reads everything, answers nothing
  Split,       // every reply byte alone, with a pause before each
  // These three strike once, after Arg commands passed.
  Garbage,     // answers a command with bytes that mean nothing
  Nak,         // refuses a command (monitor: NAK and its error text; ADuC: NAK)
  Overlong,    // answers a command with more bytes than the receive buffer holds
  CloseAfter,  // closes the line after Arg more received bytes
  NeverHalt,   // the running program ignores every request to stop (an ADuC step never reports)
  ResetOnHalt, // ADuC: asked to stop, the chip resets itself and answers 07H
  Hold,        // monitor: its output is held from now on until an XON arrives (no fault after that)
  Cut,         // the next reply stops after half of its bytes (the command itself is done)
  Refuse,      // ADuC: every code page packet is refused (NAK) from now on
  Version3,    // monitor: from now on a version 3 monitor, which does not acknowledge HEX records
  Announce,    // ADuC: after Arg commands or packets passed, the chip resets itself and announces itself
  // These four strike once.
  StartRefused,     // the next start (monitor GO, ADuC 'S' or 'J') is refused; the program does not start
  StartUnanswered,  // the next start is not answered; the program does not start
  GarbledStop,      // the next stop report arrives as bytes that are no report
  CutStop,          // the next stop report stops after half of its bytes
};

class FakeTarget {
 public:
  enum class Kind : uint8_t { Monitor, Aduc };

  explicit FakeTarget(Kind kind) : kind_(kind) {
    if (openpty(&master_, &slave_, nullptr, nullptr, nullptr) != 0) return;
    device_ = ttyname(slave_);
    // A serial line has no echo and no line editing, also before the debugger opens it.
    termios t{};
    tcgetattr(slave_, &t);
    cfmakeraw(&t);
    tcsetattr(slave_, TCSANOW, &t);
    int ctl[2];
    if (socketpair(AF_UNIX, SOCK_STREAM, 0, ctl) != 0) return;
    pid_ = fork();
    if (pid_ == 0) {
      close(ctl[0]);
      close(slave_);
      slave_ = -1;
      ctl_ = ctl[1];
      fcntl(master_, F_SETFL, fcntl(master_, F_GETFL) | O_NONBLOCK);
      ChildMain();
      _exit(0);
    }
    close(ctl[1]);
    ctl_ = ctl[0];
    // The line's other end belongs to the child alone: when it closes, the line is dead.
    close(master_);
    master_ = -1;
  }
  ~FakeTarget() {
    if (ctl_ >= 0) close(ctl_);
    if (pid_ > 0) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
    if (master_ >= 0) close(master_);
    if (slave_ >= 0) close(slave_);
  }
  FakeTarget(const FakeTarget&) = delete;
  FakeTarget& operator=(const FakeTarget&) = delete;

  bool Started() const { return pid_ > 0; }
  const std::string& Device() const { return device_; }

  // Every byte received so far (what was already on its way is taken first).
  std::string Received() {
    Request('L', {});
    return ReadReply();
  }
  // The record starts again.
  void ClearReceived() {
    Request('C', {});
    ReadReply();
  }
  // The fake's memory (spaces as the engine numbers them: 0 code, 1 external data, 2 direct, 3 internal).
  std::vector<uint8_t> Memory(uint8_t space, uint16_t addr, uint16_t count) {
    Request('M', {space, uint8_t(addr >> 8), uint8_t(addr), uint8_t(count >> 8), uint8_t(count)});
    const std::string r = ReadReply();
    return std::vector<uint8_t>(r.begin(), r.end());
  }
  void Poke(uint8_t space, uint16_t addr, const std::vector<uint8_t>& bytes) {
    std::vector<uint8_t> args{space, uint8_t(addr >> 8), uint8_t(addr)};
    args.insert(args.end(), bytes.begin(), bytes.end());
    Request('P', args);
    ReadReply();
  }
  void SetFault(Fault fault, uint32_t arg = 0) {
    Request('F', {uint8_t(fault), uint8_t(arg >> 8), uint8_t(arg)});
    ReadReply();
  }
  // Bytes the target sends of its own accord (a banner after a power-up).
  void SendUnsolicited(const std::string& bytes) {
    Request('U', std::vector<uint8_t>(bytes.begin(), bytes.end()));
    ReadReply();
  }
  // Bytes sent again every 50 ms until the line says something (a board that
  // announces itself when its line is opened, whenever that is).
  void AnnounceUntilSpokenTo(const std::string& bytes) {
    Request('W', std::vector<uint8_t>(bytes.begin(), bytes.end()));
    ReadReply();
  }
  // How many replies the fake has sent (each one a round trip the engine waited for).
  uint32_t Replies() {
    Request('N', {});
    const std::string r = ReadReply();
    uint32_t n = 0;
    if (r.size() == 4) std::memcpy(&n, r.data(), 4);
    return n;
  }
  // The monitor stops the running program by itself (the board's own stop key): "NO BREAK".
  void StopByItself() {
    Request('K', {});
    ReadReply();
  }
  // The ADuC resets itself now (its watchdog): the program is gone and the chip announces itself.
  void ResetByItself() {
    Request('R', {});
    ReadReply();
  }
  // The line goes dead now (the cable pulled).
  void Hangup() {
    Request('X', {});
    ReadReply();
  }
  // The PC of the fake's processor and whether its program runs.
  uint16_t Pc() {
    Request('G', {});
    const std::string r = ReadReply();
    return r.size() >= 2 ? uint16_t(uint8_t(r[0]) << 8 | uint8_t(r[1])) : 0;
  }
  bool Running() {
    Request('G', {});
    const std::string r = ReadReply();
    return r.size() >= 3 && r[2] != 0;
  }

 private:
  // Parent side of the control channel: a letter, a length and the arguments;
  // the reply is a length and its bytes.
  void Request(char letter, const std::vector<uint8_t>& args) {
    std::string msg(1, letter);
    const uint32_t n = static_cast<uint32_t>(args.size());
    msg.append(reinterpret_cast<const char*>(&n), 4);
    msg.append(args.begin(), args.end());
    WriteAll(ctl_, msg);
  }
  std::string ReadReply() {
    uint32_t n = 0;
    if (!ReadExactly(ctl_, reinterpret_cast<char*>(&n), 4)) return {};
    std::string r(n, '\0');
    if (n && !ReadExactly(ctl_, r.data(), n)) return {};
    return r;
  }
  static void WriteAll(int fd, const std::string& s) {
    for (size_t done = 0; done < s.size();) {
      const ssize_t k = write(fd, s.data() + done, s.size() - done);
      if (k <= 0) return;
      done += static_cast<size_t>(k);
    }
  }
  static bool ReadExactly(int fd, char* p, size_t n) {
    while (n) {
      const ssize_t k = read(fd, p, n);
      if (k <= 0) return false;
      p += k;
      n -= static_cast<size_t>(k);
    }
    return true;
  }

  // ---- The child: the target itself ----

  void ChildMain() {
    // The child's own session: a simulator of its own.
    platform::ScriptedReporter quiet;
    platform::SetReporter(&quiet);
    ResetSession();
    InstallTargetAccess();
    Run().TargetKind = kTargetSimulator;
    Run().TargetReady = true;
    SimReset();
    for (;;) {
      pollfd p[2] = {{master_, POLLIN, 0}, {ctl_, POLLIN, 0}};
      const int n = poll(p, master_ >= 0 ? 2 : 1, running_ ? 0 : 20);
      (void)n;
      if (master_ >= 0 && (p[0].revents & POLLIN)) ReadLine();
      if (p[master_ >= 0 ? 1 : 0].revents & (POLLIN | POLLHUP)) {
        if (!Control()) return;
      }
      if (master_ < 0) {
        // The line is closed: only the control channel is served.
        pollfd c{ctl_, POLLIN, 0};
        if (poll(&c, 1, 20) > 0 && !Control()) return;
        continue;
      }
      if (running_) RunSlice();
      if (!announce_.empty() && std::chrono::steady_clock::now() - lastAnnounce_ > std::chrono::milliseconds(50)) {
        lastAnnounce_ = std::chrono::steady_clock::now();
        Send(announce_);
      }
    }
  }

  void ReadLine() {
    uint8_t buf[512];
    for (;;) {
      if (master_ < 0) return;
      const ssize_t k = read(master_, buf, sizeof buf);
      if (k <= 0) return;
      announce_.clear();
      for (ssize_t i = 0; i < k; ++i) {
        log_ += static_cast<char>(buf[i]);
        if (fault_ == Fault::CloseAfter && faultArg_ > 0 && --faultArg_ == 0) {
          close(master_);
          master_ = -1;
          return;
        }
        if (kind_ == Kind::Monitor)
          MonitorByte(buf[i]);
        else
          AducByte(buf[i]);
      }
    }
  }

  bool Control() {
    char letter = 0;
    uint32_t n = 0;
    if (!ReadExactly(ctl_, &letter, 1) || !ReadExactly(ctl_, reinterpret_cast<char*>(&n), 4)) return false;
    std::string args(n, '\0');
    if (n && !ReadExactly(ctl_, args.data(), n)) return false;
    auto u = [&](size_t i) { return i < args.size() ? uint8_t(args[i]) : uint8_t{0}; };
    std::string reply;
    MemoryImages& m = Images();
    switch (letter) {
      case 'L':
        ReadLine();
        reply = log_;
        break;
      case 'C':
        ReadLine();
        log_.clear();
        break;
      case 'M': {
        const uint16_t a = uint16_t(u(1) << 8 | u(2)), c = uint16_t(u(3) << 8 | u(4));
        for (uint32_t i = 0; i < c; ++i) reply += static_cast<char>(Peek(u(0), static_cast<uint16_t>(a + i)));
        break;
      }
      case 'P': {
        const uint16_t a = uint16_t(u(1) << 8 | u(2));
        for (size_t i = 3; i < args.size(); ++i) PokeByte(u(0), static_cast<uint16_t>(a + i - 3), u(i));
        break;
      }
      case 'F':
        fault_ = static_cast<Fault>(u(0));
        faultArg_ = uint32_t(u(1) << 8 | u(2));
        if (fault_ == Fault::Hold) {
          held_ = true;
          fault_ = Fault::None;
        }
        if (fault_ == Fault::Version3) {
          version3_ = true;
          fault_ = Fault::None;
        }
        break;
      case 'U':
        Reply(args);
        break;
      case 'W':
        announce_ = args;
        break;
      case 'G':
        reply = {char(m.SimPC >> 8), char(m.SimPC), char(running_)};
        break;
      case 'N':
        reply.assign(reinterpret_cast<const char*>(&replies_), 4);
        break;
      case 'K':
        if (!running_) break;
        running_ = false;
        Run().ProgramRunning = false;
        cause_ = "NO BREAK";
        Reply("\r\nNO BREAK\r\n-");
        break;
      case 'R':
        running_ = false;
        Run().ProgramRunning = false;
        SimReset();
        Reply("ADI 841\r\n");
        break;
      case 'X':
        if (master_ >= 0) close(master_);
        master_ = -1;
        break;
      default:
        break;
    }
    const uint32_t len = static_cast<uint32_t>(reply.size());
    WriteAll(ctl_, std::string(reinterpret_cast<const char*>(&len), 4) + reply);
    return true;
  }

  static uint8_t Peek(uint8_t space, uint16_t a) {
    MemoryImages& m = Images();
    switch (space) {
      case kSpaceCode: return m.CodeImage[a];
      case kSpaceXData: case kSpacePagedXData: return m.XDataImage[a];
      case kSpaceDirect: return a < 0x80 ? m.IDataImage[a & 0xFF] : m.SfrImage[a & 0xFF];
      case kSpaceIData: return m.IDataImage[a & 0xFF];
      default: return 0xFF;
    }
  }
  static void PokeByte(uint8_t space, uint16_t a, uint8_t v) {
    MemoryImages& m = Images();
    switch (space) {
      case kSpaceCode: m.CodeImage[a] = v; CodeImageChanged(a); break;
      case kSpaceXData: case kSpacePagedXData: m.XDataImage[a] = v; break;
      case kSpaceDirect: (a < 0x80 ? m.IDataImage[a & 0xFF] : m.SfrImage[a & 0xFF]) = v; break;
      case kSpaceIData: m.IDataImage[a & 0xFF] = v; break;
      default: break;
    }
  }

  // Sends a reply as the fault asks; held output waits for XON.
  void Reply(std::string bytes) {
    if (master_ < 0 || fault_ == Fault::Silent) return;
    if (fault_ == Fault::Cut) {
      fault_ = Fault::None;
      bytes.resize(bytes.size() / 2);
    }
    ++replies_;
    if (held_) {
      heldOut_ += bytes;
      return;
    }
    Send(bytes);
  }
  // XON: what was held goes out.
  void Release() {
    held_ = false;
    Send(std::exchange(heldOut_, {}));
  }
  void Send(const std::string& bytes) {
    if (master_ < 0) return;
    if (fault_ == Fault::Split) {
      for (char c : bytes) {
        std::this_thread::sleep_for(std::chrono::milliseconds(15));
        if (write(master_, &c, 1) != 1) return;
      }
      return;
    }
    for (size_t done = 0; done < bytes.size();) {
      const ssize_t k = write(master_, bytes.data() + done, bytes.size() - done);
      if (k <= 0) {
        if (k < 0 && errno == EAGAIN) {
          std::this_thread::sleep_for(std::chrono::milliseconds(1));
          continue;
        }
        return;
      }
      done += static_cast<size_t>(k);
    }
  }
  // Takes a one-shot fault for the command at hand: true when it answered instead.
  bool FaultAnswered(const std::string& nak) {
    if (fault_ == Fault::Garbage || fault_ == Fault::Nak || fault_ == Fault::Overlong || fault_ == Fault::Announce) {
      // Arg: commands that still pass before the fault strikes.
      if (faultArg_ > 0) {
        --faultArg_;
        return false;
      }
    }
    switch (fault_) {
      case Fault::Garbage:
        fault_ = Fault::None;
        Reply("#?\x01Z!%garbage&*");
        return true;
      case Fault::Nak:
        fault_ = Fault::None;
        Reply(nak);
        return true;
      case Fault::Overlong:
        fault_ = Fault::None;
        Reply(std::string(3000, 'A'));
        return true;
      case Fault::Announce:
        fault_ = Fault::None;
        running_ = false;
        Run().ProgramRunning = false;
        SimReset();
        Reply("ADI 841\r\n");
        return true;
      default:
        return false;
    }
  }

  // ---- The processor ----

  // One slice of the running program; a stop is reported by the kind's own way.
  void RunSlice() {
    MemoryImages& m = Images();
    for (int i = 0; i < 2000 && running_; ++i) {
      const uint16_t pc = static_cast<uint16_t>(m.SimPC);
      if (!firstStep_ && kind_ == Kind::Monitor) {
        if ((till_ & 1) && br_[0].Set && pc == br_[0].Address) return MonitorStopped("BR0");
        if ((till_ & 2) && br_[1].Set && pc == br_[1].Address) return MonitorStopped("BR1");
      }
      firstStep_ = false;
      Run().ProgramRunning = true;
      const StepResult r = SimStep(pc);
      if (r == StepResult::BreakOpcode) {
        if (kind_ == Kind::Monitor) return MonitorStopped("BREAK OPCODE");
        return AducStopped(static_cast<uint16_t>(pc + 1));
      }
      if (r != StepResult::Executed) return MonitorStopped("ERROR");
    }
  }

  // ---- The monitor ----

  struct MonitorBreak {
    bool Set = false;
    uint16_t Address = 0;
  };

  static std::string Hex2(uint8_t v) { return FormatHex2(v); }
  static std::string Hex4(uint16_t v) { return FormatHex4(v); }
  static bool ParseHex(const std::string& s, uint32_t& v) {
    if (s.empty() || s.size() > 6) return false;
    v = 0;
    for (char c : s) {
      const uint8_t d = HexDigitValue(c);
      if (d > 15) return false;
      v = v * 16 + d;
    }
    return true;
  }
  static std::vector<std::string> Words(const std::string& s) {
    std::vector<std::string> w;
    size_t i = 0;
    while (i < s.size()) {
      while (i < s.size() && s[i] == ' ') ++i;
      size_t j = i;
      while (j < s.size() && s[j] != ' ') ++j;
      if (j > i) w.push_back(s.substr(i, j - i));
      i = j;
    }
    return w;
  }

  void MonitorByte(uint8_t b) {
    // XON is flow control, in every mode: output that was held goes on.
    if (b == 17) {
      if (held_) Release();
      return;
    }
    if (loading_) return LoadByte(b);
    if (running_) {
      if (b == 'U' && fault_ != Fault::NeverHalt) MonitorStopped("USER BREAK");
      return;
    }
    if (b == 27) {
      line_.clear();
      stepMode_ = false;
      Reply("\r\n-");
      return;
    }
    // Step mode takes nothing but ESC.
    if (stepMode_) return;
    if (b != '\r') {
      if (line_.size() < 200) line_ += static_cast<char>(b);
      return;
    }
    const std::string line = UpperCase(TrimBlanks(line_));
    line_.clear();
    if (fault_ == Fault::Silent) return;
    if (FaultAnswered("\x15" "ERR 05 COMMAND REFUSED\r\n-")) return;
    MonitorCommand(line);
  }

  void MonitorError(const std::string& code, const std::string& text) { Reply("\x15" "ERR " + code + " " + text + "\r\n-"); }

  void MonitorStopped(const std::string& why) {
    running_ = false;
    Run().ProgramRunning = false;
    cause_ = why;
    const std::string report =
        "\r\nEXECUTION HALTED AT " + Hex4(static_cast<uint16_t>(Images().SimPC)) + "H BECAUSE OF " + why + "\r\n-";
    // Garbled: the line's text with bit 7 set (line noise), as long as the report.
    std::string garbage = report;
    for (size_t i = 2; i + 3 < garbage.size(); ++i) garbage[i] = static_cast<char>(garbage[i] | 0x80);
    Reply(AsTheFaultLeavesIt(report, garbage));
  }
  // A stop report as a one-shot fault leaves it: garbled or cut.
  std::string AsTheFaultLeavesIt(std::string report, const std::string& garbage) {
    if (fault_ == Fault::GarbledStop) report = garbage;
    if (fault_ == Fault::CutStop) report.resize(report.size() / 2);
    if (fault_ == Fault::GarbledStop || fault_ == Fault::CutStop) fault_ = Fault::None;
    return report;
  }
  // The start command under a one-shot fault: true when it was refused or went unanswered.
  bool StartFailed(const std::string& refusal) {
    if (fault_ != Fault::StartRefused && fault_ != Fault::StartUnanswered) return false;
    const bool refused = fault_ == Fault::StartRefused;
    fault_ = Fault::None;
    if (refused) Reply(refusal);
    return true;
  }

  static bool SpaceOfWord(const std::string& w, uint8_t& space) {
    static const char* kWords[] = {"CBYT", "XBYT", "RBYT", "DBYT", "RBIT", "", "PBYT", "EBYT"};
    for (uint8_t s = 0; s < 8; ++s)
      if (*kWords[s] && w == kWords[s]) {
        space = s;
        return true;
      }
    return false;
  }
  static uint8_t ReadMonitorByte(uint8_t space, uint32_t a) {
    if (space == kSpaceBit) {
      const uint8_t bit = static_cast<uint8_t>(a);
      const uint8_t byte = bit < 0x80 ? Images().IDataImage[0x20 + bit / 8] : Images().SfrImage[bit & 0xF8];
      return (byte >> (bit & 7)) & 1;
    }
    return Peek(space, static_cast<uint16_t>(a));
  }

  // "NAME" of a register and its width in hex digits; false when it is none.
  static bool RegisterOf(const std::string& name, int& digits) {
    static const char* kWide[] = {"PC", "DPTR", "PPC", "TM0", "TM1", "BR0", "BR1"};
    for (const char* w : kWide)
      if (name == w) return digits = 4, true;
    if (name == "RBS" || (name.size() == 2 && name[0] == 'R' && name[1] >= '0' && name[1] <= '7')) return digits = 2, true;
    return false;
  }
  uint32_t RegisterValue(const std::string& name) {
    MemoryImages& m = Images();
    const uint8_t bank = (m.SfrImage[sfr::PSW] & 0x18) >> 3;
    if (name == "PC") return static_cast<uint16_t>(m.SimPC);
    if (name == "PPC") return m.PrevPC;
    if (name == "DPTR") return m.SfrImage[sfr::DPH] * 256u + m.SfrImage[sfr::DPL];
    if (name == "TM0") return m.SfrImage[sfr::TH0] * 256u + m.SfrImage[sfr::TL0];
    if (name == "TM1") return m.SfrImage[sfr::TH1] * 256u + m.SfrImage[sfr::TL1];
    if (name == "RBS") return bank;
    if (name[0] == 'R') return m.IDataImage[8u * bank + static_cast<uint32_t>(name[1] - '0')];
    return 0;
  }
  void SetRegister(const std::string& name, uint32_t v) {
    MemoryImages& m = Images();
    const uint8_t bank = (m.SfrImage[sfr::PSW] & 0x18) >> 3;
    if (name == "PC") m.SimPC = static_cast<int32_t>(v & 0xFFFF);
    else if (name == "PPC") m.PrevPC = static_cast<uint16_t>(v);
    else if (name == "DPTR") m.SfrImage[sfr::DPH] = uint8_t(v >> 8), m.SfrImage[sfr::DPL] = uint8_t(v);
    else if (name == "TM0") m.SfrImage[sfr::TH0] = uint8_t(v >> 8), m.SfrImage[sfr::TL0] = uint8_t(v);
    else if (name == "TM1") m.SfrImage[sfr::TH1] = uint8_t(v >> 8), m.SfrImage[sfr::TL1] = uint8_t(v);
    else if (name == "BR0" || name == "BR1") br_[name[2] - '0'] = {true, static_cast<uint16_t>(v)};
    else if (name == "RBS") m.SfrImage[sfr::PSW] = uint8_t((m.SfrImage[sfr::PSW] & ~0x18) | ((v & 3) << 3));
    else if (name[0] == 'R') m.IDataImage[8u * bank + static_cast<uint32_t>(name[1] - '0')] = static_cast<uint8_t>(v);
  }

  // The step line: the stop address, up to three code bytes in six columns, the mnemonic.
  static std::string StepLine(uint16_t pc) {
    const auto& code = Images().CodeImage;
    const std::string text = Disassemble(pc, code[pc] | code[uint16_t(pc + 1)] << 8 | uint32_t{code[uint16_t(pc + 2)]} << 16);
    std::string bytes = TrimBlanks(text.substr(kDisasBytesColumn, kDisasMnemonicColumn - kDisasBytesColumn));
    bytes.resize(6, ' ');
    return Hex4(pc) + " " + bytes + TrimBlanks(text.substr(std::min(text.size(), kDisasMnemonicColumn)));
  }

  void MonitorCommand(const std::string& line) {
    MemoryImages& m = Images();
    const std::vector<std::string> w = Words(line);
    if (w.empty()) return Reply("\r\n-");
    const size_t eq = line.find('=');
    uint8_t space = 0;
    uint32_t a = 0, b = 0;
    int digits = 0;
    if (line == "LOAD") {
      loading_ = true;
      record_.clear();
      return Reply("HEX LOAD MODE\r\n");
    }
    if (line == "RES CH") {
      SimReset();
      br_[0] = br_[1] = {};
      return Reply("\r\nOVIX-52 V4.0 USER 0000\r\n-");
    }
    if (line == "S") {
      m.PrevPC = static_cast<uint16_t>(m.SimPC);
      Run().ProgramRunning = true;
      Simulator().StoppedAtBreak = -1;
      SimStep(static_cast<uint16_t>(m.SimPC));
      Run().ProgramRunning = false;
      stepMode_ = true;
      return Reply(StepLine(static_cast<uint16_t>(m.SimPC)) + "\r\n");  // step mode: ESC ends it
    }
    if (w[0] == "GO" || w[0] == "G") {
      // GO FROM a [ARM a] (TILL BR0 | TILL BR1 | TILL BR | FOREVER); G, F and T for GO, FROM and TILL
      if (w.size() < 4 || (w[1] != "FROM" && w[1] != "F") || !ParseHex(w[2], a)) return MonitorError("02", "SYNTAX");
      if (StartFailed("\x15" "ERR 05 COMMAND REFUSED\r\n-")) return;
      size_t i = 3;
      if (w[i] == "ARM") i += 2;
      till_ = 0;
      if (i + 1 < w.size() && (w[i] == "TILL" || w[i] == "T")) till_ = w[i + 1] == "BR0" ? 1 : w[i + 1] == "BR1" ? 2 : w[i + 1] == "BR" ? 3 : 0;
      else if (i >= w.size() || w[i] != "FOREVER") return MonitorError("02", "SYNTAX");
      m.SimPC = static_cast<int32_t>(a & 0xFFFF);
      running_ = true;
      firstStep_ = true;
      Simulator().StoppedAtBreak = -1;
      return Reply("EXECUTION BEGUN\r\n");
    }
    // The BR query's line; ESC brings the monitor back to its prompt.
    if (line == "BR") return Reply(std::string("BR=") + (breakSwitch_ ? "ON" : "OFF") + "\r\n");
    if (line == "BR=ON" || line == "BR=OFF") {
      breakSwitch_ = line == "BR=ON";
      return Reply("\r\n-");
    }
    if (w[0] == "RESE" && w.size() == 2) {
      if (w[1] == "BR0" || w[1] == "BR") br_[0] = {};
      if (w[1] == "BR1" || w[1] == "BR") br_[1] = {};
      return Reply("\r\n-");
    }
    if (line == "CAUS") return Reply((cause_.empty() ? std::string("NONE") : cause_) + "\r\n-");
    if (line == "REGI") {
      const uint8_t bank = (m.SfrImage[sfr::PSW] & 0x18) >> 3;
      std::string second;
      for (int r = 0; r < 8; ++r) second += (r ? " R" : "R") + std::to_string(r) + "=" + Hex2(m.IDataImage[8u * bank + r]);
      // A list of two lines: the monitor holds the second until XON.
      Reply("PC=" + Hex4(uint16_t(m.SimPC)) + " ACC=" + Hex2(m.SfrImage[sfr::ACC]) + " B=" +
            Hex2(m.SfrImage[sfr::B]) + " PSW=" + Hex2(m.SfrImage[sfr::PSW]) + " SP=" + Hex2(m.SfrImage[sfr::SP]) +
            " DPTR=" + Hex4(uint16_t(RegisterValue("DPTR"))) + "\r\n");
      // The second line waits for XON; ESC brings the monitor back to its prompt.
      held_ = true;
      return Reply(second + "\r\n");
    }
    if (w[0] == "CB" && eq != std::string::npos && ParseHex(TrimBlanks(line.substr(3, eq - 3)), a)) {
      const std::vector<std::string> values = Split(line.substr(eq + 1));
      for (size_t i = 0; i < values.size(); ++i) {
        if (!ParseHex(values[i], b)) return MonitorError("03", "BAD VALUE");
        PokeByte(kSpaceCode, static_cast<uint16_t>(a + i), static_cast<uint8_t>(b));
      }
      return Reply("\r\n-");
    }
    if (RegisterOf(w[0].substr(0, w[0].find('=')), digits)) {
      const std::string name = w[0].substr(0, w[0].find('='));
      if (eq == std::string::npos) {
        if ((name == "BR0" || name == "BR1") && !br_[name[2] - '0'].Set) return Reply(name + "=RESET\r\n-");
        const uint32_t v = name == "BR0" || name == "BR1" ? br_[name[2] - '0'].Address : RegisterValue(name);
        return Reply(name + "=" + (digits == 4 ? Hex4(uint16_t(v)) : Hex2(uint8_t(v))) + "\r\n-");
      }
      if (!ParseHex(TrimBlanks(line.substr(eq + 1)), a)) return MonitorError("03", "BAD VALUE");
      SetRegister(name, a);
      return Reply("\r\n-");
    }
    if (SpaceOfWord(w[0], space)) {
      if (space == kSpaceEeprom) return MonitorError("04", "NO EEPROM");
      const std::string head = eq == std::string::npos ? line : line.substr(0, eq);
      const std::vector<std::string> hw = Words(head);
      if (hw.size() < 2 || !ParseHex(hw[1], a)) return MonitorError("02", "SYNTAX");
      b = a;
      if (hw.size() == 4 && hw[2] == "TO" && !ParseHex(hw[3], b)) return MonitorError("02", "SYNTAX");
      if (b < a) return MonitorError("02", "SYNTAX");
      if (eq == std::string::npos) {
        std::string reply = w[0] + " " + Hex4(uint16_t(a)) + "=";
        for (uint32_t x = a; x <= b; ++x) reply += (x == a ? "" : " ") + Hex2(ReadMonitorByte(space, x));
        return Reply(reply + "\r\n-");
      }
      const std::string rhs = TrimBlanks(line.substr(eq + 1));
      const std::vector<std::string> rw = Words(rhs);
      uint8_t srcSpace = 0;
      if (!rw.empty() && SpaceOfWord(rw[0], srcSpace)) {
        uint32_t s = 0, e = 0;
        if (rw.size() != 4 || !ParseHex(rw[1], s) || rw[2] != "TO" || !ParseHex(rw[3], e) || e < s)
          return MonitorError("02", "SYNTAX");
        std::vector<uint8_t> bytes;
        for (uint32_t x = s; x <= e; ++x) bytes.push_back(Peek(srcSpace, uint16_t(x)));
        for (size_t i = 0; i < bytes.size(); ++i) PokeByte(space, uint16_t(a + i), bytes[i]);
        return Reply("\r\n-");
      }
      const std::vector<std::string> values = Split(rhs);
      std::vector<uint8_t> bytes;
      for (const std::string& v : values) {
        if (!ParseHex(v, b) || b > 0xFF) return MonitorError("03", "BAD VALUE");
        bytes.push_back(uint8_t(b));
      }
      if (bytes.empty()) return MonitorError("03", "BAD VALUE");
      const uint32_t end = hw.size() == 4 ? b : a + bytes.size() - 1;
      uint32_t endAddr = 0;
      if (hw.size() == 4) ParseHex(hw[3], endAddr);
      const uint32_t last = hw.size() == 4 ? endAddr : end;
      for (uint32_t x = a, i = 0; x <= last; ++x, ++i) {
        const uint8_t v = bytes[i % bytes.size()];
        if (space == kSpaceBit) {
          const uint8_t bit = uint8_t(x);
          uint8_t& byte = bit < 0x80 ? m.IDataImage[0x20 + bit / 8] : m.SfrImage[bit & 0xF8];
          byte = v ? uint8_t(byte | (1u << (bit & 7))) : uint8_t(byte & ~(1u << (bit & 7)));
        } else {
          PokeByte(space, uint16_t(x), v);
        }
      }
      return Reply("\r\n-");
    }
    MonitorError("01", "UNKNOWN COMMAND");
  }
  // HEX load mode: records ":llaaaatt..cc" CR LF; a data record is acknowledged
  // by "." after its checksum; the end record leaves the mode with the prompt.
  void LoadByte(uint8_t b) {
    if (b == 27) {
      loading_ = false;
      return Reply("\r\n-");
    }
    if (b == '\r' || b == '\n') {
      if (endSeen_ && b == '\n') {
        loading_ = endSeen_ = false;
        Reply("\r\n-");
      }
      return;
    }
    record_ += static_cast<char>(b);
    if (record_.size() < 11 || record_[0] != ':') return;
    uint32_t len = 0;
    ParseHex(record_.substr(1, 2), len);
    if (record_.size() < 11 + 2 * len) return;
    uint32_t addr = 0, type = 0, v = 0, sum = 0;
    ParseHex(record_.substr(3, 4), addr);
    ParseHex(record_.substr(7, 2), type);
    for (size_t i = 1; i + 1 < record_.size(); i += 2) {
      ParseHex(record_.substr(i, 2), v);
      sum += v;
    }
    const std::string record = record_;
    record_.clear();
    if (FaultAnswered("\x15" "ERR 06 CHECKSUM\r\n-") || (sum & 0xFF) != 0) {
      // The error answer ends the load mode: what follows is read as commands.
      loading_ = false;
      if ((sum & 0xFF) != 0) MonitorError("06", "CHECKSUM");
      return;
    }
    if (type == 1) {
      endSeen_ = true;
      return;
    }
    for (uint32_t i = 0; i < len; ++i) {
      ParseHex(record.substr(9 + 2 * i, 2), v);
      PokeByte(kSpaceCode, uint16_t(addr + i), uint8_t(v));
    }
    if (!version3_) Reply(".");
  }

  static std::vector<std::string> Split(const std::string& s) {
    std::vector<std::string> out;
    size_t at = 0;
    for (;;) {
      const size_t c = s.find(',', at);
      out.push_back(TrimBlanks(s.substr(at, c == std::string::npos ? std::string::npos : c - at)));
      if (c == std::string::npos) break;
      at = c + 1;
    }
    return out;
  }

  // ---- The ADuC ----

  static uint8_t Check(uint32_t sum) { return static_cast<uint8_t>(0x100 - (sum & 0xFF)); }

  void AducByte(uint8_t b) {
    in_.push_back(b);
    while (!in_.empty()) {
      if (in_[0] == 0x07) {
        // A download packet: 07H 0EH N command data check, or a page: 07H 'Q' page, 256 bytes, check.
        if (in_.size() < 3) return;
        const size_t total = in_[1] == 'Q' ? 260 : size_t{in_[2]} + 4;
        if (in_.size() < total) return;
        std::vector<uint8_t> packet(in_.begin(), in_.begin() + static_cast<std::ptrdiff_t>(total));
        in_.erase(in_.begin(), in_.begin() + static_cast<std::ptrdiff_t>(total));
        AducPacket(packet);
        continue;
      }
      if (in_.size() < 3) return;
      const uint8_t letter = in_[0], arg = in_[1], check = in_[2];
      in_.erase(in_.begin(), in_.begin() + 3);
      if (fault_ == Fault::Silent) continue;
      if (check != Check(uint32_t{letter} + arg)) {
        Reply("\x15");
        in_.clear();
        continue;
      }
      if (FaultAnswered("\x15")) continue;
      AducFrame(static_cast<char>(letter), arg);
    }
  }

  void AducPacket(const std::vector<uint8_t>& p) {
    if (fault_ == Fault::Silent || FaultAnswered("\x15")) return;
    if (p[1] == 'Q' && fault_ == Fault::Refuse) return Reply("\x15");
    if (p[1] == 'Q') {
      uint32_t pageSum = 0;
      for (size_t i = 2; i < 259; ++i) pageSum += p[i];
      if (p[259] != Check(pageSum)) return Reply("\x15");
      for (size_t i = 0; i < 256; ++i) PokeByte(kSpaceCode, uint16_t(p[2] * 256 + i), p[3 + i]);
      return Reply("\x06");
    }
    uint32_t sum = 0;
    for (size_t i = 2; i + 1 < p.size(); ++i) sum += p[i];
    if (p[1] != 0x0E || p.back() != Check(sum)) return Reply("\x15");
    MemoryImages& m = Images();
    const char command = static_cast<char>(p[3]);
    const std::vector<uint8_t> data(p.begin() + 4, p.end() - 1);
    if (command == 'W' && data.size() >= 3) {
      const uint16_t a = uint16_t(data[1] << 8 | data[2]);
      for (size_t i = 3; i < data.size(); ++i) PokeByte(kSpaceCode, uint16_t(a + i - 3), data[i]);
    } else if (command == 'C' || command == 'A') {
      m.CodeImage.fill(0xFF);
      CodeImageChanged();
    }
    Reply("\x06");
  }

  uint8_t SfrRead(uint8_t a) {
    MemoryImages& m = Images();
    if (a == sfr::SP) return static_cast<uint8_t>(m.SfrImage[sfr::SP] + 2);
    if (a == 0xC6) return static_cast<uint8_t>(flash_);
    if (a == 0xC7) return static_cast<uint8_t>(flash_ >> 8);
    if (a == 0xA7) return ctlCode_;
    if (a == 0xAF) return ctlX_;
    return m.SfrImage[a];
  }
  void SfrWrite(uint8_t a, uint8_t v) {
    MemoryImages& m = Images();
    if (a == sfr::SP) m.SfrImage[sfr::SP] = static_cast<uint8_t>(v - 2);
    else if (a == 0xC6) flash_ = uint16_t((flash_ & 0xFF00) | v);
    else if (a == 0xC7) flash_ = uint16_t((flash_ & 0x00FF) | v << 8);
    else if (a == 0xA7) ctlCode_ = v;
    else if (a == 0xAF) ctlX_ = v;
    else if (a == 0x8E) startPc_ = uint16_t((startPc_ & 0x00FF) | v << 8);
    else if (a == 0x8F) startPc_ = uint16_t((startPc_ & 0xFF00) | v);
    else m.SfrImage[a] = v;
  }
  uint16_t Dptr() const { return uint16_t(Images().SfrImage[sfr::DPH] << 8 | Images().SfrImage[sfr::DPL]); }
  void SetDptr(uint16_t v) {
    Images().SfrImage[sfr::DPH] = uint8_t(v >> 8);
    Images().SfrImage[sfr::DPL] = uint8_t(v);
  }
  void Single(char letter, uint8_t v) { Reply(std::string{letter, char(v), char(Check(uint32_t(uint8_t(letter)) + v))}); }
  void Block(char letter, const std::vector<uint8_t>& data) {
    std::string r(1, letter);
    uint32_t sum = 0;
    for (uint8_t d : data) r += static_cast<char>(d), sum += d;
    r += static_cast<char>(Check(sum));
    Reply(r + "\r\n");
  }
  std::string BreakReport(uint16_t pc) {
    MemoryImages& m = Images();
    const uint8_t bank = (m.SfrImage[sfr::PSW] & 0x18) >> 3;
    const uint8_t bytes[5] = {m.SfrImage[sfr::ACC], m.SfrImage[sfr::PSW], m.IDataImage[8u * bank], uint8_t(pc >> 8), uint8_t(pc)};
    std::string r = "B";
    uint32_t sum = 0;
    for (uint8_t x : bytes) r += static_cast<char>(x), sum += x;
    return r + static_cast<char>(Check(sum));
  }
  void AducStopped(uint16_t reportedPc) {
    running_ = false;
    Run().ProgramRunning = false;
    Reply(AsTheFaultLeavesIt(BreakReport(reportedPc), "\x8B\x13\xF0"));
  }

  // Starts at startPc_ with the code byte the debugger named (under a planted break).
  void AducStart() {
    MemoryImages& m = Images();
    m.SimPC = startPc_;
    Simulator().Planted.clear();
    Simulator().StoppedAtBreak = -1;
    if (m.CodeImage[startPc_] == kBreakOpcode && codeAtPc_ != kBreakOpcode) {
      Simulator().Planted.push_back({startPc_, codeAtPc_});
      Simulator().StoppedAtBreak = startPc_;
    }
  }

  void AducFrame(char letter, uint8_t arg) {
    MemoryImages& m = Images();
    if (running_) {
      if (fault_ == Fault::NeverHalt) return;
      if (fault_ == Fault::ResetOnHalt) {
        // The chip resets itself; its kernel answers the single byte 07H and waits for commands.
        running_ = false;
        Run().ProgramRunning = false;
        SimReset();
        return Reply("\x07");
      }
      // Any command stops the program; the kernel answers it as when stopped
      // ('R' 1, the halt, in the single-byte form) and sends no break report.
      running_ = false;
      Run().ProgramRunning = false;
    }
    const uint8_t bank = (m.SfrImage[sfr::PSW] & 0x18) >> 3;
    switch (letter) {
      case 'I': operand_ = arg; return Reply("\x06");
      case 'F': SfrWrite(arg, operand_); return Reply("\x06");
      case 'W': m.IDataImage[operand_] = arg; return Reply("\x06");
      case 'M': m.XDataImage[Dptr()] = arg; SetDptr(uint16_t(Dptr() + 1)); return Reply("\x06");
      case 'A':
        // Flash programming clears bits only.
        m.CodeImage[flash_] &= arg;
        CodeImageChanged(flash_);
        ++flash_;
        return Reply("\x06");
      case 'P':
        for (int i = 0; i < 64; ++i) m.CodeImage[(flash_ & 0xFFC0) + i] = 0xFF;
        CodeImageChanged();
        return Reply("\x06");
      case 'Y': case 'D': {
        if (arg == 0) {
          // The count 0: one byte, in the single-byte form.
          const uint8_t v = letter == 'Y' ? m.CodeImage[Dptr()] : m.XDataImage[Dptr()];
          SetDptr(uint16_t(Dptr() + 1));
          return Single(letter, v);
        }
        const int n = arg;
        std::vector<uint8_t> data;
        for (int i = 0; i < n; ++i) {
          data.push_back(letter == 'Y' ? m.CodeImage[Dptr()] : m.XDataImage[Dptr()]);
          SetDptr(uint16_t(Dptr() + 1));
        }
        return Block(letter, data);
      }
      case 'V': {
        if (arg != 0) return Single('V', SfrRead(arg));
        std::vector<uint8_t> dump;
        for (int a = 0xFF; a >= 0x80; --a) dump.push_back(SfrRead(uint8_t(a)));
        return Block('V', dump);
      }
      case 'R': {
        if (arg != 0) return Single('R', m.IDataImage[arg]);
        std::vector<uint8_t> dump;
        for (int a = 0xFF; a >= 0x01; --a) dump.push_back(m.IDataImage[a]);
        return Block('R', dump);
      }
      case 'H': codeAtPc_ = arg; return Reply("\x06");
      case 'T': m.SfrImage[sfr::ACC] = arg; return Reply("\x06");
      case 'S': case 'J': {
        if (StartFailed("\x15")) return;
        m.SfrImage[sfr::PSW] = arg;
        m.IDataImage[8u * ((arg & 0x18) >> 3)] = operand_;
        AducStart();
        Reply("\x06");
        if (letter == 'S') {
          running_ = true;
          return;
        }
        if (fault_ == Fault::NeverHalt) return;  // a step that never comes back
        Run().ProgramRunning = true;
        SimStep(static_cast<uint16_t>(m.SimPC));
        Run().ProgramRunning = false;
        return Reply(BreakReport(static_cast<uint16_t>(m.SimPC)));
      }
      case 'Z':
        SimReset();
        return Reply("ADI 841\r\n");
      default:
        (void)bank;
        return Reply("\x15");
    }
  }

  Kind kind_;
  int master_ = -1;
  int slave_ = -1;
  int ctl_ = -1;
  pid_t pid_ = -1;
  std::string device_;
  // The child's state
  std::string log_;
  Fault fault_ = Fault::None;
  uint32_t faultArg_ = 0;
  uint32_t replies_ = 0;
  bool running_ = false;
  bool loading_ = false;
  bool endSeen_ = false;
  std::string record_;
  bool firstStep_ = false;
  std::string line_;
  MonitorBreak br_[2];
  int till_ = 0;
  bool breakSwitch_ = false;
  bool stepMode_ = false;
  bool version3_ = false;
  std::string announce_;  // sent every 50 ms until a byte arrives
  std::chrono::steady_clock::time_point lastAnnounce_{};  // no acknowledgements of HEX records
  bool held_ = false;     // output waits for XON
  std::string heldOut_;
  std::string cause_;
  std::vector<uint8_t> in_;
  uint8_t operand_ = 0;
  uint16_t flash_ = 0;
  uint8_t ctlCode_ = 0, ctlX_ = 0;
  uint16_t startPc_ = 0;
  uint8_t codeAtPc_ = 0;
};

}  // namespace dorvik::testing
