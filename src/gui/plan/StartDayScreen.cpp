#include "gui/plan/StartDayScreen.h"

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
  // The wheel starts on its first row without picking it: focusing the list must not store.
  list_->setCurrentRow(0);
  summary_ = summaryBox(controller_->selectedDate, this);
  layout->addWidget(list_, 1);
  layout->addWidget(summary_);
  setFocusProxy(list_);
  // Moving through the list with the arrows picks as a wheel does.
  connect(list_, &QListWidget::currentRowChanged, this, [this](int row) {
    if (row < 0) return;
    const bool stored = controller_->didSelectRow(row);
    summary_->setText(qs(controller_->selectedDate));
    if (!stored) reportNotStored(this, "the settings file could not be written");
  });
}

}  // namespace kestrio::gui
