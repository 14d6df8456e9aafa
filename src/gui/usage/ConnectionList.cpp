#include "gui/usage/ConnectionList.h"

#include <QGridLayout>
#include <QLabel>
#include <QMenu>
#include <QResizeEvent>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

#include "gui/theme/ThemeStyle.h"
#include "gui/usage/ShareRow.h"

namespace kestrio::gui {
namespace {

constexpr int kTouch = 44;

QString qs(const std::string& text) {
  return QString::fromStdString(text);
}

}  // namespace

ConnectionList::ConnectionList(QWidget* parent) : QWidget(parent) {
  setObjectName("connectionList");
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 6, 0, 0);
  layout->setSpacing(6);
  title_ = makeListLabel(this, "lblNetworks", kRoleDetail, 11);
  layout->addWidget(title_);
  rowsLayout_ = new QVBoxLayout;
  rowsLayout_->setSpacing(8);
  layout->addLayout(rowsLayout_);
  hide();
}

void ConnectionList::setRows(const std::vector<kestrio::ConnectionRow>& rows,
                             const kestrio::Label& title) {
  title_->setText(qs(title.text));
  // Every repaint hands the rows again: they are built anew only when they changed.
  if (rows != shown_) rebuild(rows);
  setVisible(!title.hidden && !rows.empty());
}

void ConnectionList::rebuild(const std::vector<kestrio::ConnectionRow>& rows) {
  shown_ = rows;
  // A row's menu may be the one whose choice led here: rows go once its signal is over.
  clearListRows(rowsLayout_);
  for (const kestrio::ConnectionRow& row : rows) {
    QWidget* widget = makeRow(row);
    rowsLayout_->addWidget(widget);
    // Shown now, not at the layout's later turn, so the screen is laid out whole at once.
    widget->show();
  }
}

QWidget* ConnectionList::makeRow(const kestrio::ConnectionRow& row) {
  auto* widget = new QWidget(this);
  widget->setObjectName("connectionRow");
  auto* grid = new QGridLayout(widget);
  grid->setContentsMargins(0, 0, 0, 0);
  grid->setHorizontalSpacing(8);
  grid->setVerticalSpacing(3);

  // A long name breaks between its words rather than widening a phone's screen.
  QLabel* name = makeListLabel(widget, "connectionName", kRoleTitle, 14, true);
  name->setText(qs(row.name));
  name->setWordWrap(true);
  QLabel* amount = makeListLabel(widget, "connectionAmount", kRoleValue, 14);
  amount->setText(qs(row.amountText));
  amount->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  QLabel* metered = makeListLabel(widget, "connectionMetered", kRoleDetail, 12);
  metered->setText(qs(row.meteredText));
  metered->setAlignment(Qt::AlignRight | Qt::AlignVCenter);

  auto* mark = new QToolButton(widget);
  mark->setObjectName("connectionMark");
  mark->setText(QStringLiteral("\u22EF"));
  mark->setToolTip(tr("Tell NetworkManager whether %1 is metered").arg(qs(row.name)));
  mark->setAccessibleName(tr("Metered or not: %1").arg(qs(row.name)));
  mark->setPopupMode(QToolButton::InstantPopup);
  mark->setMinimumSize(touch_ ? QSize(kTouch, kTouch) : QSize(28, 28));
  auto* menu = new QMenu(mark);
  const QString uuid = qs(row.uuid);
  const auto choice = [&](const QString& text, kestrio::ConnectionMetered value, bool current) {
    QAction* action = menu->addAction(text);
    action->setCheckable(true);
    action->setChecked(current);
    connect(action, &QAction::triggered, this,
            [this, uuid, value] { emit meteredChosen(uuid, value); });
  };
  choice(tr("Metered"), kestrio::ConnectionMetered::Yes, row.metered);
  choice(tr("Not metered"), kestrio::ConnectionMetered::No, !row.metered);
  choice(tr("Let NetworkManager decide"), kestrio::ConnectionMetered::Unknown, false);
  mark->setMenu(menu);

  grid->addWidget(name, 0, 0);
  grid->addWidget(amount, 0, 1);
  grid->addWidget(new ShareBar(row.share, QStringLiteral("connectionShare"), widget), 1, 0,
                  Qt::AlignVCenter);
  grid->addWidget(metered, 1, 1);
  grid->addWidget(mark, 0, 2, 2, 1, Qt::AlignVCenter);
  grid->setColumnStretch(0, 1);
  return widget;
}

}  // namespace kestrio::gui
