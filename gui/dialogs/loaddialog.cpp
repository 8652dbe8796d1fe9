#include "gui/dialogs/loaddialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "access/target.h"
#include "base/mainform.h"
#include "base/runstate.h"
#include "project/project.h"
#include "loader/loader.h"
#include "objfiles/intelhex.h"
#include "project/projectfile.h"
#include "gui/dialogs/widgets.h"
#include "gui/ground/windowpump.h"

namespace dorvik::gui {

namespace {

constexpr int kFileNameWidth = 300;  // pixels of the file name shown

QCheckBox* Box(const QString& name, const QString& caption, QWidget* parent) {
  auto* box = new QCheckBox(caption, parent);
  box->setObjectName(name);
  return box;
}

QLabel* Label(const QString& name, const QString& caption, QWidget* parent) {
  auto* label = new QLabel(caption, parent);
  label->setObjectName(name);
  return label;
}

}  // namespace

TLoadDlg::TLoadDlg(QWidget* parent) : QDialog(parent) {
  setObjectName("LoadDlg");
  setWindowTitle("Dialog");
  // A normal dialog over its main window: the boxes a load raises show above it.
  setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::CustomizeWindowHint);
  resize(333, 217);
  BtnCancel = new QPushButton("Cancel", this);
  BtnCancel->setObjectName("BtnCancel");
  BtnCancel->setAutoDefault(false);
  Label1 = Label("Label1", "Load File", this);
  Label2 = Label("Label2", "MAP File", this);
  comboMAPFile = new QComboBox(this);
  comboMAPFile->setObjectName("comboMAPFile");
  Label3 = Label("Label3", "Load address", this);
  StaticTextLoadAddress = Label("StaticTextLoadAddress", " ", this);
  StaticTextLoadAddress->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  BtnLoad = new QPushButton("Load", this);
  BtnLoad->setObjectName("BtnLoad");
  BtnLoad->setDefault(true);
  grpLoadParams = new QGroupBox("Load parameters", this);
  grpLoadParams->setObjectName("grpLoadParams");
  cbNoCode = Box("cbNoCode", "No Code", grpLoadParams);
  cbNoLines = Box("cbNoLines", "No Lines", grpLoadParams);
  cbNoSymbols = Box("cbNoSymbols", "No Symbols", grpLoadParams);
  cbAppend = Box("cbAppend", "Append", grpLoadParams);
  cbXDATALoad = Box("cbXDATALoad", "Load into XDATA", grpLoadParams);
  cbClearDataFlash = Box("cbClearDataFlash", "Clear Data FLASH before load", grpLoadParams);
  cbClearCodeFlashBeforeLoad = Box("cbClearCodeFlashBeforeLoad", "Clear CODE FLASH", grpLoadParams);
  auto* panel = new QFrame(this);
  panel->setObjectName("Panel1");
  panel->setFrameStyle(QFrame::Panel | QFrame::Raised);
  StaticTextLoadFile = Label("StaticTextLoadFile", "", panel);
  (new QVBoxLayout(panel))->addWidget(StaticTextLoadFile);

  auto* params = new QGridLayout(grpLoadParams);
  params->addWidget(cbNoCode, 0, 0);
  params->addWidget(cbNoLines, 1, 0);
  params->addWidget(cbNoSymbols, 2, 0);
  params->addWidget(cbAppend, 0, 1);
  params->addWidget(cbXDATALoad, 1, 1);
  // The two flash boxes share one place; only one of them is shown.
  params->addWidget(cbClearDataFlash, 2, 1);
  params->addWidget(cbClearCodeFlashBeforeLoad, 2, 1);
  auto* grid = new QGridLayout(this);
  grid->addWidget(Label1, 0, 0);
  grid->addWidget(panel, 0, 1, 1, 2);
  grid->addWidget(Label2, 1, 0);
  grid->addWidget(comboMAPFile, 1, 1, 1, 2);
  grid->addWidget(Label3, 2, 0);
  grid->addWidget(StaticTextLoadAddress, 2, 1);
  grid->addWidget(grpLoadParams, 3, 0, 1, 3);
  grid->addWidget(BtnLoad, 4, 1);
  grid->addWidget(BtnCancel, 4, 2);

  connect(BtnLoad, &QPushButton::clicked, this, [this] { mode_ == Mode::Load ? BtnLoadClick() : BtnSaveClick(); });
  connect(BtnCancel, &QPushButton::clicked, this, [this] {
    BtnCancelClick();
    // Not loading: Cancel closes the dialog.
    if (BtnLoad->isEnabled()) done(2);
  });
}

