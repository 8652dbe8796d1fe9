#include "gui/editor/editorpages.h"

#include <QFontDatabase>
#include <QPainter>
#include <QScrollBar>
#include <QStringDecoder>
#include <QTabBar>
#include <QTextBlock>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <utility>

#include "base/messages.h"
#include "base/msgids.h"
#include "base/runstate.h"
#include "debugger/executor.h"
#include "debugger/toolviews.h"
#include "debugger/breaklocations.h"
#include "debugger/editormodel.h"
#include "editor/codeeditor.h"
#include "lang/collections.h"
#include "lang/fileutil.h"
#include "gui/dialogs/widgets.h"
#include "gui/ground/chooser.h"
#include "platform/files.h"

namespace dorvik::gui {

namespace {

constexpr int kCursorRestMs = 150;
// The project file's section of the editor pages open when the window closed.
constexpr std::string_view kFilesSection = "FILES";

// A colour of the engine (blue-green-red) as Qt takes it.
QColor FromBgr(uint32_t bgr) { return QColor(bgr & 0xFF, (bgr >> 8) & 0xFF, (bgr >> 16) & 0xFF); }

// The text on a marked line: yellow on the execution point's navy, white on
// a breakpoint's red, navy on a located symbol's sky blue, red on white.
QColor TextColorOn(uint32_t lineColor) {
  switch (lineColor) {
    case kExecLineColor: return QColor(255, 255, 0);
    case kBreakLineColor: return QColor(255, 255, 255);
    case kLocateLineColor: return QColor(0, 0, 128);
    default: return QColor(255, 0, 0);
  }
}

bool IsUtf8(const std::string& bytes) {
  QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
  (void)decoder.decode(QByteArrayView(bytes.data(), static_cast<qsizetype>(bytes.size())));
  return !decoder.hasError();
}

QString Decode(const std::string& bytes, bool latin1) {
  return latin1 ? QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size())) : Text(bytes);
}

std::string Encode(const QString& text, bool latin1) {
  const QByteArray bytes = latin1 ? text.toLatin1() : text.toUtf8();
  return std::string(bytes.constData(), static_cast<size_t>(bytes.size()));
}

// The dots of the breakpoints marked in a page, from the same marks as their lines' colour.
std::map<int32_t, bool> BreakDots(int32_t page) {
  std::map<int32_t, bool> dots;
  const BreakpointState& b = Breakpoints();
  auto add = [&](const tBreak& bp) {
    if (!bp.Used || bp.Line.Page != page || bp.Line.Line < 1) return;
    bool& enabled = dots.try_emplace(bp.Line.Line, false).first->second;
    enabled = enabled || bp.Enabled;
  };
  for (int32_t i = 0; i <= b.LastBreakIndex && i < kBreakTableSize; ++i) add(b.BreakTable[static_cast<size_t>(i)]);
  add(b.ArmBreak);
  return dots;
}

}  // namespace

// --- The gutter ------------------------------------------------------------------

class LineGutter : public QWidget {
 public:
  explicit LineGutter(CodeEditWidget* editor) : QWidget(editor), editor_(editor) {}
  QSize sizeHint() const override { return {editor_->GutterWidth(), 0}; }

 protected:
  void paintEvent(QPaintEvent* e) override { editor_->PaintGutter(e); }
  void mouseDoubleClickEvent(QMouseEvent* e) override {
    QTextCursor cursor = editor_->cursorForPosition(QPoint(0, static_cast<int>(e->position().y())));
    cursor.movePosition(QTextCursor::StartOfBlock);
    editor_->setTextCursor(cursor);
    if (editor_->DoubleClicked) editor_->DoubleClicked();
  }

 private:
  CodeEditWidget* editor_;
};

