// Dorvik51 main program. The console debugger's command executor is not built
// yet; until it is, the program starts the engine's services (message boxes on
// the terminal, the processor database beside the executable) and says what is
// available.

#include <filesystem>
#include <iostream>
#include <string>

#include "lang/cpudb.h"
#include "access/target.h"
#include "base/messages.h"
#include "vhw/hardware.h"

namespace {

std::string ProgramPath(const char* argv0) {
  std::error_code ec;
  auto self = std::filesystem::read_symlink("/proc/self/exe", ec);
  return ec ? std::string(argv0) : self.string();
}

}  // namespace

int main(int /*argc*/, char** argv) {
  using namespace dorvik;
  // Wiring: the evaluator reads the target through the access layer, and the
  // simulator's external-data reads go to the virtual hardware.
  InstallTargetAccess();
  vhw::InstallHardwareBus();
  const std::string database = CpuDatabaseNameFor(ProgramPath(argv[0]));
  std::cout << "Dorvik51 - MCS-51 development environment\n";
  if (!ReadCpuDatabase(database) || !LoadCpuDescription()) {
    std::cerr << "The processor database " << database << " could not be read.\n";
    return 1;
  }
  std::cout << "Processor database: " << database << "\nProcessors:";
  for (const auto& name : CpuRecordNames()) std::cout << ' ' << name;
  std::cout << "\nSelected processor: " << CpuDb().CpuName << "\n"
            << "Built so far: messages, command scanner and evaluator, number formatting,\n"
            << "symbol lookups, processor database, disassembler, simulator and the diz52 assembler.\n"
            << "The interactive command console comes with the command executor.\n";
  return 0;
}
