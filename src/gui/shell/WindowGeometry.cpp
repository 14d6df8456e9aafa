#include "gui/shell/WindowGeometry.h"

#include <algorithm>

namespace kestrio::gui::shell {

QRect initialWindowRect(const QRect& available, const QSize& preferred, const QSize& minimum,
                        const std::optional<QRect>& remembered, const QMargins& frame) {
  // The room for the window's contents once the title bar and borders are drawn around them.
  const QRect room = available.marginsRemoved(frame);
  const QSize largest = room.size().expandedTo(QSize(1, 1));
  if (remembered && remembered->isValid()) {
    const QSize size = remembered->size().boundedTo(largest).expandedTo(minimum.boundedTo(largest));
    // The whole window on this screen: moved in when it lay partly (or wholly) outside.
    const int x =
        std::clamp(remembered->x(), room.left(), room.left() + largest.width() - size.width());
    const int y =
        std::clamp(remembered->y(), room.top(), room.top() + largest.height() - size.height());
    return QRect(QPoint(x, y), size);
  }
  const QSize size = preferred.boundedTo(largest).expandedTo(minimum.boundedTo(largest));
  const QPoint corner(room.left() + (largest.width() - size.width()) / 2,
                      room.top() + (largest.height() - size.height()) / 2);
  return QRect(corner, size);
}

QPoint keepInside(const QRect& frame, const QRect& available) {
  const int x =
      std::max(available.left(), std::min(frame.left(), available.right() + 1 - frame.width()));
  const int y =
      std::max(available.top(), std::min(frame.top(), available.bottom() + 1 - frame.height()));
  return QPoint(x, y);
}

kestrio::PlistValue frameToPlist(const QRect& frame) {
  return kestrio::PlistValue(
      kestrio::PlistValue::Dictionary{{"x", kestrio::PlistValue(frame.x())},
                                      {"y", kestrio::PlistValue(frame.y())},
                                      {"width", kestrio::PlistValue(frame.width())},
                                      {"height", kestrio::PlistValue(frame.height())}});
}

std::optional<QRect> frameFromPlist(const kestrio::PlistValue& value) {
  const auto* dict = value.get<kestrio::PlistValue::Dictionary>();
  if (!dict) return std::nullopt;
  int parts[4] = {0, 0, 0, 0};
  const char* names[4] = {"x", "y", "width", "height"};
  for (int i = 0; i < 4; ++i) {
    const auto it = dict->find(names[i]);
    if (it == dict->end()) return std::nullopt;
    const std::optional<double> number = it->second.number();
    if (!number || *number < -100000 || *number > 100000) return std::nullopt;
    parts[i] = static_cast<int>(*number);
  }
  if (parts[2] <= 0 || parts[3] <= 0) return std::nullopt;
  return QRect(parts[0], parts[1], parts[2], parts[3]);
}

}  // namespace kestrio::gui::shell
