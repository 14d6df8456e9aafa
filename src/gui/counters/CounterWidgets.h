#pragma once

#include <QButtonGroup>
#include <QCheckBox>
#include <QLabel>
#include <QSize>
#include <QStringList>
#include <QToolButton>
#include <QTreeWidget>
#include <QWidget>

namespace kestrio::gui {

// The size the date and name panes of a counter's edit screen ask for.
inline constexpr QSize kCounterPaneSize(380, 300);

// A text button of a pane's bar (Cancel, Done), named for tests and styles.
QToolButton* paneBarButton(const QString& text, const char* name, QWidget* parent);

// A row of exclusive buttons, one of which is chosen: the Track and Direction controls.
class SegmentedControl : public QWidget {
  Q_OBJECT

 public:
  SegmentedControl(const QStringList& segments, QWidget* parent = nullptr);
  int selectedSegment() const;
  // Chooses a segment without announcing it.
  void setSelectedSegment(int index);

 signals:
  // The user chose a segment.
  void segmentChanged(int index);

 private:
  QButtonGroup group_;
};

// A table of sections: each section a header row (none when its title is empty) and rows that
// hold widgets. Rows carry their section and row, so activating one (a click, Return) can be
// answered by the screen's controller.
class SectionedTable : public QTreeWidget {
  Q_OBJECT

 public:
  static constexpr int kSectionRole = Qt::UserRole + 1;
  static constexpr int kRowRole = Qt::UserRole + 2;

  explicit SectionedTable(QWidget* parent = nullptr);
  void addSection(const QString& title);
  // Adds a row to the last section; `selectable` rows take the keyboard focus and answer.
  QTreeWidgetItem* addRow(int section, int row, QWidget* content, bool selectable);

 signals:
  void rowActivated(int section, int row);
};

// A row of a table: a title, an optional detail text below or beside it, and an optional
// disclosure mark.
QWidget* titledRow(const QString& title, const QString& detail, bool detailBelow, bool disclosure,
                   QWidget* trailing = nullptr);

// A navigation bar: a left button, the title, a right button (each may be absent).
QWidget* navigationBar(const QString& title, QWidget* left, QWidget* right);

// A switch as the rows show it: a check box that reads "On" or "Off".
QCheckBox* onOffSwitch(bool on, QWidget* parent = nullptr);

}  // namespace kestrio::gui