CodeEditWidget::CodeEditWidget(QWidget* parent)
    : QPlainTextEdit(parent), gutter_(new LineGutter(this)), hint_(new QLabel(viewport())) {
  hint_->setObjectName("HintWindow");
  hint_->setFrameStyle(QFrame::Box | QFrame::Plain);
  hint_->setAutoFillBackground(true);
  hint_->setBackgroundRole(QPalette::ToolTipBase);
  hint_->setForegroundRole(QPalette::ToolTipText);
  hint_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  hint_->hide();
  viewport()->setMouseTracking(true);
  hintTimer_.setSingleShot(true);
  hintTimer_.setInterval(kHintRestMs);
  connect(&hintTimer_, &QTimer::timeout, this, [this] { ShowHintAt(mouse_); });
  hintHideTimer_.setSingleShot(true);
  hintHideTimer_.setInterval(kHintShowMs);
  connect(&hintHideTimer_, &QTimer::timeout, hint_, &QWidget::hide);
  setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  setLineWrapMode(QPlainTextEdit::NoWrap);
  setTabStopDistance(fontMetrics().horizontalAdvance(' ') * 8);
  connect(this, &QPlainTextEdit::blockCountChanged, this, [this] { setViewportMargins(GutterWidth(), 0, 0, 0); });
  connect(this, &QPlainTextEdit::updateRequest, this, [this](const QRect& rect, int dy) {
    if (dy != 0)
      gutter_->scroll(0, dy);
    else
      gutter_->update(0, rect.y(), gutter_->width(), rect.height());
  });
  setViewportMargins(GutterWidth(), 0, 0, 0);
}

int CodeEditWidget::GutterWidth() const {
  int digits = 1;
  for (int n = std::max(1, blockCount()); n >= 10; n /= 10) ++digits;
  return 8 + fontMetrics().horizontalAdvance('9') * std::max(digits, 3);
}

void CodeEditWidget::resizeEvent(QResizeEvent* e) {
  QPlainTextEdit::resizeEvent(e);
  const QRect r = contentsRect();
  gutter_->setGeometry(QRect(r.left(), r.top(), GutterWidth(), r.height()));
}

void CodeEditWidget::PaintGutter(QPaintEvent* e) {
  QPainter p(gutter_);
  p.fillRect(e->rect(), palette().color(QPalette::Window));
  QTextBlock block = firstVisibleBlock();
  int top = qRound(blockBoundingGeometry(block).translated(contentOffset()).top());
  const int height = qRound(blockBoundingRect(block).height());
  while (block.isValid() && top <= e->rect().bottom()) {
    const int line = block.blockNumber() + 1;
    if (block.isVisible() && top + height >= e->rect().top()) {
      const auto dot = dots_.find(line);
      if (dot != dots_.end()) {
        // A breakpoint's dot beside its number: red, hollow when it is disabled (as the disassembly draws it).
        p.setBrush(dot->second ? QColor(255, 0, 0) : QColor(255, 255, 255));
        p.setPen(QColor(128, 0, 0));
        p.drawEllipse(QRect(2, top + height / 2 - 4, 8, 8));
      }
      p.setPen(palette().color(QPalette::PlaceholderText));
      p.drawText(0, top, gutter_->width() - 4, height, Qt::AlignRight, QString::number(line));
    }
    block = block.next();
    top += height;
  }
}

void CodeEditWidget::SetMarks(const std::map<int32_t, uint32_t>& marks) {
  marks_ = marks;
  QList<QTextEdit::ExtraSelection> selections;
  for (const auto& [line, color] : marks) {
    // A mark past the end of the file marks nothing.
    const QTextBlock block = document()->findBlockByNumber(line - 1);
    if (line < 1 || !block.isValid()) continue;
    QTextEdit::ExtraSelection s;
    s.cursor = QTextCursor(block);
    s.format.setBackground(FromBgr(color));
    s.format.setForeground(TextColorOn(color));
    s.format.setProperty(QTextFormat::FullWidthSelection, true);
    selections.append(s);
  }
  setExtraSelections(selections);
  gutter_->update();
}

void CodeEditWidget::SetBreakDots(const std::map<int32_t, bool>& dots) {
  if (dots == dots_) return;
  dots_ = dots;
  gutter_->update();
}

