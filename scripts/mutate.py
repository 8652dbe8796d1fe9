#!/usr/bin/env python3
"""A sample of one-line mutations: how many of them the test suite notices.

Run by hand (not in CI), from anywhere in the work tree:

    scripts/mutate.py              # every mutant
    scripts/mutate.py ID...        # only these (scripts/mutate.py --list shows the ids)
    scripts/mutate.py --list       # the sample, each snippet checked to stand once in its file

Each mutant is data: a file, a snippet of its text that stands exactly once in it, and the
replacement. A snippet that no longer stands once (the code moved on) is reported as stale and
left out of the count; update its row. The script builds the tests in its own folder
(build-mutate, or $MUTATE_BUILD) with -DDORVIK_TESTS=ON -DDORVIK_BENCH=OFF, checks that the
unmutated suite passes, then for each mutant: writes it, rebuilds incrementally, runs ctest
(stopping at the first failure), and puts the file back whatever happens (also on Ctrl-C; a
copy of the original waits in the build folder until then and is put back by the next run if
the script was killed hard). A mutant is killed when a test fails or runs out of time; one that
does not build is reported apart and not counted. Each mutant's build and test output stays in
the build folder's mutate-logs/: a mutant killed by a test that has nothing to do with it may
have met a flaky test, so run it again by its id. $MUTATE_JOBS (default 3) sets the build's and
ctest's parallelism, $MUTATE_TIMEOUT (default 300) a test's time limit in seconds. Keep
$MUTATE_BUILD's path short: the assembler's tests refuse over-long file names under it.

The mutated files are the work tree's own: commit or stash nothing while it runs.
"""

import os
import shutil
import signal
import subprocess
import sys
import time
from dataclasses import dataclass
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent
BUILD = Path(os.environ.get("MUTATE_BUILD", ROOT / "build-mutate"))
JOBS = os.environ.get("MUTATE_JOBS", "3")
TIMEOUT = os.environ.get("MUTATE_TIMEOUT", "300")
BACKUP = BUILD / "mutate-original"


@dataclass
class Mutant:
    id: str
    file: str
    original: str
    replacement: str
    what: str


