#include "gui/counters/CustomCounterScreen.h"

#include <QAbstractItemModel>
#include <QCheckBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

#include "gui/counters/CounterWidgets.h"
#include "gui/theme/Icons.h"
#include "gui/theme/ThemeStyle.h"

namespace kestrio::gui {

namespace {

QString qs(const std::string& text) {
  return QString::fromStdString(text);
}

QLabel* twoLineLabel(const QString& text, const char* role, QWidget* parent) {
  auto* label = new QLabel(text, parent);
  label->setProperty(kThemeRoleProperty, role);
  label->setTextFormat(Qt::PlainText);
  label->setWordWrap(true);
  // At most two lines.
  label->setMaximumHeight(label->fontMetrics().lineSpacing() * 2 + 2);
  return label;
}

}  // namespace

CustomCounterScreen::CustomCounterScreen(
    std::shared_ptr<kestrio::CustomCounterViewController> controller, QWidget* parent)
    : QWidget(parent), controller_(std::move(controller)) {
  setObjectName(QStringLiteral("counterList"));
  editButton_ = new QToolButton(this);
  editButton_->setObjectName(QStringLiteral("editButton"));
  editButton_->setIcon(icons::edit());
  editButton_->setToolTip(tr("Edit the list"));
  editButton_->setAccessibleName(tr("Edit"));
  connect(editButton_, &QToolButton::clicked, this, &CustomCounterScreen::toggleEditing);
  addButton_ = new QToolButton(this);
  addButton_->setObjectName(QStringLiteral("addButton"));
  addButton_->setText(QStringLiteral("+"));
  addButton_->setToolTip(tr("Add a counter"));
  addButton_->setAccessibleName(tr("Add"));
  QFont font = addButton_->font();
  font.setPointSize(font.pointSize() + 4);
  addButton_->setFont(font);
  connect(addButton_, &QToolButton::clicked, this, [this] { controller_->addCounter(); });

  list_ = new QListWidget(this);
  list_->setObjectName(QStringLiteral("counterTable"));
  list_->setSelectionMode(QAbstractItemView::SingleSelection);
  list_->setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
  list_->setDefaultDropAction(Qt::MoveAction);
  list_->installEventFilter(this);
  // One click or tap opens a row, as Return does (handled with the other keys below); the
  // style's own activation (a double click on some desktops) would open it twice.
  connect(list_, &QListWidget::itemClicked, this,
          [this](QListWidgetItem* item) { controller_->didSelectRow(list_->row(item)); });
  // A dragged row: the controller moves the stored counter, then the list is drawn as stored.
  connect(list_->model(), &QAbstractItemModel::rowsMoved, this,
          [this](const QModelIndex&, int start, int, const QModelIndex&, int destination) {
            const int to = destination > start ? destination - 1 : destination;
            QTimer::singleShot(0, this, [this, start, to] { controller_->moveRow(start, to); });
          });

  emptyLabel_ = new QLabel(tr("No counters yet. Add one with +."), this);
  emptyLabel_->setProperty(kThemeRoleProperty, kRoleDetail);
  emptyLabel_->setAlignment(Qt::AlignCenter);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->addWidget(navigationBar(qs(controller_->title()), editButton_, addButton_));
  layout->addWidget(list_, 1);
  // The keyboard lands on the rows whenever the screen is shown.
  setFocusProxy(list_);
  layout->addWidget(emptyLabel_);
  controller_->setView(this);
}

CustomCounterScreen::~CustomCounterScreen() {
  controller_->setView(nullptr);
}

QWidget* CustomCounterScreen::rowWidget(int row) {
  auto* widget = new QWidget;
  widget->setObjectName(QStringLiteral("counterRow"));
  auto* layout = new QHBoxLayout(widget);
  layout->setContentsMargins(12, 8, 12, 8);
  auto* texts = new QVBoxLayout;
  texts->setSpacing(2);
  auto* title = twoLineLabel(qs(controller_->titleForRow(row)), kRoleTitle, widget);
  title->setObjectName(QStringLiteral("counterName"));
  QFont font = title->font();
  font.setBold(true);
  title->setFont(font);
  auto* subtitle =
      twoLineLabel(qs(controller_->subtitleForRow(row)).trimmed(), kRoleDetail, widget);
  subtitle->setObjectName(QStringLiteral("counterFigures"));
  texts->addWidget(title);
  texts->addWidget(subtitle);
  layout->addLayout(texts, 1);
  if (controller_->isEditing()) {
    auto* remove = new QToolButton(widget);
    remove->setObjectName(QStringLiteral("deleteButton"));
    remove->setText(tr("Delete"));
    remove->setStyleSheet(QStringLiteral("color: #E5483D;"));
    connect(remove, &QToolButton::clicked, this, [this, row] { controller_->commitDelete(row); });
    layout->addWidget(remove);
    auto* handle = new QLabel(QStringLiteral("\u2261"), widget);  // drag handle
    handle->setProperty(kThemeRoleProperty, kRoleDetail);
    handle->setToolTip(tr("Drag to move, or Ctrl+Up and Ctrl+Down"));
    layout->addWidget(handle);
    auto* disclosure = new QLabel(QStringLiteral("\u203A"), widget);
    disclosure->setProperty(kThemeRoleProperty, kRoleDetail);
    layout->addWidget(disclosure);
  } else {
    auto* toggle = onOffSwitch(controller_->switchIsOn(row), widget);
    toggle->setAccessibleName(tr("Counting"));
    connect(toggle, &QCheckBox::toggled, this, [this, row](bool on) {
      // Redrawing replaces this switch: after its signal has returned.
      QTimer::singleShot(0, this, [this, row, on] { controller_->switchChanged(row, on); });
    });
    layout->addWidget(toggle);
  }
  return widget;
}

void CustomCounterScreen::reloadData() {
  const int selected = list_->currentRow();
  list_->clear();
  const bool editing = controller_->isEditing();
  list_->setDragDropMode(editing ? QAbstractItemView::InternalMove : QAbstractItemView::NoDragDrop);
  editButton_->setIcon(editing ? QIcon() : icons::edit());
  editButton_->setText(editing ? tr("Done") : QString());
  editButton_->setToolButtonStyle(editing ? Qt::ToolButtonTextOnly : Qt::ToolButtonIconOnly);
  for (int row = 0; row < controller_->numberOfRows(); ++row) {
    auto* item = new QListWidgetItem(list_);
    QWidget* widget = rowWidget(row);
    item->setSizeHint(widget->sizeHint());
    list_->setItemWidget(item, widget);
  }
  if (selected >= 0 && selected < list_->count()) list_->setCurrentRow(selected);
  emptyLabel_->setVisible(controller_->numberOfRows() == 0);
}

void CustomCounterScreen::deleteRow(int row) {
  delete list_->takeItem(row);
  // The rows below carry their positions: draw them again.
  reloadData();
}

void CustomCounterScreen::toggleEditing() {
  // Entering editing mode clears the selection.
  if (!controller_->isEditing()) list_->setCurrentRow(-1);
  controller_->setEditing(!controller_->isEditing());
}

void CustomCounterScreen::moveSelected(int by) {
  const int from = list_->currentRow();
  const int to = from + by;
  if (from < 0 || to < 0 || to >= list_->count()) return;
  controller_->moveRow(from, to);
  list_->setCurrentRow(to);
}

bool CustomCounterScreen::eventFilter(QObject* watched, QEvent* event) {
  if (watched == list_ && event->type() == QEvent::KeyPress) {
    auto* key = static_cast<QKeyEvent*>(event);
    const int row = list_->currentRow();
    if (controller_->isEditing()) {
      if (key->key() == Qt::Key_Delete && row >= 0) {
        controller_->commitDelete(row);
        return true;
      }
      if (key->modifiers() & Qt::ControlModifier) {
        if (key->key() == Qt::Key_Up) return moveSelected(-1), true;
        if (key->key() == Qt::Key_Down) return moveSelected(1), true;
      }
    }
    if ((key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) && row >= 0) {
      controller_->didSelectRow(row);
      return true;
    }
    if (!controller_->isEditing() && key->key() == Qt::Key_Space && row >= 0) {
      controller_->switchChanged(row, !controller_->switchIsOn(row));
      list_->setCurrentRow(row);
      return true;
    }
  }
  return QWidget::eventFilter(watched, event);
}

}  // namespace kestrio::gui