CodeEditWidget::Dot CodeEditWidget::DotAt(int32_t line) const {
  const auto it = dots_.find(line);
  if (it == dots_.end() || !document()->findBlockByNumber(line - 1).isValid()) return Dot::kNone;
  return it->second ? Dot::kSolid : Dot::kHollow;
}

QColor CodeEditWidget::MarkTextColor(int32_t line) const {
  const QTextBlock block = document()->findBlockByNumber(line - 1);
  for (const QTextEdit::ExtraSelection& s : extraSelections())
    if (s.cursor.block() == block) return s.format.foreground().color();
  return {};
}

QColor CodeEditWidget::MarkColor(int32_t line) const {
  const auto it = marks_.find(line);
  if (it == marks_.end() || !document()->findBlockByNumber(line - 1).isValid()) return {};
  return FromBgr(it->second);
}

void CodeEditWidget::ShowLine(int32_t line) {
  const QTextBlock block = document()->findBlockByNumber(std::max(line - 1, 0));
  if (!block.isValid()) return;
  const int first = firstVisibleBlock().blockNumber();
  const int rows = std::max(1, viewport()->height() / std::max(1, fontMetrics().height()));
  if (block.blockNumber() >= first && block.blockNumber() < first + rows - 1) return;
  verticalScrollBar()->setValue(std::max(0, block.blockNumber() - rows / 2));
}

void CodeEditWidget::GoToLine(int32_t line) {
  const QTextBlock block = document()->findBlockByNumber(std::max(line - 1, 0));
  if (!block.isValid()) return;
  setTextCursor(QTextCursor(block));
  ShowLine(line);
}

void CodeEditWidget::mouseDoubleClickEvent(QMouseEvent* e) {
  // A double click on a line sets or clears its breakpoint.
  QTextCursor cursor = cursorForPosition(e->position().toPoint());
  cursor.movePosition(QTextCursor::StartOfBlock);
  setTextCursor(cursor);
  if (DoubleClicked) DoubleClicked();
}

void CodeEditWidget::mouseMoveEvent(QMouseEvent* e) {
  QPlainTextEdit::mouseMoveEvent(e);
  const QPoint point = e->position().toPoint();
  if (hint_->isVisible() && WordAt(point) == WordAt(mouse_)) return;
  hint_->hide();
  mouse_ = point;
  hintTimer_.start();
}

void CodeEditWidget::leaveEvent(QEvent* e) {
  QPlainTextEdit::leaveEvent(e);
  hintTimer_.stop();
  hintTimer_.setInterval(kHintRestMs);
}

QString CodeEditWidget::WordAt(const QPoint& point) const {
  const QTextCursor cursor = cursorForPosition(point);
  const QString line = cursor.block().text();
  const int at = cursor.positionInBlock();
  // The character under the point: the cursor stands before or after it.
  const QRect box = cursorRect(cursor);
  int start = point.x() < box.left() ? at - 1 : at;
  if (start < 0 || start >= line.size()) return {};
  auto inWord = [&line](int i) { return !IsWordDelimiter(static_cast<char>(line[i].toLatin1())) && line[i].unicode() < 128; };
  if (!inWord(start)) return {};
  int end = start;
  while (start > 0 && inWord(start - 1)) --start;
  while (end + 1 < line.size() && inWord(end + 1)) ++end;
  return line.mid(start, end - start + 1);
}

bool CodeEditWidget::ShowHintAt(const QPoint& point) {
  hint_->hide();
  const QString word = WordAt(point);
  // Nothing is looked up while a command works or the program runs.
  if (word.isEmpty() || Executor().Running || Run().ProgramRunning) return false;
  const std::string text = HintText(TrimPunctuation(word.toStdString()));
  if (text.empty()) return false;
  TScriptWindow layout;
  layout.X = point.x();
  layout.Y = point.y();
  layout.Text = text;
  const QFontMetrics metrics(hint_->font());
  layout.LayoutText(viewport()->width(), [&metrics](std::string_view line) {
    return metrics.horizontalAdvance(Text(line));
  });
  QString caption = Text(layout.Caption);
  caption.replace("\r\n", "\n");
  hint_->setText(caption);
  hint_->setGeometry(layout.Left, layout.Top, layout.Width + 4, layout.Height + 2);
  hint_->show();
  hint_->raise();
  hintHideTimer_.start();
  hintTimer_.setInterval(kHintAgainMs);
  return true;
}

