#include "gui/history/HistoryScreen.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QScreen>
#include <QTableView>
#include <QToolButton>
#include <QVBoxLayout>

#include "gui/history/HistoryWidgets.h"
#include "gui/theme/Icons.h"

namespace kestrio::gui {

HistoryListModel::HistoryListModel(kestrio::HistoryViewController& controller, QObject* parent)
    : QAbstractListModel(parent), controller_(controller) {}

int HistoryListModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : controller_.numberOfRows();
}

QVariant HistoryListModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= controller_.numberOfRows()) return {};
  const kestrio::HistoryRow row = controller_.rowAt(index.row());
  switch (role) {
    case Qt::DisplayRole:
    case Qt::AccessibleTextRole:
      return QString::fromStdString(row.title);
    case HistoryRowDelegate::kDetailRole:
      return QString::fromStdString(row.detail);
    case Qt::DecorationRole:
      return row.icon == 2 ? icons::wifi() : icons::cellular();
    case HistoryRowDelegate::kDeletableRole:
      return controller_.isEditing() && controller_.canEditRow(index.row());
    default:
      return {};
  }
}

void HistoryListModel::reload() {
  beginResetModel();
  endResetModel();
}

HistoryScreen::HistoryScreen(std::shared_ptr<kestrio::HistoryViewController> controller,
                             QWidget* parent)
    : QWidget(parent), controller_(std::move(controller)) {
  setObjectName(QStringLiteral("historyList"));
  controller_->setView(this);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);

  bar_ = new HistoryNavBar(this);
  bar_->setTitle(QString::fromStdString(controller_->title()));
  editButton_ = new QToolButton(bar_);
  editButton_->setObjectName(QStringLiteral("editButton"));
  editButton_->setToolButtonStyle(Qt::ToolButtonIconOnly);
  editButton_->setIcon(icons::edit());
  editButton_->setIconSize(QSize(22, 22));
  editButton_->setToolTip(tr("Edit: delete billing periods"));
  editButton_->setAccessibleName(tr("Edit"));
  connect(editButton_, &QToolButton::clicked, this, &HistoryScreen::toggleEditing);
  bar_->addLeft(editButton_);
  saveCsvButton_ = new QToolButton(bar_);
  saveCsvButton_->setObjectName(QStringLiteral("saveCsvButton"));
  saveCsvButton_->setText(tr("Save CSV…"));
  connect(saveCsvButton_, &QToolButton::clicked, this, &HistoryScreen::saveCsv);
  bar_->addRight(saveCsvButton_);
  actionButton_ = new QToolButton(bar_);
  actionButton_->setObjectName(QStringLiteral("actionButton"));
  actionButton_->setText(tr("Actions…"));
  actionButton_->setToolTip(tr("Clear, mail or chart the history"));
  connect(actionButton_, &QToolButton::clicked, this,
          [this] { controller_->actionButtonTapped(); });
  bar_->addRight(actionButton_);
  layout->addWidget(bar_);

  model_ = new HistoryListModel(*controller_, this);
  table_ = new QTableView(this);
  table_->setObjectName(QStringLiteral("historyTable"));
  styleHistoryTable(table_);
  table_->setModel(model_);
  table_->setItemDelegate(new HistoryRowDelegate(table_));
  table_->verticalHeader()->setDefaultSectionSize(kestrio::HistoryViewController::kRowHeight);
  table_->viewport()->installEventFilter(this);
  table_->installEventFilter(this);
  // One click or tap opens a row, as Return does (handled with the other keys below); the
  // style's own activation (a double click on some desktops) would open it twice.
  connect(table_, &QTableView::clicked, this, &HistoryScreen::openRow);
  layout->addWidget(table_, 1);
  // The keyboard lands on the rows whenever the screen is shown.
  setFocusProxy(table_);

  chooseCsvFile = [this] { return askForCsvFile(this); };
  updateButtons();
}

HistoryScreen::~HistoryScreen() {
  controller_->setView(nullptr);
}

void HistoryScreen::reloadData() {
  model_->reload();
  updateButtons();
}

void HistoryScreen::deleteRow(int row) {
  model_->reload();
  table_->selectRow(std::min(row, model_->rowCount() - 1));
  updateButtons();
}

bool HistoryScreen::isTablet() const {
  return isTabletScreen(screen());
}

int HistoryScreen::screenHeight() const {
  const QScreen* shown = screen();
  return shown ? shown->geometry().height() : 0;
}

void HistoryScreen::updateButtons() {
  const bool enabled = controller_->actionButtonEnabled();
  actionButton_->setEnabled(enabled);
  saveCsvButton_->setEnabled(enabled);
  if (controller_->isEditing()) {
    editButton_->setIcon(QIcon());
    editButton_->setToolButtonStyle(Qt::ToolButtonTextOnly);
    editButton_->setText(tr("Done"));
  } else {
    editButton_->setText(QString());
    editButton_->setToolButtonStyle(Qt::ToolButtonIconOnly);
    editButton_->setIcon(icons::edit());
  }
}

void HistoryScreen::toggleEditing() {
  table_->clearSelection();
  controller_->setEditing(!controller_->isEditing());
  model_->reload();
  updateButtons();
}

void HistoryScreen::openRow(const QModelIndex& index) {
  if (!index.isValid() || controller_->isEditing()) return;
  controller_->didSelectRow(index.row());
}

void HistoryScreen::saveCsv() {
  const QString path = chooseCsvFile ? chooseCsvFile() : QString();
  if (path.isEmpty()) return;
  controller_->saveCsv(path.toStdString());
}

bool HistoryScreen::eventFilter(QObject* watched, QEvent* event) {
  if (watched == table_ && event->type() == QEvent::KeyPress && !controller_->isEditing()) {
    const int key = static_cast<QKeyEvent*>(event)->key();
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
      openRow(table_->currentIndex());
      return true;
    }
  }
  if (controller_->isEditing()) {
    if (watched == table_->viewport() && event->type() == QEvent::MouseButtonRelease) {
      const auto* click = static_cast<QMouseEvent*>(event);
      const QModelIndex index = table_->indexAt(click->position().toPoint());
      if (index.isValid() && controller_->canEditRow(index.row()) &&
          HistoryRowDelegate::deleteArea(table_->visualRect(index))
              .contains(click->position().toPoint())) {
        controller_->commitDeleteRow(index.row());
        return true;
      }
    }
    if (watched == table_ && event->type() == QEvent::KeyPress) {
      const auto* key = static_cast<QKeyEvent*>(event);
      const QModelIndex current = table_->currentIndex();
      if ((key->key() == Qt::Key_Delete || key->key() == Qt::Key_Backspace) && current.isValid() &&
          controller_->canEditRow(current.row())) {
        controller_->commitDeleteRow(current.row());
        return true;
      }
    }
  }
  return QWidget::eventFilter(watched, event);
}

}  // namespace kestrio::gui
