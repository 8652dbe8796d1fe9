#pragma once
// The compiler of processor text definitions into database records, and the
// chip selection dialog that offers it. Statements are read through the
// command scanner and evaluator, so it stands above both.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "lang/cpudb.h"

namespace dorvik {

// Text definition compiler
// The replace question (warning 58) answered; only Yes (6) replaces a record.
using CpuReplaceQuestion = std::function<int(std::string_view cpuName)>;
// Compiles the text definition file into a record named CpuName (upper-cased, cut to
// 20 characters), puts it last in the database (a replaced "51" keeps its place as the
// first record), writes the database file through a .TMP copy and selects the name.
// A failure reports its error and leaves file, buffer and CpuName unchanged.
bool CompileCpuDefinition(std::string_view cpuName, std::string_view definitionFile,
                          const CpuReplaceQuestion& askReplace = {});
// The record compiled from the text lines (no database change); nullopt after an error,
// which names the line of FileName.
std::optional<std::vector<uint8_t>> CompileCpuRecord(std::string_view cpuName,
                                                     const std::vector<std::string>& lines,
                                                     std::string_view fileName);

// Chip selection dialog
// The list of the database's processors; the main window fills and shows it and
// on OK runs the CPU command with the chosen name. Other compiles a text
// definition asked for in the name/value dialog.
struct TSelCPUDlg {
  std::string Caption;
  std::string OkCaption;
  std::string CancelCaption;
  std::vector<std::string> CpuList;
  int32_t ItemIndex = -1;

  void DialogCreate();
  // The database's names into the list, the current processor selected.
  void FillCpuList();
  // Asks for a name and a definition file and compiles it into the database.
  bool btnOtherClick();
};

TSelCPUDlg& SelCPUDlg();

}  // namespace dorvik
