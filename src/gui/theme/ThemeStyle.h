#pragma once

#include <QColor>
#include <QString>

#include "app/Theme.h"
#include "platform/Platform.h"

class QWidget;

namespace kestrio::gui {

QColor toQColor(const kestrio::Rgba& colour);

// The least width and height of anything a finger taps on a phone, in logical pixels.
inline constexpr int kTouchTarget = 44;

// The contrast ratio of two opaque colours, from 1 (the same) to 21 (black and white), as the
// web's accessibility guidelines compute it; 4.5 is the least for normal text.
double contrastRatio(const QColor& a, const QColor& b);

// `ink` as text on `background`: the colour itself where it reads at `least` (4.5:1 for normal
// text), else the nearest lighter (on a dark background) or darker shade that does. A band's red
// fills the gauge as it is, and its figures are written in a lighter red.
QColor legibleOn(const QColor& ink, const QColor& background, double least = 4.5);

// The dynamic property screens set on a widget to take a part in the dark theme, with one of
// the role values below, for widgets whose object name the style sheet does not know.
inline constexpr const char* kThemeRoleProperty = "kestrioRole";
inline constexpr const char* kRoleTitle = "title";    // white text
inline constexpr const char* kRoleDetail = "detail";  // subheader grey text
inline constexpr const char* kRoleValue = "value";    // text in the network's colour
inline constexpr const char* kRoleBlock = "block";    // a block on the lighter background
inline constexpr const char* kRoleLine = "line";      // a bar filled with the network's colour

// The dark theme's style sheet: app and block backgrounds, white titles, grey details, table
// separators in the background colour, and the network's current band colour for values, lines
// and the selected tab of the tab bar; on a phone, controls a fingertip big. It also styles the
// usage screen's status fields by their object names (the Wi-Fi fields carry the suffix "Wifi").
QString styleSheet(kestrio::Platform& platform, bool cellular);

// Sets the style sheet and a dark palette on root and everything below it; called again when a
// gauge changes band, so the tint follows the band.
void applyTheme(QWidget* root, kestrio::Platform& platform, bool cellular);

}  // namespace kestrio::gui
