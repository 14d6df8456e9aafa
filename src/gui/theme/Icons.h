#pragma once

#include <QColor>
#include <QIcon>
#include <string>

// The application's icons, drawn as vectors at whatever size is asked for, so they stay crisp on
// any screen scale.
namespace kestrio::gui::icons {

QIcon cellular();
QIcon wifi();
QIcon edit();
QIcon counters();
QIcon history();
QIcon settings();
QIcon application();
// The status icon named by the controller: "ok.png", "caution.png" or "danger.png"; a null icon
// for any other name.
QIcon status(const std::string& imageName);
// The tray's icon: a ring filled clockwise to `percent` of the quota (full from 100 on) in the
// band's colour, with a mark in the middle once the quota is used up, so that an empty, a half
// used, a nearly used and a used-up quota look different even where the band's colour is the
// same.
QIcon trayGauge(double percent, const QColor& band);

}  // namespace kestrio::gui::icons