void CodeEditWidget::focusInEvent(QFocusEvent* e) {
  QPlainTextEdit::focusInEvent(e);
  if (FocusedIn) FocusedIn();
}

// --- The pages ---------------------------------------------------------------------

EditorPages::EditorPages(QWidget& main) : QTabWidget(&main), main_(main) {
  setObjectName("EditorPages");
  setDocumentMode(true);
  setTabsClosable(true);
  setMovable(false);  // the tabs keep the engine's page order
  connect(this, &QTabWidget::tabCloseRequested, this, [this](int index) { ClosePageAsk(index); });
  cursorTimer_.setSingleShot(true);
  cursorTimer_.setInterval(kCursorRestMs);
  connect(&cursorTimer_, &QTimer::timeout, this, [this] { UpdateCursorAddress(); });
  connect(this, &QTabWidget::currentChanged, this, [this](int index) {
    if (syncing_ || index < 0) return;
    EditorModel().ActivePage = index;
    ActivateEditor(false);
  });
}

CodeEditWidget* EditorPages::Page(int32_t page) const {
  return page >= 0 && page < Count() ? editors_[static_cast<size_t>(page)] : nullptr;
}

int32_t EditorPages::IndexOf(const CodeEditWidget* editor) const {
  const auto it = std::find(editors_.begin(), editors_.end(), editor);
  return it == editors_.end() ? -1 : static_cast<int32_t>(it - editors_.begin());
}

void EditorPages::AddEditor(int32_t page) {
  const TEditSheet& sheet = *PageAt(page);
  auto* editor = new CodeEditWidget(this);
  editor->setObjectName("EditSheet");
  const std::string bytes = sheet.Editor.Text("\n", false);
  editor->Latin1 = !IsUtf8(bytes);
  editor->setPlainText(Decode(bytes, editor->Latin1));
  editor->setReadOnly(sheet.ReadOnly);
  editor->document()->setModified(false);
  connect(editor->document(), &QTextDocument::contentsChange, this,
          [this, editor](int position, int, int added) { LinesEdited(editor, position, added); });
  // The marks moved by an edit are drawn once the editor is through with it.
  connect(editor, &QPlainTextEdit::textChanged, this, [this] {
    if (!syncing_) Sync();
  });
  connect(editor->document(), &QTextDocument::modificationChanged, this,
          [this, editor] { ShowTitle(IndexOf(editor)); });
  // The caret's address is looked up once the caret rests (the listing is read
  // for it); the debug actions look it up again before they use it.
  connect(editor, &QPlainTextEdit::cursorPositionChanged, this, [this, editor] {
    if (IndexOf(editor) != currentIndex()) return;
    if (CaretMoved) CaretMoved();
    cursorTimer_.start();
  });
  editor->FocusedIn = [this] { UpdateCursorAddress(); };
  editor->DoubleClicked = [this] {
    UpdateCursorAddress();
    if (LineDoubleClicked) LineDoubleClicked();
  };
  editors_.push_back(editor);
  loads_.push_back(sheet.Loads);
  addTab(editor, QString());
  ShowTitle(page);
}

void EditorPages::ShowTitle(int32_t page) {
  const TEditSheet* sheet = PageAt(page);
  CodeEditWidget* editor = Page(page);
  if (!sheet || !editor) return;
  const QString name = QString::fromStdString(std::filesystem::path(sheet->FileName).filename().string());
  setTabText(page, name + (editor->document()->isModified() ? " *" : ""));
  setTabToolTip(page, Text(sheet->FileName));
}

