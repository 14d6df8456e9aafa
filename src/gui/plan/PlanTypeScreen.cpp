#include "gui/plan/PlanTypeScreen.h"

#include <QListWidget>
#include <QPointer>
#include <QVBoxLayout>

#include "gui/plan/PlanWidgets.h"

namespace kestrio::gui {

namespace {

QString qs(const std::string& text) {
  return QString::fromStdString(text);
}

}  // namespace

PlanTypeScreen::PlanTypeScreen(std::shared_ptr<kestrio::PlanTypeViewController> controller)
    : controller_(std::move(controller)) {
  setObjectName(QStringLiteral("planTypeView"));
  auto* layout = paneLayout(this);
  list_ = new QListWidget(this);
  list_->setObjectName(QStringLiteral("planTypes"));
  roomyRows(list_);
  for (const std::string& caption : kestrio::PlanTypeViewController::rows()) {
    list_->addItem(qs(caption));
  }
  layout->addWidget(list_);
  setFocusProxy(list_);
  const auto choose = [this](int row) { controller_->didSelectRowAtIndexPath(row); };
  connect(list_, &QListWidget::itemActivated, this,
          [this, choose](QListWidgetItem* item) { choose(list_->row(item)); });
  connect(list_, &QListWidget::itemClicked, this,
          [this, choose](QListWidgetItem* item) { choose(list_->row(item)); });
  controller_->reloadData = [view = QPointer<PlanTypeScreen>(this)] {
    if (view) view->reload();
  };
  reload();
}

void PlanTypeScreen::reload() {
  for (int row = 0; row < list_->count(); ++row) {
    list_->item(row)->setData(Qt::CheckStateRole,
                              controller_->accessoryCheckmark(row) ? Qt::Checked : Qt::Unchecked);
  }
  list_->setCurrentRow(controller_->planType);
}

}  // namespace kestrio::gui
