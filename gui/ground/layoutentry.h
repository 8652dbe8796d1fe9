#pragma once
// The [DORVIK] entry format: how the project file's section [DORVIK] keeps a
// window's place, and the screen a stored place is held on.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include <QRect>

class QWidget;

namespace dorvik::gui {

inline constexpr std::string_view kLayoutSection = "DORVIK";

// A layout value: a flag number, then left, top, width, height and an
// optional side letter (L, R or B), separated by commas. A memory view's
// value holds its five view parameters between the flag and the position.
// A missing or non-numeric field leaves that value as it is; position
// numbers are held within +-1,000,000.
//
// The flag is written 1 for a shown window and 0 for a hidden one; opening
// the project hides the windows stored with 0. Applying a stored position
// only needs it to be a number.
enum class LayoutKind : uint8_t { Window, MemoryView };
inline constexpr size_t kViewParamCount = 5;
struct LayoutEntry {
  int64_t Flag = 1;
  bool HasViewParams = false;  // a memory view's value
  std::array<std::optional<int64_t>, kViewParamCount> ViewParams;
  std::optional<int> Left, Top, Width, Height;
  char Side = 0;  // 'L', 'R', 'B' or 0 (floating)
};
// False (nothing to apply) when the value is empty or its first field is not a number.
bool ParseLayoutValue(std::string_view value, LayoutEntry& entry, LayoutKind kind = LayoutKind::Window);
// The value as written: a memory view's with its view parameters.
std::string LayoutValue(const LayoutEntry& entry);
// The rectangle moved and shrunk as little as needed to lie on the screen.
QRect ClampToScreen(QRect rect, QRect screen);
// The screen area Window is shown on (1024x768 when it is on none).
QRect ScreenArea(const QWidget& window);
// Rect with the entry's stored left, top, width and height, held on the
// screen of Window.
QRect PlacedOnScreen(QRect rect, const LayoutEntry& entry, const QWidget& window);
Qt::DockWidgetArea AreaOfSide(char side);
char SideOfArea(Qt::DockWidgetArea area);

}  // namespace dorvik::gui
