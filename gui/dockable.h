#pragma once
// The dockable tool-window base: tool windows float or dock into the main
// window's left, right and bottom areas. One window docks alone into an area;
// a second one dropped on it makes both pages of that area (tabified docks);
// closing one of two pages leaves the other alone in the area. A window's
// position is kept in the project file's [DORVIK] section under its name.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include <QDockWidget>
#include <QRect>

#include "platform/ini.h"

class QMainWindow;

namespace dorvik::gui {

inline constexpr std::string_view kLayoutSection = "DORVIK";

// Dock zones of a window's client area, tested in this order: left fifth,
// top fifth, right fifth, bottom fifth, centre.
enum class DockZone : uint8_t { None, Left, Top, Right, Bottom, Client };

// The zone under Mouse (client coordinates) of a client area of Size and the
// rectangle a drop there would take (client coordinates); no zone: None and
// DockRect unchanged.
DockZone DockingZone(QSize size, QPoint mouse, QRect& dockRect);

// A layout value: a flag number, then left, top, width, height and an
// optional side letter (L, R or B), separated by commas. A missing or
// non-numeric position field leaves that value as it is; numbers are held
// within +-1,000,000.
struct LayoutEntry {
  int64_t Flag = 1;  // 1: the window is shown, 0: hidden
  std::optional<int> Left, Top, Width, Height;
  char Side = 0;     // 'L', 'R', 'B' or 0 (floating)
};
// False (nothing to apply) when the value is empty or its first field is not a number.
bool ParseLayoutValue(std::string_view value, LayoutEntry& entry);
std::string LayoutValue(const LayoutEntry& entry);
// The rectangle moved and shrunk as little as needed to lie on the screen.
QRect ClampToScreen(QRect rect, QRect screen);
Qt::DockWidgetArea AreaOfSide(char side);
char SideOfArea(Qt::DockWidgetArea area);

class TDockableForm : public QDockWidget {
 public:
  // Name: the component name that keys its layout entry.
  TDockableForm(const QString& name, const QString& caption, QMainWindow* mainWindow);

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
  // by the user floats at the main window's corner) and its layout entry
  // is applied again; a visible page becomes the active page.
  void ShowDockable();
  void SelectHostPage();
  // Applies the window's entry of the [DORVIK] section, once per showing.
  void LoadLayout(const platform::IniFile& file);
  // The entry as SaveLayout writes it.
  LayoutEntry CurrentLayout() const;
  // Nested layout change: the window is disabled while one is in progress.
  void SetLayoutUpdate(bool begin);

  bool Loaded = false;   // the layout entry was applied since the window was last shown
  bool Closing = false;  // set while it floats on close and while its position is applied
  bool Updating = false;
  int UpdateCount = 0;

 protected:
  // The user's close: the window floats at the main window's top-left corner
  // with its own size and hides.
  void closeEvent(QCloseEvent* event) override;
  QMainWindow* main_;

 private:
  void ApplyWindowPosition(const LayoutEntry& entry);
  void FloatAtMainCorner();
};

}  // namespace dorvik::gui