MUTANTS = [
    # machine/: the simulator and its flags
    Mutant("sim-cjne-carry", "machine/simulator.cpp", "c.SetCarry(first < second);",
           "c.SetCarry(first <= second);", "CJNE sets CY also when the operands are equal"),
    Mutant("sim-rrc-carry", "machine/simulator.cpp", "c.SetCarry(a & 1);", "",
           "RRC A leaves CY alone"),
    Mutant("alu-add-ov", "machine/alu.h", "if (~(a ^ b) & (a ^ r) & 0x80) f |= kOV;", "",
           "ADD/ADDC never set OV"),
    # lang/: evaluator and scanner
    Mutant("eval-ge", "lang/evaluator.cpp", "return truth(left >= right);", "return truth(left > right);",
           ">= compares as >"),
    Mutant("eval-and-precedence", "lang/evaluator.cpp", "case tok::kAND: return 2;", "case tok::kAND: return 1;",
           "AND binds no tighter than OR"),
    Mutant("scan-octal", "lang/scanner.cpp", "case 'O': radix = 8; break;", "case 'O': radix = 10; break;",
           "the O suffix reads decimal"),
    Mutant("scan-less-equal", "lang/scanner.cpp", "token = tok::kLE;", "token = tok::kLT;",
           "<= scans as <"),
    # base/: messages
    Mutant("msg-error-flag", "base/messages.cpp", "  m.ErrorFlag = true;\n  m.LastErrorParams", "  m.LastErrorParams",
           "an error report leaves the error flag down"),
    Mutant("msg-target-error-number", "access/monitorlink.cpp", "static_cast<uint16_t>(hi * 16 + lo)",
           "static_cast<uint16_t>(hi * 10 + lo)", "the monitor's error number read as decimal digits"),
    # objfiles/: HEX and object-module readers
    Mutant("hex-range", "objfiles/intelhex.cpp", "size_t{address} + count > kHexImageSize",
           "size_t{address} + count >= kHexImageSize", "a record ending at FFFFH is refused"),
    Mutant("hex-checksum", "objfiles/intelhex.cpp", "if (!records.Byte(check) || static_cast<uint8_t>(sum + check) != 0)",
           "if (!records.Byte(check))", "a HEX record's checksum is not checked"),
    Mutant("hex-cancel-message", "objfiles/intelhex.cpp", 'ReportError(err::kErrorWhileFile, "loading", fileName);',
           "", "a cancelled HEX load says nothing"),
    Mutant("omf-checksum", "objfiles/omfreader.cpp", "if (sum != 0) return Fail(err::kFileChecksumError);", "",
           "an object record's checksum is not checked"),
    Mutant("omf-public", "objfiles/omfreader.cpp", "if (st_.PublicEntries) cls |= kClassPublic;", "",
           "public symbols lose their public flag"),
    # access/: the ADuC and monitor links
    Mutant("aduc-single-byte-check", "access/aduclink.cpp",
           "if (check != CheckOf(uint32_t{l} + value)) return ProtocolFault(), 0;", "(void)check;",
           "an ADuC single-byte reply with a bad check byte is accepted"),
    Mutant("aduc-break-check", "access/aduclink.cpp", "if (byte(0) != 'B' || byte(6) != CheckOf(sum))",
           "if (byte(0) != 'B')", "an ADuC break report with a bad check byte is accepted"),
    Mutant("aduc-block-end", "access/aduclink.cpp", "check != CheckOf(sum) || cr != '\\r' || lf != '\\n'",
           "check != CheckOf(sum) || lf != '\\n'", "an ADuC block reply without its CR is accepted"),
    Mutant("mon-read-count", "access/monitorlink.cpp", "if (static_cast<int32_t>(bytes.size()) != count) {",
           "if (static_cast<int32_t>(bytes.size()) > count) {", "a short monitor memory reply is accepted"),
    Mutant("mon-register-name", "access/monitorlink.cpp", "name.substr(0, 4) != expected.substr(0, 4)",
           "name.substr(0, 0) != expected.substr(0, 0)", "a monitor register reply naming another register is taken"),
    # assembler/
    Mutant("asm-rel-back", "assembler/encoder.cpp", "if (d <= 128) return", "if (d < 128) return",
           "a jump 128 bytes back is out of range"),
    Mutant("asm-rel-forward", "assembler/encoder.cpp", "} else if (t - next <= 127) {", "} else if (t - next < 127) {",
           "a jump 127 bytes forward is out of range"),
    Mutant("asm-ajmp-bits", "assembler/encoder.cpp", "base | ((target & 0x0700) >> 3)", "base | ((target & 0x0300) >> 3)",
           "AJMP drops address bit 10"),
    Mutant("asm-predefined-exen2", "assembler/tokenizer.cpp", '{"EXEN2", kPredefBit, 0xCB, 3},',
           '{"EXEN2", kPredefBit, 0xCA, 3},', "the assembler's EXEN2 disagrees with the processor definitions"),
    Mutant("def-tclk", "data/cpu/52.def", "sbit TCLK = T2CON^4;", "sbit TCLK = T2CON^5;",
           "the 8052 definition's TCLK disagrees with the assembler"),
    # loader/
    Mutant("loader-stack-search", "loader/loader.cpp", "code[0] == kMovDirectImmediate && code[1] == kSpAddress",
           "code[0] == kMovDirectImmediate || code[1] == kSpAddress",
           "the stack search accepts other than MOV SP,#data"),
    Mutant("loader-nothing-to-do", "loader/loader.cpp",
           "if (!o.LoadCode && !o.LoadLines && !o.LoadSymbols) {\n    ReportWarning(warn::kNothingToDo);",
           "if (!o.LoadCode && !o.LoadLines && !o.LoadSymbols) {", "a load with nothing chosen says nothing"),
    # debugger/, project/, console/, vhw/
    Mutant("bp-overlap", "debugger/breakpoints.cpp", "if (distance <= -patch || distance >= patch) return true;",
           "if (distance <= -patch || distance > patch) return true;", "break registers 3 bytes apart count as overlapping"),
    Mutant("project-baud-message", "project/projectfile.cpp", "ReportError(err::kBadValueBaudCommunicationSpeed);", "",
           "a project's bad baud rate is replaced silently"),
    Mutant("console-baud", "console/commoptions.cpp",
           "if (std::find(offered.begin(), offered.end(), baud) == offered.end()) {",
           "if (offered.empty()) {", "--baud takes any number"),
    Mutant("vhw-read-strobe", "vhw/hardware.cpp",
           "if (p3 & kReadStrobe) SendHardwareAccess(kSpaceSfr, kP3Address, low);", "",
           "an external read does not pull RD low first"),
    # edge values and forms: another call than LCALL, an SFR at x8H, the last bank, a key set to No
    Mutant("trace-acall-length", "debugger/runcontrol.cpp", "if ((op & 0x1F) == 0x11) return 2;",
           "if ((op & 0x1F) == 0x11) return 3;", "TRACE and PSTEP over an ACALL stop one byte late"),
    Mutant("asm-sfr-bit-x8", "assembler/asmexpr.cpp", "    if (b % 8 != 0) {", "    if (b % 16 != 0) {",
           "bits of the SFRs at x8H (TCON, SCON, IE, IP, ...) are refused"),
    Mutant("asm-using-3", "assembler/statements.cpp", "if (v < 0 || v > 3) {", "if (v < 0 || v > 2) {",
           "USING 3 is refused"),
    Mutant("console-auto-load-no", "console/startup.cpp",
           "if (program.empty() && loader.LoadAutomaticallyOnStart) program = loader.LastLoadPath;",
           "if (program.empty()) program = loader.LastLoadPath;",
           "LoadAutomaticallyOnStart=No still loads LastLoadPath"),
]


