#include "gui/settings/SpecifierValuesScreen.h"

#include <QKeyEvent>
#include <QPointer>

namespace kestrio::gui {

SpecifierValuesScreen::SpecifierValuesScreen(
    std::shared_ptr<kestrio::settings::SpecifierValuesViewController> controller, QWidget* parent)
    : QListWidget(parent), controller_(std::move(controller)) {
  setObjectName(QStringLiteral("specifierValues"));
  setUniformItemSizes(true);
  setStyleSheet(QStringLiteral("QListWidget::item { min-height: 34px; padding-left: 6px; }"));
  // A later view of the same (reused) list takes over; a view already gone does nothing.
  controller_->reloadData = [view = QPointer<SpecifierValuesScreen>(this)] {
    if (view) view->reload();
  };
  connect(this, &QListWidget::itemClicked, this, [this](QListWidgetItem* item) {
    controller_->didSelectRow(static_cast<std::size_t>(row(item)));
  });
  reload();
}

void SpecifierValuesScreen::reload() {
  const std::optional<std::size_t> checked = controller_->checkedIndex();
  const std::vector<std::string> titles = controller_->titles();
  // The items stay (a click on one may be what is reloading the list); only their texts and
  // marks change.
  while (count() > static_cast<int>(titles.size())) delete takeItem(count() - 1);
  while (count() < static_cast<int>(titles.size())) addItem(QString());
  for (std::size_t i = 0; i < titles.size(); ++i) {
    QListWidgetItem* entry = item(static_cast<int>(i));
    entry->setText(QString::fromStdString(titles[i]));
    // A mark the user sees and a state tests and screen readers read.
    entry->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
    entry->setData(Qt::CheckStateRole, checked == i ? Qt::Checked : Qt::Unchecked);
    QFont font = entry->font();
    font.setBold(checked == i);
    entry->setFont(font);
  }
  if (checked) setCurrentRow(static_cast<int>(*checked));
}

void SpecifierValuesScreen::keyPressEvent(QKeyEvent* event) {
  if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter ||
       event->key() == Qt::Key_Space) &&
      currentRow() >= 0) {
    controller_->didSelectRow(static_cast<std::size_t>(currentRow()));
    return;
  }
  QListWidget::keyPressEvent(event);
}

}  // namespace kestrio::gui
