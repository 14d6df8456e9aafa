#include "gui/counters/CustomCounterDetailScreen.h"

#include <QLabel>
#include <QShortcut>
#include <QToolButton>
#include <QVBoxLayout>

#include "gui/counters/CounterWidgets.h"
#include "gui/shell/NavigationStack.h"
#include "gui/theme/Icons.h"

namespace kestrio::gui {

CustomCounterDetailScreen::CustomCounterDetailScreen(
    std::shared_ptr<kestrio::CustomCounterDetailViewController> controller, QWidget* parent)
    : QWidget(parent), controller_(std::move(controller)) {
  setObjectName(QStringLiteral("counterDetail"));
  setProperty(shell::kOwnBarProperty, true);
  backButton_ = new QToolButton(this);
  backButton_->setObjectName(QStringLiteral("backButton"));
  backButton_->setText(QStringLiteral("\u2039 ") + tr("Counters"));
  backButton_->setToolTip(tr("Back to the list (Esc)"));
  connect(backButton_, &QToolButton::clicked, this, [this] { controller_->dismissView(); });
  editButton_ = new QToolButton(this);
  editButton_->setObjectName(QStringLiteral("editButton"));
  editButton_->setIcon(icons::edit());
  editButton_->setToolTip(tr("Edit this counter"));
  editButton_->setAccessibleName(tr("Edit"));
  connect(editButton_, &QToolButton::clicked, this, [this] { controller_->showEditView(); });
  auto* back = new QShortcut(QKeySequence(Qt::Key_Escape), this);
  connect(back, &QShortcut::activated, this, [this] { controller_->dismissView(); });

  table_ = new SectionedTable(this);
  table_->setObjectName(QStringLiteral("detailTable"));
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  bar_ = navigationBar(QString::fromStdString(controller_->title()), backButton_, editButton_);
  layout->addWidget(bar_);
  layout->addWidget(table_, 1);
  setFocusProxy(table_);
  controller_->setView(this);
  reloadData();
}

CustomCounterDetailScreen::~CustomCounterDetailScreen() {
  controller_->setView(nullptr);
}

void CustomCounterDetailScreen::reloadData() {
  if (auto* title = bar_->findChild<QLabel*>(QStringLiteral("navigationTitle"))) {
    title->setText(QString::fromStdString(controller_->title()));
  }
  table_->clear();
  for (int section = 0; section < controller_->numberOfSections(); ++section) {
    table_->addSection(QString());
    for (int row = 0; row < controller_->numberOfRowsInSection(section); ++row) {
      const auto r = controller_->rowAt(section, row);
      table_->addRow(section, row,
                     titledRow(QString::fromStdString(r.title), QString::fromStdString(r.subtitle),
                               true, false),
                     true);
    }
  }
}

}  // namespace kestrio::gui
