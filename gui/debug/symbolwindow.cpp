#include "gui/debug/symbolwindow.h"

#include <QFontDatabase>
#include <QHBoxLayout>
#include <QPushButton>
#include <QSplitter>
#include <QVBoxLayout>

#include "debugger/toolviews.h"
#include "gui/dialogs/widgets.h"
#include "lang/collections.h"
#include "objfiles/listmap.h"

namespace dorvik::gui {

namespace {

constexpr int kSymbolRole = Qt::UserRole;

void AddNode(QTreeWidgetItem* parent, QTreeWidget* tree, const SymbolNode& node) {
  auto* item = parent != nullptr ? new QTreeWidgetItem(parent) : new QTreeWidgetItem(tree);
  item->setText(0, Text(node.Name));
  item->setText(1, Text(node.Address));
  item->setText(2, Text(node.Class));
  item->setText(3, Text(node.Type));
  item->setData(0, kSymbolRole, node.Symbol);
  for (const SymbolNode& child : node.Children) AddNode(item, tree, child);
}

}  // namespace

TUserSymWin::TUserSymWin(QMainWindow* main)
    : TDockableForm("UserSymWin", "Symbols", main), options_(new TSymPropDlg(this)) {
  auto* body = new QWidget(this);
  auto* box = new QVBoxLayout(body);
  box->setContentsMargins(2, 2, 2, 2);
  auto* bar = new QHBoxLayout;
  auto* optionsButton = Button("SymOptions", "Options...", body);
  bar->addWidget(optionsButton);
  bar->addStretch(1);
  box->addLayout(bar);
  auto* split = new QSplitter(Qt::Vertical, body);
  tree_ = new QTreeWidget(split);
  tree_->setObjectName("SymbolTree");
  tree_->setColumnCount(4);
  tree_->setHeaderLabels({"Name", "Address", "Class", "Type"});
  tree_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  list_ = new QListWidget(split);
  list_->setObjectName("SymbolList");
  list_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  box->addWidget(split, 1);
  setWidget(body);

  TreeShowInSourceFile = new QAction("Show in source file", this);
  TreeShowInSourceFile->setObjectName("TreeShowInSourceFile");
  ListShowInSourceFile = new QAction("Show in source file", this);
  ListShowInSourceFile->setObjectName("ListShowInSourceFile");
  TreeShowInSourceFile->setEnabled(false);
  ListShowInSourceFile->setEnabled(false);
  tree_->setContextMenuPolicy(Qt::ActionsContextMenu);
  tree_->addAction(TreeShowInSourceFile);
  list_->setContextMenuPolicy(Qt::ActionsContextMenu);
  list_->addAction(ListShowInSourceFile);

  connect(optionsButton, &QPushButton::clicked, this, [this] { ShowOptions(); });
  // Shown after a load it missed: filled then.
  connect(this, &QDockWidget::visibilityChanged, this, [this](bool visible) {
    if (visible && stale_) CreateSymbolTable(module_);
  });
  connect(tree_, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* item) { FillList(item); });
  connect(TreeShowInSourceFile, &QAction::triggered, this, [this] {
    if (QTreeWidgetItem* item = tree_->currentItem()) ShowInSource(item->data(0, kSymbolRole).toInt());
  });
  connect(ListShowInSourceFile, &QAction::triggered, this, [this] {
    if (QListWidgetItem* item = list_->currentItem()) ShowInSource(item->data(kSymbolRole).toInt());
  });
  connect(list_, &QListWidget::itemActivated, this, [this](QListWidgetItem* item) {
    if (ListShowInSourceFile->isEnabled()) ShowInSource(item->data(kSymbolRole).toInt());
  });
}

void TUserSymWin::CreateSymbolTable(const std::string& moduleName) {
  module_ = moduleName;
  stale_ = false;
  // The window stays disabled while it is filled.
  LayoutUpdate update(*this);
  tree_->clear();
  list_->clear();
  for (const SymbolNode& node : BuildSymbolTree(module_)) AddNode(nullptr, tree_, node);
  if (tree_->topLevelItemCount() == 1) tree_->topLevelItem(0)->setExpanded(true);
}

void TUserSymWin::FillSymbolTree() { CreateSymbolTable(module_); }

void TUserSymWin::AfterLoad() {
  options_->ClearModules();
  for (const std::string& name : ProgramModuleNames()) options_->AddModule(name);
  const bool source = ListMap().SourceLevelDebugging;
  TreeShowInSourceFile->setEnabled(source);
  ListShowInSourceFile->setEnabled(source);
  if (isVisible())
    CreateSymbolTable(std::string(kAllModules));
  else
    stale_ = true;
}

void TUserSymWin::ShowOptions() {
  if (options_->exec() == QDialog::Accepted) CreateSymbolTable(options_->SelectedModule());
}

void TUserSymWin::FillList(QTreeWidgetItem* node) {
  list_->clear();
  if (node == nullptr) return;
  for (int i = 0; i < node->childCount(); ++i) {
    const QTreeWidgetItem* child = node->child(i);
    QString text = child->text(0) + "  " + child->text(1) + "  " + child->text(2);
    if (!child->text(3).isEmpty()) text += "  " + child->text(3);
    auto* item = new QListWidgetItem(text, list_);
    item->setData(kSymbolRole, child->data(0, kSymbolRole));
  }
}

void TUserSymWin::ShowInSource(int32_t symbol) {
  if (ShowSymbolNodeInSource(symbol)) return;
  // No source line: a code symbol is shown in the disassembly.
  const tSymbolItem* sym = SymbolAt(symbol);
  if (sym && ShowDisassembly && ((sym->SymClass & 15) == kClassCode || (sym->SymClass & 15) >= kClassProcedure))
    ShowDisassembly(static_cast<uint16_t>(sym->Value));
}

}  // namespace dorvik::gui
