#include "gui/dialogs/commdialog.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>

#include "base/runstate.h"
#include "gui/dialogs/widgets.h"

namespace dorvik::gui {

TCommPortSelect::TCommPortSelect(QWidget* parent) : QDialog(parent) {
  setObjectName("CommPortSelect");
  setWindowTitle("Setup communication");
  // The port may be any device path: the list offers the known ones.
  comboPort = Combo("comboPort", true, this);
  for (const std::string& port : model_.PortList()) comboPort->addItem(Text(port));
  comboPort->setEditText(Text(model_.Chosen().Port));
  comboBaud = Combo("comboBaud", false, this);
  for (int32_t baud : model_.BaudList()) comboBaud->addItem(QString::number(baud));
  comboBaud->setCurrentText(QString::number(model_.Chosen().BaudRate));
  comboTarget = Combo("comboTarget", false, this);
  for (const std::string& name : CommSetupDialog::TargetList()) comboTarget->addItem(Text(name));
  const uint8_t kind = model_.Chosen().TargetKind;
  comboTarget->setCurrentIndex(kind == kTargetMonitor ? 0 : kind == kTargetAduc ? 1 : 2);
  btnOK = Button("btnOK", "OK", this);
  btnOK->setDefault(true);
  btnCancel = Button("btnCancel", "Cancel", this);
  btnConnect = Button("btnConnect", "Init connection", this);

  auto* grid = new QGridLayout(this);
  grid->addWidget(new QLabel("COM", this), 0, 0);
  grid->addWidget(comboPort, 0, 1);
  grid->addWidget(new QLabel("Baud", this), 1, 0);
  grid->addWidget(comboBaud, 1, 1);
  grid->addWidget(new QLabel("Target", this), 2, 0);
  grid->addWidget(comboTarget, 2, 1);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(btnOK);
  buttons->addWidget(btnCancel);
  buttons->addWidget(btnConnect);
  grid->addLayout(buttons, 3, 0, 1, 2);

  connect(comboPort, &QComboBox::editTextChanged, this,
          [this](const QString& text) { model_.SelectPort(text.trimmed().toStdString()); });
  connect(comboBaud, &QComboBox::currentTextChanged, this,
          [this](const QString& text) { model_.SelectBaud(text.toInt()); });
  connect(comboTarget, &QComboBox::currentIndexChanged, this, [this](int item) { model_.SelectTarget(item); });
  connect(btnOK, &QPushButton::clicked, this, [this] { done(kSetComParams); });
  connect(btnCancel, &QPushButton::clicked, this, [this] { done(kDoNotSetComParams); });
  connect(btnConnect, &QPushButton::clicked, this, [this] { done(kInitConnection); });
}

}  // namespace dorvik::gui
