#include "gui/theme/ThemeStyle.h"

#include <QPalette>
#include <QStringList>
#include <QWidget>
#include <algorithm>
#include <cmath>

#include "gui/theme/KestrioStyle.h"

namespace kestrio::gui {

namespace {

using kestrio::KestrioColors;

QString css(const kestrio::Rgba& colour) {
  const QColor c = toQColor(colour);
  if (c.alpha() == 255) return c.name(QColor::HexRgb);
  return QStringLiteral("rgba(%1, %2, %3, %4)")
      .arg(c.red())
      .arg(c.green())
      .arg(c.blue())
      .arg(c.alpha());
}

// Selectors for the status fields, by object name, for the shown network.
QString byName(const QStringList& names, const QString& suffix) {
  QStringList selectors;
  for (const QString& name : names) selectors << QStringLiteral("#%1%2").arg(name, suffix);
  return selectors.join(QStringLiteral(", "));
}

QString role(const char* widget, const char* value) {
  return QStringLiteral("%1[%2=\"%3\"]")
      .arg(QLatin1String(widget), QLatin1String(kThemeRoleProperty), QLatin1String(value));
}

// On a phone every control is at least a fingertip (44 × 44 logical pixels) big.
QString touchRules() {
  return QStringLiteral(
             "QPushButton, QToolButton, QCheckBox, QRadioButton, QLineEdit, QComboBox,"
             " QAbstractSpinBox { min-height: %1px; }\n"
             "QPushButton, QToolButton, QCheckBox, QRadioButton { min-width: %1px; }\n")
      .arg(kTouchTarget);
}

}  // namespace

QColor toQColor(const kestrio::Rgba& colour) {
  return QColor::fromRgbF(colour.red, colour.green, colour.blue, colour.alpha);
}

double contrastRatio(const QColor& a, const QColor& b) {
  const auto luminance = [](const QColor& c) {
    const auto channel = [](double v) {
      return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * channel(c.redF()) + 0.7152 * channel(c.greenF()) + 0.0722 * channel(c.blueF());
  };
  const double la = luminance(a);
  const double lb = luminance(b);
  return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

QColor legibleOn(const QColor& ink, const QColor& background, double least) {
  // Towards white on a dark background, towards black on a light one, in small steps.
  const QColor towards = background.lightnessF() < 0.5 ? QColor(Qt::white) : QColor(Qt::black);
  for (int step = 0; step <= 20; ++step) {
    const double t = step / 20.0;
    const QColor shade = QColor::fromRgbF(ink.redF() + (towards.redF() - ink.redF()) * t,
                                          ink.greenF() + (towards.greenF() - ink.greenF()) * t,
                                          ink.blueF() + (towards.blueF() - ink.blueF()) * t);
    if (contrastRatio(shade, background) >= least) return shade;
  }
  return towards;
}

QString styleSheet(kestrio::Platform& platform, bool cellular) {
  const QString background = css(KestrioColors::appBackgroundColor());
  const QString block = css(KestrioColors::appBlockBackgroundColor());
  const QString foreground = css(KestrioColors::appForegroundColor());
  const QString subheader = css(KestrioColors::appSubheaderColor());
  const QString separator = css(KestrioColors::tableSeperatorColor());
  const QString cell = css(KestrioColors::tableCellBackgroundColor());
  const kestrio::Rgba band = cellular ? KestrioColors::cellularProgressColor(platform)
                                      : KestrioColors::wifiProgressColor(platform);
  const QString network = css(band);
  // Figures in the band's colour stand on the lighter block background too.
  const QString networkText =
      legibleOn(toQColor(band), toQColor(KestrioColors::appBlockBackgroundColor()))
          .name(QColor::HexRgb);
  const QString suffix = cellular ? QString() : QStringLiteral("Wifi");

  const QString titles = byName({"lblDays", "lblRemainingUsage", "lblDailySuggested",
                                 "lblMonthlyUsage", "remainingTitle", "dataTypeTitle"},
                                suffix);
  const QString details =
      byName({"lblAvailable", "perDayTitle", "quotaTitle", "daysTitle"}, suffix);
  // Only the cellular screen has a data-type line.
  const QString lines =
      cellular ? QStringLiteral("#dataTypeLine, #statusView") : QStringLiteral("#statusViewWifi");
  const QString blocks = byName({"remainingTitleView", "remainingView", "remainingDaysView",
                                 "remainingQuotaView", "usedView"},
                                {});

  QString sheet;
  sheet +=
      QStringLiteral("QWidget { background-color: %1; color: %2; }\n").arg(background, foreground);
  sheet += QStringLiteral("QLabel { background: transparent; }\n");
  sheet +=
      QStringLiteral("%1, %2 { color: %3; }\n").arg(titles, role("QLabel", kRoleTitle), foreground);
  sheet += QStringLiteral("%1, %2 { color: %3; }\n")
               .arg(details, role("QLabel", kRoleDetail), subheader);
  sheet += QStringLiteral("%1 { color: %2; }\n").arg(role("QLabel", kRoleValue), networkText);
  sheet += QStringLiteral("%1, %2 { background-color: %3; }\n")
               .arg(lines, role("QWidget", kRoleLine), network);
  sheet += QStringLiteral("%1, %2 { background-color: %3; }\n")
               .arg(blocks, role("QWidget", kRoleBlock), block);
  sheet += QStringLiteral(
               "QTableView { background-color: %1; alternate-background-color: %1; color: %2;"
               " gridline-color: %3; border: none; selection-background-color: %1;"
               " selection-color: %2; }\n"
               "QTableView::item { border-bottom: 1px solid %3; padding: 0 8px; }\n"
               "QHeaderView::section { background-color: %4; color: %2; border: none; }\n")
               .arg(cell, subheader, separator, background);
  sheet += QStringLiteral(
               "QScrollArea, QScrollArea > QWidget > QWidget { background-color: %1; }\n"
               "QScrollBar { background-color: %1; }\n"
               "QScrollBar::handle { background-color: %2; border-radius: 3px; }\n")
               .arg(background, block);
  sheet += QStringLiteral(
               "QTabWidget::pane { border: none; }\n"
               "QTabBar { background-color: %1; }\n"
               "QTabBar::tab { background-color: %1; color: %2; padding: 6px 14px;"
               " border-top: 2px solid %1; }\n"
               "QTabBar::tab:selected { color: %3; border-top: 2px solid %3; }\n"
               "QTabBar::tab:hover:!selected { color: %4; }\n"
               // The keyboard on the tab bar frames the current tab, as it frames a button.
               "QTabBar::tab:selected:focus { border: 2px solid %4; }\n")
               .arg(block, subheader, networkText, foreground);
  sheet += QStringLiteral(
               // White text on the block background stays legible in every band; the band's
               // colour marks the border.
               "QPushButton, QToolButton { background-color: %1; color: %2; border: 1px solid %3;"
               " border-radius: 4px; padding: 4px 10px; }\n"
               // A flat button is a row of a list: no frame until the keyboard is on it.
               "QPushButton:flat { border-color: transparent; }\n"
               // The keyboard's place shows as a thicker white frame (the native focus frame is
               // gone with the border above).
               "QPushButton:focus, QToolButton:focus { border: 2px solid %2; padding: 3px 9px; }\n"
               "QPushButton:pressed, QToolButton:pressed { background-color: %4; }\n"
               "QPushButton:disabled, QToolButton:disabled { color: %5; }\n")
               .arg(block, foreground, network, separator, subheader);
  sheet += QStringLiteral(
               "QLineEdit, QComboBox, QSpinBox, QDoubleSpinBox { background-color: %1; color: %2;"
               " border: 1px solid %3; border-radius: 3px; padding: 2px 4px;"
               " selection-background-color: %4; selection-color: %5; }\n"
               // The keyboard's place: a white frame twice as thick.
               "QLineEdit:focus, QComboBox:focus, QAbstractSpinBox:focus { border: 2px solid %2;"
               " padding: 1px 3px; }\n"
               "QAbstractItemView:focus { border: 2px solid %2; }\n")
               .arg(block, foreground, subheader, network, background);
  sheet += QStringLiteral("QDialog, QMessageBox { background-color: %1; }\n").arg(background);
  sheet += QStringLiteral("QToolTip { background-color: %1; color: %2; border: 1px solid %3; }\n")
               .arg(block, foreground, subheader);
  if (platform.userInterfaceIdiom() == kestrio::UserInterfaceIdiom::Phone) sheet += touchRules();
  return sheet;
}

void applyTheme(QWidget* root, kestrio::Platform& platform, bool cellular) {
  if (root == nullptr) return;
  KestrioStyle::install();
  const QColor background = toQColor(KestrioColors::appBackgroundColor());
  const QColor block = toQColor(KestrioColors::appBlockBackgroundColor());
  const QColor foreground = toQColor(KestrioColors::appForegroundColor());
  const QColor subheader = toQColor(KestrioColors::appSubheaderColor());
  const QColor separator = toQColor(KestrioColors::tableSeperatorColor());
  const QColor network = toQColor(cellular ? KestrioColors::cellularProgressColor(platform)
                                           : KestrioColors::wifiProgressColor(platform));

  QPalette palette = root->palette();
  for (const QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive}) {
    palette.setColor(group, QPalette::Window, background);
    palette.setColor(group, QPalette::WindowText, foreground);
    palette.setColor(group, QPalette::Base, block);
    palette.setColor(group, QPalette::AlternateBase, block);
    palette.setColor(group, QPalette::Text, foreground);
    palette.setColor(group, QPalette::Button, block);
    palette.setColor(group, QPalette::ButtonText, foreground);
    palette.setColor(group, QPalette::BrightText, foreground);
    palette.setColor(group, QPalette::Highlight, network);
    palette.setColor(group, QPalette::HighlightedText, background);
    palette.setColor(group, QPalette::ToolTipBase, block);
    palette.setColor(group, QPalette::ToolTipText, foreground);
    palette.setColor(group, QPalette::PlaceholderText, subheader);
    palette.setColor(group, QPalette::Link, network);
    palette.setColor(group, QPalette::Mid, separator);
    palette.setColor(group, QPalette::Dark, separator);
  }
  palette.setColor(QPalette::Disabled, QPalette::Window, background);
  palette.setColor(QPalette::Disabled, QPalette::Base, block);
  palette.setColor(QPalette::Disabled, QPalette::Button, block);
  palette.setColor(QPalette::Disabled, QPalette::WindowText, subheader);
  palette.setColor(QPalette::Disabled, QPalette::Text, subheader);
  palette.setColor(QPalette::Disabled, QPalette::ButtonText, subheader);
  root->setPalette(palette);
  root->setAutoFillBackground(true);

  // Setting the same sheet again would re-polish every widget for nothing.
  const QString sheet = styleSheet(platform, cellular);
  if (root->styleSheet() != sheet) root->setStyleSheet(sheet);
}

}  // namespace kestrio::gui