void EditorPages::LinesEdited(CodeEditWidget* editor, int position, int added) {
  if (syncing_) return;
  const int32_t page = IndexOf(editor);
  TEditSheet* sheet = PageAt(page);
  if (!sheet) return;
  // The engine reads the edited lines (source lookups, search, breakpoints):
  // the blocks the change touched replace their lines, the engine's lines
  // being the page's blocks before it. The marks below move with their lines.
  const QTextDocument* doc = editor->document();
  const int first = doc->findBlock(position).blockNumber();
  const QTextBlock end = doc->findBlock(position + added);
  const int last = end.isValid() ? end.blockNumber() : doc->blockCount() - 1;
  const int removed = last - first + 1 - (doc->blockCount() - static_cast<int>(sheet->Editor.Lines.size()));
  std::vector<std::string> lines;
  for (QTextBlock b = doc->findBlockByNumber(first); b.isValid() && b.blockNumber() <= last; b = b.next())
    lines.push_back(Encode(b.text(), editor->Latin1));
  if (first < 0 || !ReplacePageLines(page, first, removed, std::move(lines)) ||
      sheet->Editor.Lines.size() != static_cast<size_t>(doc->blockCount()))
    HandOverText(editor);
}

void EditorPages::HandOverText(CodeEditWidget* editor) {
  if (!PageAt(IndexOf(editor))) return;
  EditPageText(IndexOf(editor), Encode(editor->toPlainText(), editor->Latin1));
}

void EditorPages::Sync() {
  EditorModelState& v = EditorModel();
  if (v.EditorRevision == shownRevision_ && Breakpoints().Revision == shownBreakpoints_ &&
      Count() == static_cast<int32_t>(v.Pages.size()))
    return;
  shownRevision_ = v.EditorRevision;
  shownBreakpoints_ = Breakpoints().Revision;
  syncing_ = true;
  // Pages whose file is no longer the engine's at their place go (with those after them).
  int32_t keep = 0;
  while (keep < Count() && keep < static_cast<int32_t>(v.Pages.size()) &&
         tabToolTip(keep) == Text(v.Pages[static_cast<size_t>(keep)].FileName))
    ++keep;
  while (Count() > keep) {
    CodeEditWidget* editor = editors_.back();
    removeTab(Count() - 1);
    editors_.pop_back();
    loads_.pop_back();
    editor->deleteLater();
  }
  for (int32_t page = Count(); page < static_cast<int32_t>(v.Pages.size()); ++page) AddEditor(page);
  for (int32_t page = 0; page < Count(); ++page) {
    CodeEditWidget* editor = Page(page);
    const TEditSheet& sheet = v.Pages[static_cast<size_t>(page)];
    if (loads_[static_cast<size_t>(page)] != sheet.Loads) {
      // The file was read again.
      loads_[static_cast<size_t>(page)] = sheet.Loads;
      const std::string bytes = sheet.Editor.Text("\n", false);
      editor->Latin1 = !IsUtf8(bytes);
      editor->setPlainText(Decode(bytes, editor->Latin1));
      editor->setReadOnly(sheet.ReadOnly);
      editor->document()->setModified(false);
    }
    const auto marks = v.LineMarks.find(page);
    editor->SetMarks(marks == v.LineMarks.end() ? std::map<int32_t, uint32_t>{} : marks->second);
    editor->SetBreakDots(BreakDots(page));
  }
  if (v.ActivePage >= 0 && v.ActivePage < Count() && currentIndex() != v.ActivePage) setCurrentIndex(v.ActivePage);
  if (CodeEditWidget* editor = Page(v.GotoLine.Page)) {
    editor->ShowLine(v.GotoLine.Line);
    v.GotoLine = {};
  }
  syncing_ = false;
}

bool EditorPages::Modified(int32_t page) const {
  const CodeEditWidget* editor = Page(page);
  return editor != nullptr && editor->document()->isModified();
}

// --- File actions --------------------------------------------------------------------

void EditorPages::OpenFileClick() {
  const std::string name = Choosers().OpenFile(
      {.Parent = &main_, .Caption = "Open", .Filter = "Sources (*.a51 *.asm *.inc *.c *.h *.lst);;All files (*)"});
  if (!name.empty()) OpenFile(name);
}

