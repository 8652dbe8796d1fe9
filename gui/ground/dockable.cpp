#include "gui/ground/dockable.h"

#include <QApplication>
#include <QCloseEvent>
#include <QLayout>
#include <QMainWindow>
#include <QTabBar>
#include <QTimer>

#include <algorithm>
#include <charconv>
#include <span>
#include <vector>

#include "project/project.h"
#include "base/session.h"
#include "base/text.h"
#include "platform/files.h"

namespace dorvik::gui {

namespace {

// A rectangle given by its corners, the right and bottom edges outside it.
QRect Corners(int left, int top, int right, int bottom) { return QRect(left, top, right - left, bottom - top); }

// A flag set for as long as the object lives.
class SetWhile {
 public:
  explicit SetWhile(bool& flag) : flag_(flag) { flag_ = true; }
  ~SetWhile() { flag_ = false; }
  SetWhile(const SetWhile&) = delete;
  SetWhile& operator=(const SetWhile&) = delete;

 private:
  bool& flag_;
};

// The windows on screen docked in Area of Main (none floats), in the main window's order.
std::vector<QDockWidget*> WindowsInArea(QMainWindow& main, Qt::DockWidgetArea area) {
  std::vector<QDockWidget*> windows;
  for (QDockWidget* window : main.findChildren<QDockWidget*>())
    if (!window->isHidden() && !window->isFloating() && main.dockWidgetArea(window) == area) windows.push_back(window);
  return windows;
}

}  // namespace

DockingState& Docking() { return CurrentSession().Get<DockingState>(); }

DockZone DockingZone(QSize size, QPoint mouse, QRect& dockRect) {
  const int w = size.width(), h = size.height();
  struct Zone {
    DockZone Zone;
    QRect Area;
    QRect Dock;
  };
  const Zone zones[] = {
      {DockZone::Left, Corners(0, 0, w / 5, h), Corners(0, 0, w / 2, h)},
      {DockZone::Top, Corners(w / 5, 0, 4 * w / 5, h / 5), Corners(0, 0, w, h / 2)},
      {DockZone::Right, Corners(4 * w / 5, 0, w, h), Corners(w / 2, 0, w, h)},
      {DockZone::Bottom, Corners(w / 5, 4 * h / 5, 4 * w / 5, h), Corners(0, h / 2, w, h)},
      {DockZone::Client, Corners(w / 5, h / 5, 4 * w / 5, 4 * h / 5), Corners(w / 5, h / 5, 4 * w / 5, 4 * h / 5)},
  };
  for (const Zone& z : zones)
    if (z.Area.contains(mouse)) {
      dockRect = z.Dock;
      return z.Zone;
    }
  return DockZone::None;
}

TDockableForm::TDockableForm(const QString& name, const QString& caption, QMainWindow* mainWindow)
    : QDockWidget(caption, mainWindow), main_(mainWindow) {
  setObjectName(name);
  setAllowedAreas(Qt::LeftDockWidgetArea | Qt::RightDockWidgetArea | Qt::BottomDockWidgetArea);
  handle_ = platform::Pump().CreateWindow([this](const platform::WindowMessage& m) { return HandleMessage(m); });
  // Docked, undocked or made a page, by the user's drag as by the program.
  dockNotification_ = connect(this, &QDockWidget::dockLocationChanged, this, [this] { DockChanged(); });
  connect(this, &QDockWidget::visibilityChanged, this, [this](bool visible) { ShownInSession |= visible; });
}

TDockableForm::~TDockableForm() {
  // The base classes' destruction may still move the window: no notification reaches this part of it.
  disconnect(dockNotification_);
  platform::Pump().DestroyWindow(handle_);
}

int64_t TDockableForm::HandleMessage(const platform::WindowMessage& message) {
  switch (message.Msg) {
    case kLoadLayoutMessage: LoadLayout(); break;
    case kRefreshHostPageMessage:
      refreshPosted_ = false;
      RefreshHostPage();
      break;
    default: break;
  }
  return 0;
}

DockZone TDockableForm::ComputeDockingRect(QRect& dockRect, QPoint mousePos) const {
  QRect rect = dockRect;
  const DockZone zone = DockingZone(size(), mousePos, rect);
  if (zone != DockZone::None) dockRect = QRect(mapToGlobal(rect.topLeft()), rect.size());
  return zone;
}

bool TDockableForm::FormDockDrop(TDockableForm* source, QPoint mousePos) {
  if (source == nullptr || source == this || !InDockSite()) return false;
  QRect rect;
  if (ComputeDockingRect(rect, mousePos) == DockZone::None) return false;
  LayoutUpdate update(*source);
  source->setFloating(false);
  main_->addDockWidget(Host(), source);
  main_->tabifyDockWidget(this, source);
  source->show();
  return true;
}

Qt::DockWidgetArea TDockableForm::Host() const {
  return InDockSite() ? main_->dockWidgetArea(const_cast<TDockableForm*>(this)) : Qt::NoDockWidgetArea;
}

bool TDockableForm::InDockSite() const { return !isHidden() && !isFloating(); }

bool TDockableForm::Docked() const {
  if (!InDockSite()) return false;
  for (QDockWidget* other : main_->tabifiedDockWidgets(const_cast<TDockableForm*>(this)))
    if (!other->isHidden() && !other->isFloating()) return true;
  return false;
}

void TDockableForm::FloatAtMainCorner() {
  const QSize own = size();
  setFloating(true);
  // At the main window's corner below its menu bar, inside the screen.
  QPoint corner = main_->geometry().topLeft();
  if (const QWidget* menu = main_->menuWidget(); menu != nullptr && menu->isVisible()) corner.ry() += menu->height();
  setGeometry(ClampToScreen(QRect(corner, own), ScreenArea(*main_)));
}

void TDockableForm::closeEvent(QCloseEvent* event) {
  {
    const SetWhile closing(Closing);
    LayoutUpdate update(*this);
    // Hidden before it floats: a docked window made a window of its own on
    // screen and hidden at once is mapped by a window manager in its own
    // time, and Qt's later show no longer reaches it.
    hide();
    FloatAtMainCorner();
  }
  QDockWidget::closeEvent(event);
}

void TDockableForm::JoinAreaPages() {
  if (!InDockSite()) return;
  std::vector<QDockWidget*> windows = WindowsInArea(*main_, main_->dockWidgetArea(this));
  if (windows.size() < 2) return;
  // The pages there keep their order; this window joins them as the last.
  std::stable_partition(windows.begin(), windows.end(), [this](const QDockWidget* w) { return w != this; });
  QDockWidget* first = windows.front();
  for (QDockWidget* other : std::span(windows).subspan(1))
    if (!main_->tabifiedDockWidgets(first).contains(other)) main_->tabifyDockWidget(first, other);
}

const QWidget* TDockableForm::FrontPage() const {
  if (const QTabBar* bar = HostTabBar(); bar != nullptr && bar->currentIndex() >= 0) {
    const auto front = bar->tabData(bar->currentIndex()).value<quintptr>();
    for (QDockWidget* page : main_->tabifiedDockWidgets(const_cast<TDockableForm*>(this)))
      if (reinterpret_cast<quintptr>(page) == front) return page;
  }
  return this;
}

void TDockableForm::ShowDockable() {
  if (isHidden()) {
    Loaded = false;
    // A floating window comes back at the main window's corner, wherever that is now.
    if (isFloating()) FloatAtMainCorner();
    show();
    // Beside another window of its area it becomes a page, as that one does.
    if (!isFloating()) {
      LayoutUpdate update(*this);
      JoinAreaPages();
      if (Docked()) repaintDue_ = true;
    }
    // Once the main window has laid the shown window out.
    QTimer::singleShot(0, this, [this] { OpenHostArea(); });
    platform::Pump().PostMessage(handle_, kLoadLayoutMessage, 0, 0);
  }
  SelectHostPage();
}

void TDockableForm::SelectHostPage() {
  raise();
  if (isFloating()) activateWindow();
}

void TDockableForm::LoadLayout() {
  if (Loaded) return;
  platform::IniFile file;
  const std::string& project = Project().ProjectFileName;
  // No project file, or none that can be read yet: nothing to restore.
  if (!project.empty() && !file.Load(project)) platform::TakeIOResult();
  LoadLayout(file);
}

void TDockableForm::LoadLayout(const platform::IniFile& file) {
  if (Loaded) return;
  Loaded = true;
  LayoutEntry entry;
  const LayoutKind kind = ViewParamsLoaded ? LayoutKind::MemoryView : LayoutKind::Window;
  if (!ParseLayoutValue(file.ReadString(kLayoutSection, objectName().toStdString()), entry, kind)) return;
  if (ViewParamsLoaded) ViewParamsLoaded(entry.ViewParams);
  const SetWhile closing(Closing);
  LayoutUpdate update(*this);
  ApplyWindowPosition(entry);
}

void TDockableForm::ApplyWindowPosition(const LayoutEntry& entry) {
  const QRect at = isFloating() ? geometry() : QRect(mapToGlobal(QPoint(0, 0)), size());
  const Qt::DockWidgetArea area = AreaOfSide(entry.Side);
  if (area == Qt::NoDockWidgetArea) {
    setFloating(true);
    setGeometry(PlacedOnScreen(at, entry, *main_));
    return;
  }
  // Other windows in the area: this one joins them as a page.
  setFloating(false);
  if (main_->dockWidgetArea(this) != area) main_->addDockWidget(area, this);
  JoinAreaPages();
  // A hidden window's size would be its area's, taken from the windows on screen.
  if (isHidden()) return;
  const Qt::Orientation across = area == Qt::BottomDockWidgetArea ? Qt::Vertical : Qt::Horizontal;
  const std::optional<int> wanted = across == Qt::Vertical ? entry.Height : entry.Width;
  if (!wanted) return;
  const int want = std::max(*wanted, 1);
  main_->resizeDocks({this}, {want}, across);
  if (!main_->isVisible() || main_->layout() == nullptr) return;
  // The size is the page's, the area's is larger by its tab bar: the area
  // grows by what the laid-out page lacks.
  main_->layout()->activate();
  const QSize now = FrontPage()->size();
  const int got = across == Qt::Vertical ? now.height() : now.width();
  if (got > 0 && got != want) main_->resizeDocks({this}, {std::max(want + (want - got), 1)}, across);
}

LayoutEntry TDockableForm::CurrentLayout() const {
  LayoutEntry e;
  e.Flag = isHidden() ? 0 : 1;
  // A page not in front has no place of its own on screen: its page control's is taken.
  const QWidget* shown = isFloating() ? this : FrontPage();
  const QRect g = isFloating() ? geometry() : QRect(shown->mapToGlobal(QPoint(0, 0)), shown->size());
  e.Left = g.left();
  e.Top = g.top();
  e.Width = g.width();
  e.Height = g.height();
  if (!isFloating()) e.Side = SideOfArea(main_->dockWidgetArea(const_cast<TDockableForm*>(this)));
  if (ViewParamsSaved) {
    e.HasViewParams = true;
    e.ViewParams = ViewParamsSaved();
  }
  return e;
}

void TDockableForm::SetLayoutUpdate(bool begin) {
  if (begin) {
    if (UpdateCount == 0) {
      // Disabling moves the keyboard focus away; it comes back at the end.
      QWidget* focus = QApplication::focusWidget();
      focus_ = focus != nullptr && isAncestorOf(focus) ? focus : nullptr;
    }
    Updating = true;
    ++UpdateCount;
    setEnabled(false);
    if (WaitForm != nullptr && UpdateCount == 1 && main_->isVisible()) {
      WaitForm->adjustSize();
      // Centred on the main window, of which it is a part (or a window of its own).
      const QRect over = WaitForm->isWindow() ? main_->geometry() : main_->rect();
      WaitForm->move(over.center() - WaitForm->rect().center());
      WaitForm->raise();
      WaitForm->show();
      WaitForm->repaint();
    }
    return;
  }
  if (UpdateCount > 0) --UpdateCount;
  if (UpdateCount > 0) return;
  Updating = false;
  setEnabled(true);
  if (WaitForm != nullptr) WaitForm->hide();
  if (focus_ != nullptr && focus_->isVisible() && focus_->isEnabled()) focus_->setFocus();
  focus_ = nullptr;
  if (repaintDue_) {
    repaintDue_ = false;
    // One repaint pending is enough, however many changes asked for it.
    if (!refreshPosted_) refreshPosted_ = platform::Pump().PostMessage(handle_, kRefreshHostPageMessage, 0, 0);
  }
}

void TDockableForm::DockChanged() {
  LayoutUpdate update(*this);
  OpenHostArea();
  // Docked into an area that holds other windows: all become pages.
  if (!Closing) JoinAreaPages();
  if (Docked()) repaintDue_ = true;
}

void TDockableForm::OpenHostArea() {
  if (!InDockSite() || Closing) return;
  const Qt::DockWidgetArea area = main_->dockWidgetArea(this);
  for (QDockWidget* other : WindowsInArea(*main_, area))
    if (other != this) return;
  // The first window of an area: the area takes a third of the main window.
  if (area == Qt::BottomDockWidgetArea)
    main_->resizeDocks({this}, {std::max(main_->height() / 3, 1)}, Qt::Vertical);
  else
    main_->resizeDocks({this}, {std::max(main_->width() / 3, 1)}, Qt::Horizontal);
}

QTabBar* TDockableForm::HostTabBar() const {
  if (!Docked()) return nullptr;
  // The main window's tab bars carry the window of each tab as the tab's data.
  const auto self = reinterpret_cast<quintptr>(this);
  for (QTabBar* bar : main_->findChildren<QTabBar*>())
    for (int i = 0; i < bar->count(); ++i)
      if (bar->tabData(i).value<quintptr>() == self) return bar;
  return nullptr;
}

void TDockableForm::RefreshHostPage() {
  if (Docking().ProjectLoading || Closing || !InDockSite()) return;
  if (QTabBar* bar = HostTabBar(); bar != nullptr && bar->count() > 1) {
    const int page = bar->currentIndex();
    bar->setCurrentIndex(page == 0 ? 1 : 0);
    bar->repaint();
    bar->setCurrentIndex(page);
    bar->repaint();
  }
  repaint();
}

std::vector<TDockableForm*> InEntryOrder(const platform::IniFile& file, const std::vector<TDockableForm*>& windows) {
  std::vector<TDockableForm*> ordered;
  for (const std::string& key : file.ReadSection(kLayoutSection))
    for (TDockableForm* w : windows)
      if (w->objectName().toStdString() == key && std::find(ordered.begin(), ordered.end(), w) == ordered.end())
        ordered.push_back(w);
  for (TDockableForm* w : windows)
    if (std::find(ordered.begin(), ordered.end(), w) == ordered.end()) ordered.push_back(w);
  return ordered;
}

std::vector<TDockableForm*> InPageOrder(const std::vector<TDockableForm*>& windows) {
  std::vector<TDockableForm*> ordered;
  for (TDockableForm* w : windows) {
    if (std::find(ordered.begin(), ordered.end(), w) != ordered.end()) continue;
    const QTabBar* bar = w->HostTabBar();
    if (bar == nullptr) {
      ordered.push_back(w);
      continue;
    }
    for (int tab = 0; tab < bar->count(); ++tab)
      for (TDockableForm* page : windows)
        if (bar->tabData(tab).value<quintptr>() == reinterpret_cast<quintptr>(page) &&
            std::find(ordered.begin(), ordered.end(), page) == ordered.end())
          ordered.push_back(page);
    if (std::find(ordered.begin(), ordered.end(), w) == ordered.end()) ordered.push_back(w);
  }
  return ordered;
}

}  // namespace dorvik::gui
