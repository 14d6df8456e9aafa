#pragma once

#include <QColor>
#include <QTabBar>
#include <QTabWidget>

namespace kestrio::gui::shell {

// The window's tab bar: each tab's icon over its short name, as a handheld's tab bar draws them,
// so that five tabs keep their names even on a phone held upright. A tab is never smaller than
// a fingertip (44 × 44) and its name is never elided.
class TabBar : public QTabBar {
  Q_OBJECT

 public:
  static constexpr int kMinimumTouch = 44;

  explicit TabBar(QWidget* parent = nullptr);

  // The colour of the selected tab's icon frame and name: the window's tint.
  void setSelectedColor(const QColor& colour);
  QColor selectedColor() const { return selected_; }

 protected:
  QSize tabSizeHint(int index) const override;
  QSize minimumTabSizeHint(int index) const override;
  void paintEvent(QPaintEvent* event) override;

 private:
  QColor selected_;
};

// A tab widget whose tabs show their icon over their name.
class TabWidget : public QTabWidget {
  Q_OBJECT

 public:
  explicit TabWidget(QWidget* parent = nullptr);
  TabBar* stackedTabBar() const { return static_cast<TabBar*>(tabBar()); }
};

}  // namespace kestrio::gui::shell
