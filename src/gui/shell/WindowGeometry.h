#pragma once

#include <QMargins>
#include <QRect>
#include <optional>

#include "platform/PlistValue.h"

namespace kestrio::gui::shell {

// Where the window opens: the remembered frame when it still fits the screen, else the preferred
// size centred; never larger than the available area (less the window manager's frame), at any
// scale factor, and never smaller than `minimum` unless the screen itself is.
QRect initialWindowRect(const QRect& available, const QSize& preferred, const QSize& minimum,
                        const std::optional<QRect>& remembered, const QMargins& frame);

// Where a frame's corner goes so that the frame lies inside `available` (its top-left corner when
// the frame is larger).
QPoint keepInside(const QRect& frame, const QRect& available);

// The window's frame as the settings store keeps it ("windowFrame": x, y, width, height), and
// back; nothing for a value that is not a frame.
kestrio::PlistValue frameToPlist(const QRect& frame);
std::optional<QRect> frameFromPlist(const kestrio::PlistValue& value);

inline constexpr const char* kWindowFrameKey = "windowFrame";

}  // namespace kestrio::gui::shell
