#include "gui/plan/StartDayScreen.h"

#include <QItemSelectionModel>
#include <QLabel>
#include <QListWidget>
#include <QVBoxLayout>

#include "gui/plan/PlanWidgets.h"

namespace kestrio::gui {

namespace {

QString qs(const std::string& text) {
  return QString::fromStdString(text);
}

}  // namespace

StartDayScreen::StartDayScreen(std::shared_ptr<kestrio::StartDayViewController> controller)
    : controller_(std::move(controller)) {
  setObjectName(QStringLiteral("startDayView"));
  auto* layout = paneLayout(this);
  list_ = new QListWidget(this);
  list_->setObjectName(QStringLiteral("pickerView"));
  roomyRows(list_);
  for (const std::string& title : controller_->rowTitles()) list_->addItem(qs(title));
  // The list opens on the stored start when it is one of this plan's. Otherwise nothing is
  // highlighted and the first row only holds the keyboard's place, so that opening or focusing
  // the list stores nothing; clicking or activating that row picks it.
  if (const std::optional<int> stored = controller_->storedRow()) {
    list_->setCurrentRow(*stored);
  } else {
    list_->selectionModel()->setCurrentIndex(list_->model()->index(0, 0),
                                             QItemSelectionModel::NoUpdate);
  }
  summary_ = summaryBox(controller_->selectedDate, this);
  layout->addWidget(list_, 1);
  layout->addWidget(summary_);
  setFocusProxy(list_);
  const auto pick = [this](int row) {
    if (row < 0) return;
    const bool stored = controller_->didSelectRow(row);
    summary_->setText(qs(controller_->selectedDate));
    if (!stored) reportNotStored(this, "the settings file could not be written");
  };
  // Moving through the list with the arrows picks as a wheel does; clicking or activating the
  // row already current picks it too.
  connect(list_, &QListWidget::currentRowChanged, this, pick);
  connect(list_, &QListWidget::itemClicked, this,
          [this, pick](QListWidgetItem* item) { pick(list_->row(item)); });
  connect(list_, &QListWidget::itemActivated, this,
          [this, pick](QListWidgetItem* item) { pick(list_->row(item)); });
}

}  // namespace kestrio::gui
