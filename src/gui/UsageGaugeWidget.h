#pragma once

#include <QWidget>

#include "app/MainViewController.h"
#include "app/NotificationCenter.h"
#include "platform/Platform.h"

namespace kestrio::gui {

// The usage bar of a network's screen: the period's usage filled in the colour of its band, a
// dashed marker at the ideal usage by now, and the usage text. Every paint lets the colour rules
// store the band's letter and announce a change of band.
class UsageGaugeWidget : public QWidget {
 public:
  UsageGaugeWidget(kestrio::Platform& platform, kestrio::NotificationCenter& center,
                   QWidget* parent = nullptr);

  void setGauge(const kestrio::UsageGauge& gauge);
  const kestrio::UsageGauge& gauge() const { return gauge_; }

  // The dark edge around the white usage text, so it reads on the green and yellow fills too.
  static QColor textOutlineColor();

  QSize sizeHint() const override;
  QSize minimumSizeHint() const override;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  kestrio::Platform& platform_;
  kestrio::NotificationCenter& center_;
  kestrio::UsageGauge gauge_;
};

}  // namespace kestrio::gui
