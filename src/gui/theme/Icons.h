#pragma once

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

}  // namespace kestrio::gui::icons