bool EditorPages::OpenFile(const std::string& fileName) {
  const int32_t page = OpenEditorPage(fileName);
  Sync();
  if (page < 0) return false;
  setCurrentIndex(page);
  ActivateEditor(true);
  return true;
}

bool EditorPages::SavePageAs(int32_t page, const std::string& fileName) {
  TEditSheet* sheet = PageAt(page);
  CodeEditWidget* editor = Page(page);
  if (!sheet || !editor) return false;
  // The file gets the page's text whole, as the editor holds it.
  HandOverText(editor);
  const std::string text = sheet->Editor.Text(sheet->LineBreak, sheet->FinalLineBreak);
  // The old file stays as the backup beside it, under its whole name + ".BAK".
  if (platform::InputKindError(fileName) == EISDIR ||
      !platform::WriteFileKeepingBackup(fileName, text, fileName + ".BAK")) {
    const int code = platform::TakeIOResult();
    ReportError(err::kErrorWritingFile, fileName + " (" + platform::OsErrorText(code ? code : EISDIR) + ")");
    return false;
  }
  sheet->FileName = fileName;
  platform::FileModifiedTime(fileName, sheet->FileTime);
  editor->document()->setModified(false);
  ShowTitle(page);
  return true;
}

bool EditorPages::SavePage(int32_t page) {
  const TEditSheet* sheet = PageAt(page);
  return sheet != nullptr && SavePageAs(page, sheet->FileName);
}

void EditorPages::SaveClick() { SavePage(currentIndex()); }

void EditorPages::SaveAsClick() {
  const TEditSheet* sheet = PageAt(currentIndex());
  if (!sheet) return;
  const std::string name =
      Choosers().SaveFile({.Parent = &main_, .Caption = "Save as", .Start = Text(sheet->FileName)});
  if (!name.empty()) SavePageAs(currentIndex(), name);
}

bool EditorPages::ClosePageAsk(int32_t page) {
  const TEditSheet* sheet = PageAt(page);
  if (!sheet) return false;
  if (Modified(page)) {
    const int answer = ReportWarning(warn::kFileNotSaved, sheet->FileName);
    if (answer == platform::kBoxCancel) return false;
    if (IsYes(answer) && !SavePage(page)) return false;
    if (!IsYes(answer)) DropPageEdits(page);
  }
  syncing_ = true;
  CodeEditWidget* editor = editors_[static_cast<size_t>(page)];
  removeTab(page);
  editors_.erase(editors_.begin() + page);
  loads_.erase(loads_.begin() + page);
  editor->deleteLater();
  ClosePage(page);
  shownRevision_ = EditorModel().EditorRevision;
  if (EditorModel().ActivePage >= 0) setCurrentIndex(EditorModel().ActivePage);
  syncing_ = false;
  UpdateCursorAddress();
  return true;
}

void EditorPages::CloseClick() {
  if (currentIndex() >= 0) ClosePageAsk(currentIndex());
}

bool EditorPages::CanCloseAll() {
  std::vector<int32_t> dropped;
  for (int32_t page = 0; page < Count(); ++page) {
    if (!Modified(page)) continue;
    setCurrentIndex(page);
    const int answer = ReportWarning(warn::kFileNotSaved, PageAt(page)->FileName);
    if (answer == platform::kBoxCancel) return false;
    if (IsYes(answer) && !SavePage(page)) return false;
    if (!IsYes(answer)) dropped.push_back(page);
  }
  // The project keeps the marks' lines in the files as they are on disk.
  for (int32_t page : dropped) DropPageEdits(page);
  return true;
}

void EditorPages::CloseAll() {
  for (CodeEditWidget* editor : editors_) editor->document()->setModified(false);
  while (Count() > 0) ClosePageAsk(Count() - 1);
}

void EditorPages::LoadPages(const platform::IniFile& file) {
  for (int n = 1;; ++n) {
    const std::string name = file.ReadString(kFilesSection, "FILE" + std::to_string(n));
    if (name.empty()) break;
    const int32_t page = OpenFileInEditor(name, true);
    Sync();
    const int line = std::atoi(file.ReadString(kFilesSection, "Pos" + std::to_string(n)).c_str());
    if (CodeEditWidget* editor = Page(page); editor != nullptr && line > 0) editor->GoToLine(line);
  }
}

