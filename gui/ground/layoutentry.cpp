#include "gui/ground/layoutentry.h"

#include <QScreen>
#include <QWidget>

#include <algorithm>
#include <charconv>
#include <vector>

#include "base/text.h"

namespace dorvik::gui {

namespace {

constexpr int64_t kMaxCoordinate = 1'000'000;

template <typename Int>
bool ReadInt(std::string_view text, Int& value) {
  const std::string field = TrimBlanks(text);
  if (field.empty()) return false;
  const char* begin = field.data();
  if (*begin == '+') ++begin;
  const auto [end, ec] = std::from_chars(begin, field.data() + field.size(), value);
  return ec == std::errc() && end == field.data() + field.size();
}

std::vector<std::string_view> SplitFields(std::string_view value) {
  std::vector<std::string_view> fields;
  for (size_t begin = 0;;) {
    const size_t comma = value.find(',', begin);
    fields.push_back(value.substr(begin, comma == std::string_view::npos ? std::string_view::npos : comma - begin));
    if (comma == std::string_view::npos) return fields;
    begin = comma + 1;
  }
}

}  // namespace

bool ParseLayoutValue(std::string_view value, LayoutEntry& entry, LayoutKind kind) {
  if (TrimBlanks(value).empty()) return false;
  const std::vector<std::string_view> fields = SplitFields(value);
  LayoutEntry e;
  if (!ReadInt(fields[0], e.Flag)) return false;
  size_t next = 1;
  if (kind == LayoutKind::MemoryView) {
    e.HasViewParams = true;
    for (std::optional<int64_t>& param : e.ViewParams) {
      int64_t n = 0;
      if (next < fields.size() && ReadInt(fields[next], n)) param = n;
      ++next;
    }
  }
  std::optional<int>* position[] = {&e.Left, &e.Top, &e.Width, &e.Height};
  for (std::optional<int>* field : position) {
    int64_t n = 0;
    // Far beyond any screen, yet safe to add: the window is clamped later.
    if (next < fields.size() && ReadInt(fields[next], n))
      *field = static_cast<int>(std::clamp<int64_t>(n, -kMaxCoordinate, kMaxCoordinate));
    ++next;
  }
  if (next < fields.size()) {
    const std::string side = UpperCase(TrimBlanks(fields[next]));
    if (side == "L" || side == "R" || side == "B") e.Side = side[0];
  }
  entry = e;
  return true;
}

std::string LayoutValue(const LayoutEntry& entry) {
  auto number = [](const auto& n) { return n ? std::to_string(*n) : std::string(); };
  std::string text = std::to_string(entry.Flag);
  if (entry.HasViewParams)
    for (const std::optional<int64_t>& param : entry.ViewParams) text += "," + number(param);
  text += "," + number(entry.Left) + "," + number(entry.Top) + "," + number(entry.Width) + "," + number(entry.Height);
  if (entry.Side != 0) text += std::string(",") + entry.Side;
  return text;
}

QRect ClampToScreen(QRect rect, QRect screen) {
  const int w = std::clamp(rect.width(), 1, std::max(screen.width(), 1));
  const int h = std::clamp(rect.height(), 1, std::max(screen.height(), 1));
  const int x = std::clamp(rect.left(), screen.left(), screen.left() + screen.width() - w);
  const int y = std::clamp(rect.top(), screen.top(), screen.top() + screen.height() - h);
  return QRect(x, y, w, h);
}

Qt::DockWidgetArea AreaOfSide(char side) {
  switch (side) {
    case 'L': return Qt::LeftDockWidgetArea;
    case 'R': return Qt::RightDockWidgetArea;
    case 'B': return Qt::BottomDockWidgetArea;
    default: return Qt::NoDockWidgetArea;
  }
}

char SideOfArea(Qt::DockWidgetArea area) {
  switch (area) {
    case Qt::LeftDockWidgetArea: return 'L';
    case Qt::RightDockWidgetArea: return 'R';
    case Qt::BottomDockWidgetArea: return 'B';
    default: return 0;
  }
}

QRect ScreenArea(const QWidget& window) {
  const QScreen* screen = window.screen();
  return screen != nullptr ? screen->availableGeometry() : QRect(0, 0, 1024, 768);
}

QRect PlacedOnScreen(QRect rect, const LayoutEntry& entry, const QWidget& window) {
  if (entry.Left) rect.moveLeft(*entry.Left);
  if (entry.Top) rect.moveTop(*entry.Top);
  if (entry.Width) rect.setWidth(*entry.Width);
  if (entry.Height) rect.setHeight(*entry.Height);
  return ClampToScreen(rect, ScreenArea(window));
}

}  // namespace dorvik::gui
