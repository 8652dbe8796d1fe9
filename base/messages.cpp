#include "base/messages.h"
#include "base/session.h"

#include <algorithm>
#include <cmath>
#include <iterator>
#include <string>

#include "base/runstate.h"
#include "base/text.h"
#include "platform/clock.h"
#include "platform/files.h"
#include "platform/pump.h"
#include "platform/reporter.h"

namespace dorvik {

namespace {

// One row per message, as the catalogue stands.
// clang-format off
constexpr tErrType kErrorMessages[] = {
    {100, 1, "RS-232 initialization failed (Device not present?)"},
    {101, 1, "Bad value of baud communication speed, set to default (19200Bd)."},
    {102, 1, "Bad communication port number, set to first available COM%s"},
    {103, 1, "Receiv timeout"},
    {104, 1, "Transmit timeout"},
    {105, 1, "Framing error (protocol)"},
    {106, 1, "File \"%s\" doesn't exist"},
    {107, 1, "Target error: \"%s\""},
    {108, 1, "External process executing timeout"},
    {109, 1, "Assembly impossible"},
    {110, 1, "File is write-protected"},
    {111, 1, "On chip data segment address expected"},
    {112, 1, "Special function register segment address expected"},
    {113, 1, "Data segment address expected"},
    {114, 1, "Code segment address expected"},
    {115, 1, "Xdata segment address expected"},
    {116, 1, "Bit segment address expected"},
    {117, 1, "Location is not bit addressable"},
    {118, 1, "Syntax Error"},
    {119, 1, "File %s is not correct HEX file"},
    {120, 1, "Error while %s file %s, processing aborted by the user"},
    {121, 1, "File %s is not valid object file"},
    {122, 1, "File checksum error"},
    {123, 1, "File %s is non-absolute object file"},
    {124, 1, "Integer-type operands in range 0 to 4294967294 (0FFFFFFFFH) required"},
    {125, 1, "Floating-point expression out of range"},
    {126, 1, "Arithmetic owerflow in numeric expression"},
    {127, 1, "Divide by zero"},
    {128, 1, "Can't redefine system predefined symbol"},
    {129, 1, "Invalid mnemonic"},
    {130, 1, "Bad CPU code"},
    {131, 1, "Symbol not known for current CPU"},
    {132, 1, "Invalid base"},
    {133, 1, "Expression too complex"},
    {135, 1, "Number too large"},
    {136, 1, "File I/O error"},
    {137, 1, "Symbol \"%s\" not known"},
    {138, 1, "Internal error when seeking in symbol table"},
    {139, 1, "Symbol \"%s\" is not a module name"},
    {140, 1, "Symbol \"%s\" is not a procedure name"},
    {141, 1, "Specified line number is not an executable statement"},
    {142, 1, "Module %s doesn't contain line information"},
    {143, 1, "Dorvik internal error"},
    {144, 1, "Command form not allowed during user program run"},
    {145, 1, "System command not supported"},
    {146, 1, "Command not supported by this monitor version"},
    {147, 1, "Non changeable item"},
    {148, 1, "Specified file doesn't conform to the module name"},
    {149, 1, "File \"%s\" is not correct listing file"},
    {150, 1, "Token too long"},
    {151, 1, "No source file assigned to module :%s. Use Project|Manager and add module to project."},
    {152, 1, "Module name attempted"},
    {153, 1, "Macro file %s too large"},
    {154, 1, "Line %d in macro file %s bad"},
    {155, 1, "Line %d in macro file %s too long, processing terminated"},
    {156, 1, "More errors than 100 in macro file %s, processing terminated"},
    {157, 1, "Include can not be used in macro file"},
    {159, 1, "Could not open procesor definition file %s"},
    {160, 1, "File %s is not supported procesor definition file"},
    {161, 1, "Target device is not responding"},
    {162, 1, "Partition bounds error"},
    {163, 1, "Listing file \"%s\" reports errors, recode the source file before debugging"},
    {164, 1, "Object code too long (over %sk), recode the source file to allow debugging."},
    {165, 1, "Too many memry viewers. Please, close some memory window."},
    {200, 1, "Illegal pointer assigned to Watches Collection"},
    {300, 1, "Dorvik internal error, procesor definition file is corrupted"},
    {301, 1, "Dorvik internal error, user symbol table corrupted"},
    {302, 1, "Could not open help file %s"},
    {303, 1, "Help file %s not found"},
    {304, 1, "Could not create Environment file %s"},
    {305, 1, "Could not open symbol file %s"},
    {306, 1, "Could not create symbol file %s"},
    {307, 1, "Incorrect configuration file %s, only single line allowed"},
    {308, 1, "Could not open configuration file %s"},
    {309, 1, "Could not open desktop file %s"},
    {310, 1, "Error reading desktop file %s"},
    {311, 1, "Could not create desktop file %s"},
    {312, 1, "No linker program specified. Use Project|Option and then select the linker tab to select linker program."},
    {313, 1, "No HEX conversion program specified. Use Project|Option and then select the HEX convertor tab to select HEX conversion program."},
    {314, 1, "Unregistered file type %s, please use Project|Option menu to register it."},
    {315, 2, "Cannot locate project path, try select new one?"},
    {316, 1, "Line number must be between 1 and %s"},
    {317, 1, "Specified linker program %s doesn't exists. Use Project|Option and then select the linker tab to repair problem."},
    {318, 1, "Specified HEX conversion program %s doesn't exists. Use Project|Option and then select the HEX convertor tab to repair problem."},
    {319, 1, "Linker has detected errors(s), project %s could not be created."},
    {320, 1, "Specified compiler for %s doesn't exists. Use Project|Option, select the File Types tab and by clicking on Properties select proper compilator."},
    {400, 1, "Not enough memory available to complete operation"},
    {401, 1, "Execution error number %d while executing command \"%s\""},
    {402, 1, "Cannot open file %s"},
    {403, 1, "Error reading file %s"},
    {404, 1, "Error writing file %s"},
    {405, 1, "Error creating file %s"},
    {406, 1, "Cannot execute command, please reinstall Dorvik from your distribution media"},
};

constexpr tErrType kWarningMessages[] = {
    {0, 1, "Symbol table full"},
    {1, 1, "Module table full"},
    {2, 1, "Symbol table empty - user program doesn't contain symbol information. Source level and symbolic debuging will be not available."},
    {3, 1, "Symbol table empty - no user program loaded"},
    {4, 2, "Symbol allready defined - redefine?"},
    {5, 2, "File \"%s\" allready exists - overwrite?"},
    {6, 1, "No module information found for current program location"},
    {7, 1, "Module doesn't contain starting point"},
    {8, 2, "Break overrides RET/RETI instruction - continue?"},
    {9, 1, "File \"%s\" is write protected"},
    {10, 2, "Module %s doesn't contain line information - continue?"},
    {11, 1, "Reset signal is occuring"},
    {12, 1, "Module name other than file name"},
    {13, 1, "Module allready assigned to the same file"},
    {14, 2, "Module allready assigned to file %s - reasign?"},
    {15, 2, "Project file %s already exists, overwrite?"},
    {16, 1, "No source file assigned to module :%s"},
    {17, 1, "None file assigned"},
    {18, 1, "Execution can not be halted"},
    {19, 2, "No segment reference found for current execution point - continue?"},
    {20, 1, "List device not assigned"},
    {21, 1, "Name directive in file \"%s\" is missing"},
    {22, 1, "Some alien procedures resolved from code load addresses"},
    {23, 1, "Object file %s contains unrecognized record %s"},
    {24, 2, "Directory %s doesn't exist, create?"},
    {25, 2, "File %s doesn't exist, create?"},
    {26, 2, "Too many breakpoints, continue anyway?"},
    {27, 2, "Break enable point allready set to other location, continue anyway?"},
    {28, 3, "No occurence of \"%s\" found. Try search again from %s?"},
    {29, 1, "Unsupported file type %s. Use Project|Options menu to register this extension."},
    {30, 1, "Loaded object file contains other modules than specified in project. Source level debuging will be not available."},
    {31, 1, "File %s too long for editing, entering view only mode"},
    {32, 2, "New breakpoint overlaps the breakpoint already set, clear the old breakpoint?"},
    {33, 1, "No compiler specified. Use Project|Options menu to solve this problem."},
    {34, 1, "Loaded file doesn't contain symbilc information. Source level and symbolic debuging will be not available."},
    {35, 1, "Nothing to do. Configure load params by (un)checking some boxes."},
    {36, 1, "Nothing to do. Configure display params by (un)checking some boxes."},
    {37, 3, "File %s not saved, save now?"},
    {38, 1, "Line information not included, source level debuging will be not available."},
    {39, 1, "Symbol information not included, symbolic debuging will be not available."},
    {40, 1, "No module found for symbol %s"},
    {41, 2, "At least one module (%s) found, which is not listed in project manager. Do you want add it to project?"},
    {42, 2, "Please remove the NOLIST directive from file %s, otherwise the source level debuging for this module will be not available. Would you like to do this immediately"},
    {43, 2, "Date/time stamp of  file %s changed, reload?"},
    {44, 1, "No symbolic information found for current program location."},
    {45, 2, "No module information found for current program location - continue?"},
    {46, 2, "Break overrides destination address of a branch to %s - continue?"},
    {47, 2, "Break overrides begin of procedure %s - continue?"},
    {48, 1, "Cannot open error protocol file %s. Possible causes are:\r1/ Assigned compilator is not correct\r2/ Source refers to non-existing include file"},
    {49, 1, "Cannot open error protocol file."},
    {50, 1, "Compiled file %s is not a part of project."},
    {51, 3, "Source was changed, rebuild?"},
    {52, 1, "Source was changed, source level debugging will be disbled until you rebuild project."},
    {53, 2, "Error/warning occurs during compiling/assembling files, continue?"},
    {54, 1, "Current project has no parts. Use Project|Manager and add module(s) to project."},
    {55, 1, "Partition bounds incomplete"},
    {56, 1, "Modules ordering in load project (%s) differs from ordering specified in manager. Please use Project|Manager menu to reorder."},
    {57, 1, "Compiler %s not exists. Please use Project|Options and enter correct compiler."},
    {58, 2, "CPU type %s already exists - override?"},
    {59, 2, "Project not loaded, continue anyway?"},
    {60, 2, "Warning(s) occured during linking files, continue?"},
    {61, 1, ""},
    {62, 2, "Absolute alocated breakpoint detected at %s. If the project was recreated after defining this break, it may cause debugging malfunction. Remove this break (instruction \"%s\") ?"},
    {63, 2, "You change the default extension of Dorvik project to \"%s\"! Change to default extension?"},
    {64, 1, "File %s not found. Please, try enter other include path (D51INC) using menu Projenct|Options on the \"Environment\" tab."},
    {65, 1, "File %s not found. Please, try enter the include path (D51INC) using menu Projenct|Options on the \"Environment\" tab."},
    {66, 2, "No project defined. If you terminate, all settings of Dorvik you've made will be lost. You can use File|Save project as to save settings. Terminate now?"},
};

// clang-format on

static_assert(std::size(kErrorMessages) == 93);
static_assert(std::size(kWarningMessages) == 67);
void (*g_expression_reset)() = nullptr;
void (*g_before_box)(int, bool, std::string&) = nullptr;

platform::BoxIcon IconOf(std::string_view kind) {
  if (kind == "Exception" || kind == "Warning") return platform::BoxIcon::Exclamation;
  if (kind == "Error") return platform::BoxIcon::Stop;
  if (kind == "Question") return platform::BoxIcon::Question;
  return platform::BoxIcon::None;
}

platform::BoxButtons ButtonsOf(int32_t kind) {
  switch (kind) {
    case kKindOk:
      return platform::BoxButtons::Ok;
    case kKindYesNo:
      return platform::BoxButtons::YesNo;
    case kKindYesNoCancel:
      return platform::BoxButtons::YesNoCancel;
    case kKindYesNoCancelHelp:
      return platform::BoxButtons::YesNoCancelHelp;
    default:
      return platform::BoxButtons::OkCancel;
  }
}

}  // namespace

MessageState::MessageState() : WindowsVersion(WinVersion()) {
  int64_t now = 0;
  auto& clock = platform::CurrentClock();
  if (clock.PerfCounter(now)) {
    PerfCounterNow = now;
    PerfFrequency = clock.PerfFrequency();
    PerfCounterAvailable = PerfFrequency > 0;
  }
}

MessageState& Messages() {
  return CurrentSession().Get<MessageState>();
}


std::span<const tErrType> ErrorMessageTable() {
  return kErrorMessages;
}
std::span<const tErrType> WarningMessageTable() {
  return kWarningMessages;
}

const tErrType* FindErrorMessage(int32_t code) {
  for (const tErrType& row : kErrorMessages)
    if (row.Code == code) return &row;
  return nullptr;
}

const tErrType* FindWarningMessage(int32_t number) {
  if (number < 0 || number >= static_cast<int32_t>(std::size(kWarningMessages))) return nullptr;
  return &kWarningMessages[number];
}

std::string FormatMessage(std::string_view fmt, std::span<const std::string_view> args) {
  std::string out;
  size_t next = 0;
  for (size_t i = 0; i < fmt.size(); ++i) {
    const char c = fmt[i];
    if (c == '%' && i + 1 < fmt.size()) {
      const char f = fmt[i + 1];
      if (f == 's' || f == 'd') {
        if (next < args.size()) out += args[next];
        ++next;
        ++i;
        continue;
      }
      if (f == '%') {
        out += '%';
        ++i;
        continue;
      }
    }
    out += c;
  }
  return out;
}

std::string FormatMessage(std::string_view fmt, std::string_view arg1, std::string_view arg2) {
  const std::string_view args[] = {arg1, arg2};
  return FormatMessage(fmt, args);
}

int ShowMsg(std::string_view kind, int number, std::string_view fmt, int32_t buttons, std::string_view arg1,
            std::string_view arg2) {
  if (!Messages().ShowMessageBoxes) return kResultOk;
  platform::MessageBox box;
  box.Caption = std::string(kind) + " #" + std::to_string(number);
  box.Text = FormatMessage(fmt, arg1, arg2);
  box.Buttons = ButtonsOf(buttons);
  box.Icon = IconOf(kind);
  return ShowBox(box);
}

int ShowBox(const platform::MessageBox& box) {
  MessageState& m = Messages();
  const bool nested = m.MessageBoxShowing;
  m.MessageBoxShowing = true;
  const int result = platform::Reporter().ShowBox(box);
  m.MessageBoxShowing = nested;
  return result;
}

int ReportError(int number, std::string_view arg1, std::string_view arg2) {
  if (number == err::kExpressionTooComplex && g_expression_reset != nullptr) g_expression_reset();
  auto& m = Messages();
  m.LastErrorCode = number;
  m.ErrorFlag = true;
  m.LastErrorParams = {std::string(arg1), std::string(arg2)};

  const tErrType* row = FindErrorMessage(number);
  const std::string_view text = row != nullptr ? row->Text : std::string_view{};
  const int32_t buttons = row != nullptr ? row->Kind : kErrorMessages[0].Kind;
  if (m.QuietMessages) {
    m.LastMessageText = FormatMessage(text, arg1, arg2);
    return 0;
  }
  std::string shown_arg1(arg1);
  if (g_before_box != nullptr) g_before_box(number, true, shown_arg1);
  const int result = ShowMsg("Error", number, text, buttons, shown_arg1, arg2);
  if (number == err::kTargetError && Run().ProgramRunning) m.ErrorFlag = false;
  return result;
}

int ReportWarning(int number, std::string_view arg1, std::string_view arg2) {
  auto& m = Messages();
  m.LastWarningCode = number;
  m.WarningFlag = true;
  m.LastWarningParams = {std::string(arg1), std::string(arg2)};
  if (m.QuietMessages) return 0;
  if (g_before_box != nullptr) {
    std::string shown(arg1);
    g_before_box(number, false, shown);
  }
  // A number outside the table is a caller's fault; it still gets a box.
  const tErrType* row = FindWarningMessage(number);
  return ShowMsg("Warning", number, row != nullptr ? row->Text : std::string_view{},
                 row != nullptr ? row->Kind : kKindOk, arg1, arg2);
}

bool CheckIOResult(std::string_view fmt, std::string_view arg) {
  const int code = platform::TakeIOResult();
  Messages().LastIOResult = code;
  if (code == 0) return false;
  if (!fmt.empty()) {
    if (Messages().ShowMessageBoxes) {
      const std::string code_text = std::to_string(code);
      const std::string_view args[] = {arg, code_text};
      platform::MessageBox box;
      box.Caption = "Error";
      box.Text = FormatMessage(fmt, args);
      box.Buttons = platform::BoxButtons::Ok;
      box.Icon = platform::BoxIcon::Stop;
      ShowBox(box);
    }
  } else {
    ShowMsg("Exception", code, platform::OsErrorText(code), kKindOk, {}, {});
  }
  return true;
}

void SuspendMessages() {
  Messages().ShowMessageBoxes = false;
  ++Messages().MessageSuspendCount;
}

void ResumeMessages() {
  if (Messages().MessageSuspendCount > 0) --Messages().MessageSuspendCount;
  if (Messages().MessageSuspendCount == 0) Messages().ShowMessageBoxes = true;
}

SilencedMessages::SilencedMessages() : quiet_(Messages().QuietMessages) {
  SuspendMessages();
  Messages().QuietMessages = true;
}

SilencedMessages::~SilencedMessages() {
  Messages().QuietMessages = quiet_;
  ResumeMessages();
}

void SetBeforeBoxHook(void (*hook)(int number, bool isError, std::string& arg1)) {
  g_before_box = hook;
}


void SetExpressionResetHook(void (*hook)()) {
  g_expression_reset = hook;
}

void Delay(int ms) {
  auto& clock = platform::CurrentClock();
  const uint32_t start = clock.TickCount();
  const int64_t wait = int64_t{ms} + 1;
  for (;;) {
    if (static_cast<int64_t>(static_cast<uint32_t>(clock.TickCount() - start)) >= wait) return;
    platform::Pump().PumpMessages();
    clock.Sleep1ms();
    clock.Sleep1ms();
  }
}

void PerfDelay(uint8_t count, int rate) {
  if (rate <= 0) return;  // no rate, nothing to wait for
  auto& m = Messages();
  auto& clock = platform::CurrentClock();
  if (!m.PerfCounterAvailable) {
    Delay(static_cast<int>(std::nearbyint(10000.0 / rate * (count / 11.0) + 0.5)));
    return;
  }
  const auto ticks =
      static_cast<int64_t>(std::nearbyint(static_cast<double>(m.PerfFrequency) / rate * count + 0.5));
  clock.PerfCounter(m.PerfCounterNow);
  const int64_t start = m.PerfCounterNow;
  while (m.PerfCounterNow - start < ticks) {
    if (!clock.PerfCounter(m.PerfCounterNow)) return;  // the counter went away
    platform::Pump().PumpMessages();
  }
}

uint8_t WinVersion() {
  return 0;
}

}  // namespace dorvik