void TLoadDlg::OptionsFromBoxes(LoaderOptions& o) const {
  o.LoadCode = !cbNoCode->isChecked();
  o.LoadLines = !cbNoLines->isChecked();
  o.LoadSymbols = !cbNoSymbols->isChecked();
  o.LoadAppend = cbAppend->isChecked();
  o.LoadXData = cbXDATALoad->isChecked();
  o.ClearDataFlash = cbClearDataFlash->isChecked();
  o.ClearCodeFlash = cbClearCodeFlashBeforeLoad->isChecked();
}

void TLoadDlg::ShowAddress(std::string_view label, std::string_view address) {
  Label3->setText(Text(label));
  StaticTextLoadAddress->setText(Text(address));
}

void TLoadDlg::Prepare(Mode mode, int32_t rangeStart, int32_t rangeLength) {
  mode_ = mode;
  rangeStart_ = rangeStart;
  rangeLength_ = rangeLength;
  // A long name is shown cut in its middle; the whole name is its tip.
  const QString name = Text(Loader().LoadFileName);
  StaticTextLoadFile->setText(StaticTextLoadFile->fontMetrics().elidedText(name, Qt::ElideMiddle, kFileNameWidth));
  StaticTextLoadFile->setToolTip(name.size() > 4096 ? name.left(4096) + "..." : name);
  BtnLoad->setText(mode == Mode::Load ? "Load" : "Save");
  setWindowTitle(mode == Mode::Load ? "Load program" : "Save HEX");
}

void TLoadDlg::showEvent(QShowEvent* e) {
  TryShowClearFLASHBox();
  QDialog::showEvent(e);
}

void TLoadDlg::TryShowClearFLASHBox() {
  // An ADuC-type processor, or the ADuC chip as the target: its data flash
  // can be cleared before the load.
  const bool aduc = Target().CpuFamily == kFamilyAduc || Run().TargetKind == kTargetAduc;
  cbClearDataFlash->setVisible(aduc);
  cbClearCodeFlashBeforeLoad->setVisible(!aduc);
  const LoaderOptions& o = Project().Loader;
  cbNoCode->setChecked(!o.LoadCode);
  cbNoLines->setChecked(!o.LoadLines);
  cbNoSymbols->setChecked(!o.LoadSymbols);
  cbAppend->setChecked(o.LoadAppend);
  cbXDATALoad->setChecked(o.LoadXData);
  cbClearDataFlash->setChecked(o.ClearDataFlash);
  cbClearCodeFlashBeforeLoad->setChecked(o.ClearCodeFlash);
}

void TLoadDlg::keyPressEvent(QKeyEvent* e) {
  if (e->key() == Qt::Key_Escape) {
    Loader().LoadAborted = true;
    // Not loading: Escape closes the dialog as Cancel.
    if (BtnLoad->isEnabled()) done(2);
    return;
  }
  QDialog::keyPressEvent(e);
}

void TLoadDlg::RunLoadOrSave(bool (*work)(TLoadDlg&)) {
  cancel_ = false;
  BtnLoad->setEnabled(false);
  grpLoadParams->setEnabled(false);
  struct Restore {
    TLoadDlg& Dlg;
    ~Restore() {
      Dlg.BtnLoad->setEnabled(true);
      Dlg.grpLoadParams->setEnabled(true);
    }
  } restore{*this};
  const BusyPair busy;
  work(*this);
  done(Loader().LoadAborted ? 2 : 1);
}

void TLoadDlg::BtnLoadClick() {
  RunLoadOrSave([](TLoadDlg& dlg) {
    // The loader takes the boxes of the dialog shown; the console's road: the
    // board's announcement first, the target busy throughout.
    if (dlg.isVisible()) dlg.OptionsFromBoxes(Project().Loader);
    const bool loaded = LoadProgram(Loader().LoadFileName);
    // The options the boxes gave and the program loaded go to the project.
    WriteProjectSettings(Project().ProjectFileName);
    return loaded;
  });
}

void TLoadDlg::BtnSaveClick() {
  RunLoadOrSave([](TLoadDlg& dlg) {
    LoaderState& l = Loader();
    l.LoadAborted = false;
    l.Cancelled = false;
    const bool saved = SaveHexFile(l.LoadFileName, dlg.rangeStart_, dlg.rangeLength_, [&dlg](uint16_t address) {
      dlg.StaticTextLoadAddress->setText(QString::asprintf("%04X", address));
      PumpWithWindowEvents();
      return !dlg.cancel_ && !Loader().LoadAborted;
    });
    if (!saved) l.LoadAborted = true;
    return saved;
  });
}

}  // namespace dorvik::gui
