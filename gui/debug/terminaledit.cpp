#include "gui/debug/terminaledit.h"

#include <QFontDatabase>
#include <QKeyEvent>
#include <QMimeData>
#include <QTextBlock>

#include <algorithm>

#include "debugger/terminal.h"
#include "gui/dialogs/widgets.h"
#include "gui/ground/workbench.h"

namespace dorvik::gui {

TerminalEdit::TerminalEdit(Workbench& bench, QWidget* parent) : QPlainTextEdit(parent), bench_(bench) {
  setObjectName("Editor");
  setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  setLineWrapMode(QPlainTextEdit::NoWrap);
  setUndoRedoEnabled(false);
}

void TerminalEdit::Render() {
  const std::vector<std::string>& lines = dorvik::Terminal().Lines;
  // Lines above the last two never change; a model that lost lines is redrawn whole.
  size_t same = std::min(lines.size(), shown_.size());
  same = same >= 2 ? same - 2 : 0;
  if (shown_.size() > lines.size() + 1 || (same > 0 && shown_[same - 1] != lines[same - 1])) same = 0;
  while (same < lines.size() && same < shown_.size() && shown_[same] == lines[same]) ++same;
  if (same < lines.size() || same < shown_.size()) {
    QTextCursor c(document());
    if (same == 0) {
      QString all;
      for (size_t i = 0; i < lines.size(); ++i) {
        if (i > 0) all += '\n';
        all += Text(lines[i]);
      }
      setPlainText(all);
    } else {
      const QTextBlock kept = document()->findBlockByNumber(static_cast<int>(same) - 1);
      c.setPosition(kept.position() + kept.length() - 1);
      c.movePosition(QTextCursor::End, QTextCursor::KeepAnchor);
      QString tail;
      for (size_t i = same; i < lines.size(); ++i) tail += '\n' + Text(lines[i]);
      c.insertText(tail);
    }
    shown_.resize(same);
    shown_.insert(shown_.end(), lines.begin() + static_cast<std::ptrdiff_t>(same), lines.end());
  }
  const QTextBlock last = document()->lastBlock();
  QTextCursor caret(last);
  caret.setPosition(last.position() + std::clamp<int>(dorvik::Terminal().Caret, 0, last.length() - 1));
  setTextCursor(caret);
  ensureCursorVisible();
}

void TerminalEdit::keyPressEvent(QKeyEvent* e) {
  if (e->matches(QKeySequence::Copy) || e->matches(QKeySequence::SelectAll)) {
    QPlainTextEdit::keyPressEvent(e);
    return;
  }
  const Qt::KeyboardModifiers m = e->modifiers();
  uint8_t mods = 0;
  if (m & Qt::ShiftModifier) mods |= kModShift;
  if (m & Qt::AltModifier) mods |= kModAlt;
  if (m & Qt::ControlModifier) mods |= kModCtrl;
  KeyAction action = KeyAction::None;
  switch (e->key()) {
    case Qt::Key_Escape: action = DoOnKeyDown(kKeyEsc, mods); break;
    case Qt::Key_Backspace: action = DoOnKeyDown(kKeyBackspace, mods); break;
    case Qt::Key_Return:
    case Qt::Key_Enter: action = DoOnKeyDown(kKeyEnter, mods); break;
    case Qt::Key_Home: action = DoOnKeyDown(kKeyHome, mods); break;
    case Qt::Key_End: action = DoOnKeyDown(kKeyEnd, mods); break;
    case Qt::Key_Left: action = DoOnKeyDown(kKeyLeft, mods); break;
    case Qt::Key_Right: action = DoOnKeyDown(kKeyRight, mods); break;
    case Qt::Key_Delete: action = DoOnKeyDown(kKeyDelete, mods); break;
    default:
      if (mods & kModAlt) {
        if (e->key() >= Qt::Key_A && e->key() <= Qt::Key_Z) action = DoOnKeyDown(static_cast<uint16_t>(e->key()), mods);
      } else if (!(mods & kModCtrl)) {
        for (QChar c : e->text())
          if (c.unicode() >= 0x20 && c.unicode() < 0x7F) DoOnKeyPressed(static_cast<char>(c.unicode()));
      }
      break;
  }
  e->accept();
  Render();
  if (action == KeyAction::LineEntered) bench_.ExecuteScannerLine();
  if (action == KeyAction::Exit) bench_.FileExit1Execute();
}

void TerminalEdit::insertFromMimeData(const QMimeData* source) {
  // Pasted text is typed; line breaks end at the first one.
  for (QChar c : source->text()) {
    if (c == '\n' || c == '\r') break;
    if (c.unicode() >= 0x20 && c.unicode() < 0x7F) DoOnKeyPressed(static_cast<char>(c.unicode()));
  }
  Render();
}

}  // namespace dorvik::gui