void EditorPages::SavePages(platform::IniFile& file) const {
  file.EraseSection(kFilesSection);
  for (int32_t page = 0; page < Count(); ++page) {
    const std::string n = std::to_string(page + 1);
    file.WriteString(kFilesSection, "FILE" + n, PageAt(page)->FileName);
    file.WriteString(kFilesSection, "Pos" + n, std::to_string(Page(page)->CaretLine() + 1));
  }
}

// --- Activation and the cursor address ------------------------------------------------

void EditorPages::ActivateEditor(bool focus) {
  const int32_t page = currentIndex();
  TEditSheet* sheet = PageAt(page);
  if (!sheet) return;
  EditorModel().ActivePage = page;
  int64_t time = 0;
  if (platform::FileModifiedTime(sheet->FileName, time) && sheet->FileTime != 0 && time != sheet->FileTime) {
    // Asked once per change: the time is taken before the question.
    sheet->FileTime = time;
    if (IsYes(ReportWarning(warn::kDateTimeStampFileChanged, sheet->FileName)) && ReloadPage(page)) Sync();
  }
  if (focus && Page(page)) Page(page)->setFocus();
  if (!Run().TargetBusy) UpdateCursorAddress();
}

void EditorPages::UpdateCursorAddress() {
  const TEditSheet* sheet = PageAt(currentIndex());
  const CodeEditWidget* editor = Page(currentIndex());
  if (!CursorLineFound || !sheet || !editor) return;
  uint16_t address = 0;
  std::string location;
  const int32_t line = editor->CaretLine();
  if (SourceLineAddress(sheet->FileName, sheet->Editor.Lines, line, address, location))
    CursorLineFound(address, location);
  else
    CursorLineFound(-1, sheet->FileName + ":" + std::to_string(line + 1));
}

tShowedLine EditorPages::ActiveCaret() const {
  tShowedLine caret;
  if (const CodeEditWidget* editor = Page(currentIndex())) {
    caret.Page = currentIndex();
    caret.Line = editor->CaretLine() + 1;
    if (const TEditSheet* sheet = PageAt(caret.Page)) caret.FileName = sheet->FileName;
  }
  return caret;
}

// --- Search ------------------------------------------------------------------------------

bool EditorPages::FindNext(const std::string& text, bool matchCase, bool wholeWord) {
  TEditSheet* sheet = PageAt(currentIndex());
  CodeEditWidget* editor = Page(currentIndex());
  if (!sheet || !editor || text.empty()) return false;
  const QTextCursor caret = editor->textCursor();
  const QTextBlock block = caret.block();
  // From just after the caret (past a selection: the hit found last).
  const int column = static_cast<int>(Encode(block.text().left(caret.selectionEnd() - block.position()),
                                             editor->Latin1).size());
  const FindOptions options{matchCase, wholeWord};
  const TPoint end{0, static_cast<int32_t>(sheet->Editor.Lines.size())};
  TPoint found = sheet->Editor.Find(text, {column, block.blockNumber()}, end, options);
  if (found.Y < 0) {
    if (!IsYes(ReportWarning(warn::kNoOccurrenceFound, text, "the beginning"))) return false;
    found = sheet->Editor.Find(text, {0, 0}, end, options);
    if (found.Y < 0) return false;
  }
  const QTextBlock hit = editor->document()->findBlockByNumber(found.Y);
  const std::string& bytes = sheet->Editor.Lines[static_cast<size_t>(found.Y)];
  const int start = static_cast<int>(Decode(bytes.substr(0, static_cast<size_t>(found.X)), editor->Latin1).size());
  const int length = static_cast<int>(Decode(text, editor->Latin1).size());
  QTextCursor select(hit);
  select.setPosition(hit.position() + start);
  select.setPosition(hit.position() + start + length, QTextCursor::KeepAnchor);
  editor->setTextCursor(select);
  editor->ensureCursorVisible();
  return true;
}

}  // namespace dorvik::gui
