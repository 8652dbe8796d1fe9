#include "gui/projects/buildreport.h"

#include <QFontDatabase>

#include "base/text.h"
#include "workspace/build.h"
#include "debugger/editormodel.h"
#include "gui/dialogs/widgets.h"
#include "objfiles/listmap.h"

namespace dorvik::gui {

namespace {

// The module's source first, then the files it includes.
std::vector<std::string> SourceFiles(const std::string& source) {
  std::vector<std::string> files{source};
  for (std::string& include : ModuleIncludeFiles(source)) files.push_back(std::move(include));
  return files;
}

void MarkLine(const std::string& file, int32_t line) {
  SetLineMark(line, EditorModel().LocateLine, file, kLocateLineColor, true, true);
}

}  // namespace

BuildReport::BuildReport(QMainWindow* main) : TDockableForm("BuildReport", "Build report", main), lines_(new QListWidget(this)) {
  lines_->setObjectName("ReportLines");
  lines_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  lines_->setUniformItemSizes(true);
  setWidget(lines_);
  connect(lines_, &QListWidget::itemActivated, this, [this](QListWidgetItem* item) { OpenLine(lines_->row(item)); });
}

void BuildReport::Fill() {
  lines_->clear();
  for (const BuildReportLine& line : Build().Report) {
    auto* item = new QListWidgetItem(Text(line.Text), lines_);
    const bool leads = (!line.Source.empty() && line.Line > 0) || !line.Listing.empty() || !line.Statement.empty();
    if (leads) item->setForeground(QColor(128, 0, 0));
  }
  if (lines_->count() > 0) lines_->scrollToBottom();
}

bool BuildReport::OpenLine(int row) {
  const auto& report = Build().Report;
  if (row < 0 || static_cast<size_t>(row) >= report.size()) return false;
  const BuildReportLine& line = report[static_cast<size_t>(row)];
  if (!line.Listing.empty()) {
    int32_t index = -1;
    tStatement statement;
    FindListingEntry(line.Listing, TrimBlanks(UpperCase(line.Text)), index, statement);
    if (index < 0) return false;
    for (const std::string& file : SourceFiles(line.Source)) {
      tShowedLine found;
      const int32_t at = LocateSourceLine(statement, file, found, kLocateLineColor, kExecPointLineColor);
      if (at < 0) continue;
      MarkLine(file, at + 1);
      return true;
    }
    return false;
  }
  if (!line.Statement.empty()) {
    for (const std::string& file : SourceFiles(line.Source)) {
      int32_t index = -1;
      tStatement statement;
      FindListingEntry(file, line.Statement, index, statement);
      if (index < 0) continue;
      MarkLine(file, index + 1);
      return true;
    }
    return false;
  }
  if (!line.Source.empty() && line.Line > 0) {
    MarkLine(line.Source, line.Line);
    return true;
  }
  return false;
}

}  // namespace dorvik::gui
