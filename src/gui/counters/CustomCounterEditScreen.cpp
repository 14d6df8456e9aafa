#include "gui/counters/CustomCounterEditScreen.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QShortcut>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

#include "gui/counters/CounterWidgets.h"
#include "gui/shell/WindowNavigator.h"
#include "gui/theme/ThemeStyle.h"

namespace kestrio::gui {

using Kind = kestrio::CustomCounterEditViewController::RowKind;

namespace {

QString qs(const std::string& text) {
  return QString::fromStdString(text);
}

}  // namespace

CustomCounterEditScreen::CustomCounterEditScreen(
    kestrio::Platform& platform,
    std::shared_ptr<kestrio::CustomCounterEditViewController> controller, QWidget* parent)
    : QWidget(parent), platform_(platform), controller_(std::move(controller)) {
  setObjectName(QStringLiteral("counterEdit"));
  setProperty(shell::kPresentedSizeProperty, QSize(440, 640));
  cancelButton_ = new QToolButton(this);
  cancelButton_->setObjectName(QStringLiteral("cancelButton"));
  cancelButton_->setText(tr("Cancel"));
  connect(cancelButton_, &QToolButton::clicked, this,
          [this] { controller_->cancelAndDismissView(); });
  saveButton_ = new QToolButton(this);
  saveButton_->setObjectName(QStringLiteral("saveButton"));
  saveButton_->setText(tr("Save"));
  saveButton_->setToolTip(tr("Save (Ctrl+S)"));
  connect(saveButton_, &QToolButton::clicked, this, [this] { controller_->saveAndDismissView(); });
  auto* save = new QShortcut(QKeySequence::Save, this);
  connect(save, &QShortcut::activated, this, [this] { controller_->saveAndDismissView(); });

  table_ = new SectionedTable(this);
  table_->setObjectName(QStringLiteral("counterTable"));
  connect(table_, &SectionedTable::rowActivated, this, [this](int section, int row) {
    // Redrawing replaces the row that was activated: after its signal has returned.
    QTimer::singleShot(0, this, [this, section, row] {
      controller_->didSelectRowAtIndexPath({section, row});
    });
  });
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->addWidget(navigationBar(qs(controller_->title()), cancelButton_, saveButton_));
  layout->addWidget(table_, 1);
  setFocusProxy(table_);
  controller_->setView(this);
  reloadData();
}

CustomCounterEditScreen::~CustomCounterEditScreen() {
  controller_->setView(nullptr);
}

QWidget* CustomCounterEditScreen::rowWidget(kestrio::IndexPath indexPath) {
  const auto row = controller_->rowAt(indexPath);
  switch (row.kind) {
    case Kind::Name:
    case Kind::EndDate:
      return titledRow(qs(row.title), qs(row.detail), false, row.disclosure);
    case Kind::Figure:
      return titledRow(qs(row.title), qs(row.detail), false, false);
    case Kind::Alert:
    case Kind::Roaming: {
      const bool alert = row.kind == Kind::Alert;
      auto* toggle = onOffSwitch(alert ? controller_->customCounter.notifyOnEnd()
                                       : controller_->customCounter.roamingOnly());
      toggle->setAccessibleName(qs(row.title));
      connect(toggle, &QCheckBox::toggled, this, [this, alert](bool on) {
        QTimer::singleShot(0, this, [this, alert, on] {
          alert ? controller_->alertSwitchChanged(on) : controller_->roamingSwitchChanged(on);
        });
      });
      return titledRow(qs(row.title), QString(), false, false, toggle);
    }
    case Kind::Track:
    case Kind::Direction: {
      const bool track = row.kind == Kind::Track;
      auto* control =
          new SegmentedControl(track ? QStringList{tr("Cellular"), tr("Wi-Fi"), tr("Both")}
                                     : QStringList{tr("Received"), tr("Sent"), tr("Both")});
      control->setObjectName(track ? QStringLiteral("dataTypeSeg")
                                   : QStringLiteral("directionTypeSeg"));
      control->setSelectedSegment(track ? controller_->trackSegment()
                                        : controller_->directionSegment());
      connect(control, &SegmentedControl::segmentChanged, this, [this, track](int segment) {
        QTimer::singleShot(0, this, [this, track, segment] {
          track ? controller_->trackSegmentChanged(segment)
                : controller_->directionSegmentChanged(segment);
        });
      });
      return control;
    }
    case Kind::Reset: {
      auto* holder = new QWidget;
      auto* layout = new QHBoxLayout(holder);
      layout->setContentsMargins(12, 6, 12, 6);
      auto* button = new QPushButton(qs(row.title), holder);
      button->setObjectName(QStringLiteral("resetButton"));
      button->setAutoDefault(false);  // a Return meant for another row never resets the counter
      button->setStyleSheet(QStringLiteral("color: #E5483D;"));
      connect(button, &QPushButton::clicked, this, [this] { controller_->resetCounterTapped(); });
      layout->addWidget(button);
      return holder;
    }
  }
  return new QWidget;
}

void CustomCounterEditScreen::reloadData() {
  // Keep the row the keyboard was on.
  QTreeWidgetItem* current = table_->currentItem();
  const QVariant section = current ? current->data(0, SectionedTable::kSectionRole) : QVariant();
  const QVariant row = current ? current->data(0, SectionedTable::kRowRole) : QVariant();
  table_->clear();
  for (int s = 0; s < controller_->numberOfSections(); ++s) {
    table_->addSection(qs(controller_->titleForHeaderInSection(s)));
    for (int r = 0; r < controller_->numberOfRowsInSection(s); ++r) {
      const Kind kind = controller_->rowAt({s, r}).kind;
      auto* item =
          table_->addRow(s, r, rowWidget({s, r}), kind == Kind::Name || kind == Kind::EndDate);
      if (section.isValid() && section.toInt() == s && row.toInt() == r) {
        table_->setCurrentItem(item);
      }
    }
  }
}

void CustomCounterEditScreen::reloadDataAfter(double seconds) {
  QTimer::singleShot(static_cast<int>(seconds * 1000), this, [this] { reloadData(); });
}

void CustomCounterEditScreen::applyTheme() {
  gui::applyTheme(window(), platform_, true);
}

}  // namespace kestrio::gui
