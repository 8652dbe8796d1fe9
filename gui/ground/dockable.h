#pragma once
// The dockable tool-window base: tool windows float or dock into the main
// window's left, right and bottom areas. One window docks alone into an area;
// a second one dropped on it makes both pages of that area (tabified docks);
// closing one of two pages leaves the other alone in the area. A window's
// position is kept in the project file's [DORVIK] section under its name.
// Restoring that position and repainting a page after a layout change are
// window messages posted through the engine's pump, handled when it pumps.

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <QDockWidget>
#include <QPointer>
#include <QRect>

#include "gui/ground/layoutentry.h"
#include "platform/ini.h"
#include "platform/pump.h"

class QMainWindow;
class QTabBar;

namespace dorvik::gui {

// The tool windows' messages: apply the stored layout (LoadLayout), repaint
// the window's page (RefreshHostPage).
inline constexpr uint32_t kLoadLayoutMessage = 2024;       // 0x7E8
inline constexpr uint32_t kRefreshHostPageMessage = 2025;  // 0x7E9

// What the tool windows share: a project is being opened (its layout is
// being applied); pages are not repainted meanwhile.
struct DockingState {
  bool ProjectLoading = false;
};
DockingState& Docking();

// Dock zones of a window's client area, tested in this order: left fifth,
// top fifth, right fifth, bottom fifth, centre.
enum class DockZone : uint8_t { None, Left, Top, Right, Bottom, Client };

// The zone under Mouse (client coordinates) of a client area of Size and the
// rectangle a drop there would take (client coordinates); no zone: None and
// DockRect unchanged.
DockZone DockingZone(QSize size, QPoint mouse, QRect& dockRect);

class TDockableForm : public QDockWidget {
 public:
  // Name: the component name that keys its layout entry.
  TDockableForm(const QString& name, const QString& caption, QMainWindow* mainWindow);
  ~TDockableForm() override;

  // The window's handle for the engine's messages (kLoadLayoutMessage, ...).
  platform::WindowHandle Handle() const { return handle_; }

  // The dock zone under MousePos (client coordinates) and its rectangle in
  // screen coordinates.
  DockZone ComputeDockingRect(QRect& dockRect, QPoint mousePos) const;
  // Source dropped on this window at MousePos: when this window sits in an
  // area and a zone is hit, both become pages of that area. True when docked.
  bool FormDockDrop(TDockableForm* source, QPoint mousePos);

  // Where it sits: the area it is docked in (none while floating or hidden),
  // in an area at all, and a page of an area shared with other windows.
  Qt::DockWidgetArea Host() const;
  bool InDockSite() const;
  bool Docked() const;

  // Shows the window: a hidden one comes back where it was (a window closed
  // by the user floats at the main window's corner) and posts itself the
  // message that applies its layout entry again; a visible page becomes the
  // active page.
  void ShowDockable();
  void SelectHostPage();
  // Applies the window's entry of the [DORVIK] section, once per showing:
  // of the project file (ProjectFileName), or of File.
  void LoadLayout();
  void LoadLayout(const platform::IniFile& file);
  // The entry as SaveLayout writes it.
  LayoutEntry CurrentLayout() const;
  // Nested layout change: the window is disabled from the first begin to
  // the last end; the end of the outermost one posts the page repaint when
  // the change made the window a page. LayoutUpdate pairs the calls.
  void SetLayoutUpdate(bool begin);
  // The window sits in an area or changed it (Qt's dock notification).
  void DockChanged();
  // Docked into an area that held no other window: the area opens at one
  // third of the main window's width (left, right) or height (bottom).
  void OpenHostArea();
  // Repaints the window's page: on a page control the active page is
  // switched to the other of the first two and back. Nothing while a project
  // is being opened, while the window closes, or when it is not docked.
  void RefreshHostPage();
  // The tab bar that holds this window's page (nullptr when it is no page).
  QTabBar* HostTabBar() const;

  // A memory view's five view parameters: handed over when its entry is
  // applied, asked for when it is written (unset: a window without them).
  std::function<void(const std::array<std::optional<int64_t>, kViewParamCount>&)> ViewParamsLoaded;
  std::function<std::array<std::optional<int64_t>, kViewParamCount>()> ViewParamsSaved;

  // Shown while a layout change of this window lasts (the symbol window's
  // "Wait please..." form); nullptr: none.
  QPointer<QWidget> WaitForm;

  bool Loaded = false;   // the layout entry was applied since the window was last shown
  bool ShownInSession = false;  // on screen at some time since the workbench started
  bool Closing = false;  // set while it floats on close and while its position is applied
  bool Updating = false;
  int UpdateCount = 0;

 protected:
  // The user's close: the window floats at the main window's top-left corner
  // with its own size and hides.
  void closeEvent(QCloseEvent* event) override;
  QMainWindow* main_;

 private:
  int64_t HandleMessage(const platform::WindowMessage& message);
  void ApplyWindowPosition(const LayoutEntry& entry);
  // The window sits in an area beside others: all of the area's windows on
  // screen become pages of one page control.
  void JoinAreaPages();
  // The window whose place this one's page shows: the page in front.
  const QWidget* FrontPage() const;
  void FloatAtMainCorner();

  platform::WindowHandle handle_ = platform::kNoWindow;
  QMetaObject::Connection dockNotification_;
  bool repaintDue_ = false;
  bool refreshPosted_ = false;
  QPointer<QWidget> focus_;  // had the keys when the layout change began
};

// The tool windows in the order of their entries in the [DORVIK] section of
// File, those without one last.
std::vector<TDockableForm*> InEntryOrder(const platform::IniFile& file, const std::vector<TDockableForm*>& windows);
// The tool windows with the pages of each area together, in the order of their tabs.
std::vector<TDockableForm*> InPageOrder(const std::vector<TDockableForm*>& windows);

// One layout change of a window, begun when made and ended when left,
// however it is left.
class LayoutUpdate {
 public:
  explicit LayoutUpdate(TDockableForm& form) : form_(form) { form_.SetLayoutUpdate(true); }
  ~LayoutUpdate() { form_.SetLayoutUpdate(false); }
  LayoutUpdate(const LayoutUpdate&) = delete;
  LayoutUpdate& operator=(const LayoutUpdate&) = delete;

 private:
  TDockableForm& form_;
};

}  // namespace dorvik::gui
