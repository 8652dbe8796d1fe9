#pragma once
// Small widget helpers shared by the workbench's dialogs.

#include <string>
#include <string_view>
#include <vector>

#include <QComboBox>
#include <QPushButton>
#include <QString>

namespace dorvik::gui {

inline QString Text(std::string_view s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }

// A button that never takes Enter for itself (the dialog's default does).
inline QPushButton* Button(const QString& name, const QString& caption, QWidget* parent) {
  auto* button = new QPushButton(caption, parent);
  button->setObjectName(name);
  button->setAutoDefault(false);
  return button;
}

// A combo box whose typed text stays out of its list.
inline QComboBox* Combo(const QString& name, bool editable, QWidget* parent) {
  auto* combo = new QComboBox(parent);
  combo->setObjectName(name);
  combo->setEditable(editable);
  combo->setInsertPolicy(QComboBox::NoInsert);
  return combo;
}

// An editable combo box of a history, wide enough for a statement.
inline QComboBox* EditableCombo(const QString& name, QWidget* parent) {
  QComboBox* combo = Combo(name, true, parent);
  combo->setMinimumContentsLength(30);
  return combo;
}

// A history's items as the list, Text as the edited text.
inline void FillCombo(QComboBox& combo, const std::vector<std::string>& items, const std::string& text) {
  combo.clear();
  for (const std::string& item : items) combo.addItem(Text(item));
  combo.setEditText(Text(text));
}

}  // namespace dorvik::gui