def run(cmd, log=None, **kw):
    out = subprocess.run(cmd, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True, **kw)
    if log is not None:
        log.write_text(out.stdout)
    return out


def restore_leftover():
    """Puts back a file that a hard-killed run left mutated."""
    if not BACKUP.exists():
        return
    for saved in BACKUP.rglob("*"):
        if saved.is_file():
            target = ROOT / saved.relative_to(BACKUP)
            shutil.copyfile(saved, target)
            print(f"restored {target.relative_to(ROOT)} left mutated by an earlier run")
    shutil.rmtree(BACKUP)


def occurrences(m):
    path = ROOT / m.file
    return path.read_text().count(m.original) if path.exists() else 0


def build(log):
    return run(["cmake", "--build", str(BUILD), "-j", JOBS], log).returncode == 0


def tests(log):
    out = run(["ctest", "-j", JOBS, "--timeout", TIMEOUT, "--stop-on-failure", "--output-on-failure"], log, cwd=BUILD)
    tail = out.stdout.partition("The following tests FAILED:")[2]
    failed = [line.split(" - ", 1)[1].split()[0] for line in tail.splitlines() if " - " in line]
    return out.returncode == 0, failed


def configure():
    if (BUILD / "CMakeCache.txt").exists():
        return True
    gen = ["-G", "Ninja"] if shutil.which("ninja") else []
    out = run(["cmake", "-S", str(ROOT), "-B", str(BUILD), *gen, "-DCMAKE_BUILD_TYPE=Release",
               "-DDORVIK_TESTS=ON", "-DDORVIK_BENCH=OFF", "-DDORVIK_SANITIZE=OFF"])
    if out.returncode != 0:
        print(out.stdout)
    return out.returncode == 0


def on_signal(signum, _frame):
    raise KeyboardInterrupt(f"signal {signum}")


def main(argv):
    if "--list" in argv:
        for m in MUTANTS:
            n = occurrences(m)
            state = "" if n == 1 else f"  STALE: the snippet stands {n} times"
            print(f"{m.id:26} {m.file:26} {m.what}{state}")
        return 0
    chosen = [m for m in MUTANTS if not argv or m.id in argv]
    unknown = set(argv) - {m.id for m in MUTANTS}
    if unknown:
        print("no such mutant:", " ".join(sorted(unknown)))
        return 2
    signal.signal(signal.SIGTERM, on_signal)
    signal.signal(signal.SIGHUP, on_signal)
    BUILD.mkdir(parents=True, exist_ok=True)
    restore_leftover()
    logs = BUILD / "mutate-logs"
    logs.mkdir(exist_ok=True)
    if not configure() or not build(logs / "clean-build.log"):
        print(f"the unmutated tree does not build: {logs / 'clean-build.log'}")
        return 1
    ok, failed = tests(logs / "clean-ctest.log")
    if not ok:
        print(f"the unmutated suite fails ({' '.join(failed)}): {logs / 'clean-ctest.log'}")
        return 1

    results = []
    for m in chosen:
        started = time.monotonic()
        if occurrences(m) != 1:
            results.append((m, "stale", []))
            print(f"{m.id:26} stale (snippet stands {occurrences(m)} times in {m.file})", flush=True)
            continue
        path = ROOT / m.file
        original = path.read_bytes()
        saved = BACKUP / m.file
        saved.parent.mkdir(parents=True, exist_ok=True)
        saved.write_bytes(original)
        try:
            path.write_text(original.decode().replace(m.original, m.replacement, 1))
            if not build(logs / f"{m.id}-build.log"):
                outcome, failed = "no build", []
            else:
                ok, failed = tests(logs / f"{m.id}-ctest.log")
                outcome = "SURVIVED" if ok else "killed"
        finally:
            path.write_bytes(original)
            shutil.rmtree(BACKUP)
        results.append((m, outcome, failed))
        print(f"{m.id:26} {outcome:9} {time.monotonic() - started:5.0f} s  {' '.join(failed[:3])}", flush=True)

    build(logs / "clean-rebuild.log")  # the build folder matches the tree again
    counted = [r for r in results if r[1] in ("killed", "SURVIVED")]
    killed = sum(1 for r in counted if r[1] == "killed")
    survivors = [r[0] for r in counted if r[1] == "SURVIVED"]
    print()
    for m in survivors:
        print(f"survived: {m.id}: {m.what} ({m.file})")
    for m, outcome, _ in results:
        if outcome in ("stale", "no build"):
            print(f"{outcome}: {m.id} ({m.file}); not counted")
    print(f"killed {killed} of {len(counted)}")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
