#include "gui/usage/ApplicationList.h"

#include <QGridLayout>
#include <QLabel>
#include <QResizeEvent>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

#include "gui/theme/Icons.h"
#include "gui/theme/ThemeStyle.h"
#include "gui/usage/ShareRow.h"

namespace kestrio::gui {
namespace {

constexpr int kIconSize = 20;
constexpr int kTouch = 44;

QString qs(const std::string& text) {
  return QString::fromStdString(text);
}

// The icon theme's icon of the desktop entry, else the generic one. A path in place of a name is
// not followed: the list draws only what the icon theme offers.
QIcon iconFor(const std::string& name) {
  if (name.empty() || name.find('/') != std::string::npos) return icons::application();
  return QIcon::fromTheme(qs(name), icons::application());
}

}  // namespace

ApplicationList::ApplicationList(kestrio::Platform& platform, bool cellular, QWidget* parent)
    : QWidget(parent), controller_(platform, cellular) {
  setObjectName("applicationList");
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 6, 0, 0);
  layout->setSpacing(6);
  title_ = makeListLabel(this, "lblApps", kRoleDetail, 11);
  layout->addWidget(title_);
  hint_ = makeListLabel(this, "appsHint", kRoleDetail, 12);
  hint_->setWordWrap(true);
  hint_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  layout->addWidget(hint_);
  rowsLayout_ = new QVBoxLayout;
  rowsLayout_->setSpacing(8);
  layout->addLayout(rowsLayout_);
  hide();
}

void ApplicationList::reload(const std::string& unit) {
  controller_.reload(unit);
  title_->setText(qs(controller_.title.text));
  hint_->setText(qs(controller_.hint.text));
  hint_->setVisible(!controller_.hint.hidden);
  // Every repaint hands the rows again: they are built anew only when they changed.
  if (controller_.rows != shown_) rebuild(controller_.rows);
  setVisible(!controller_.title.hidden);
}

void ApplicationList::rebuild(const std::vector<kestrio::ApplicationRow>& rows) {
  shown_ = rows;
  clearListRows(rowsLayout_);
  for (const kestrio::ApplicationRow& row : rows) {
    QWidget* widget = makeRow(row);
    rowsLayout_->addWidget(widget);
    // Shown now, not at the layout's later turn, so the screen is laid out whole at once.
    widget->show();
  }
}

QWidget* ApplicationList::makeRow(const kestrio::ApplicationRow& row) {
  auto* widget = new QWidget(this);
  widget->setObjectName("applicationRow");
  auto* grid = new QGridLayout(widget);
  grid->setContentsMargins(0, 0, 0, 0);
  grid->setHorizontalSpacing(8);
  grid->setVerticalSpacing(3);

  auto* icon = new QLabel(widget);
  icon->setObjectName("applicationIcon");
  icon->setPixmap(iconFor(row.icon).pixmap(kIconSize, kIconSize));
  icon->setFixedSize(kIconSize, kIconSize);
  // A long name breaks between its words rather than widening a phone's screen.
  QLabel* name = makeListLabel(widget, "applicationName", kRoleTitle, 14, true);
  name->setText(qs(row.name));
  name->setWordWrap(true);
  QLabel* amount = makeListLabel(widget, "applicationAmount", kRoleValue, 14);
  amount->setText(qs(row.amountText));
  amount->setAlignment(Qt::AlignRight | Qt::AlignVCenter);

  grid->addWidget(icon, 0, 0, 2, 1, Qt::AlignTop);
  grid->addWidget(name, 0, 1);
  grid->addWidget(amount, 0, 2);
  grid->addWidget(new ShareBar(row.share, QStringLiteral("applicationShare"), widget), 1, 1, 1, 2,
                  Qt::AlignVCenter);
  grid->setColumnStretch(1, 1);
  if (row.days.empty()) return widget;

  // Its days, newest first, under the row while open.
  auto* days = new QWidget(widget);
  days->setObjectName("applicationDays");
  auto* dayGrid = new QGridLayout(days);
  dayGrid->setContentsMargins(0, 2, 0, 4);
  dayGrid->setVerticalSpacing(2);
  for (std::size_t i = 0; i < row.days.size(); ++i) {
    QLabel* date = makeListLabel(days, "applicationDay", kRoleDetail, 12);
    date->setText(qs(row.days[i].dateText));
    QLabel* value = makeListLabel(days, "applicationDayAmount", kRoleValue, 12);
    value->setText(qs(row.days[i].amountText));
    value->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    dayGrid->addWidget(date, static_cast<int>(i), 0);
    dayGrid->addWidget(value, static_cast<int>(i), 1);
  }
  dayGrid->setColumnStretch(0, 1);
  grid->addWidget(days, 2, 1, 1, 2);

  auto* toggle = new QToolButton(widget);
  toggle->setObjectName("applicationDaysButton");
  toggle->setCheckable(true);
  toggle->setToolTip(tr("The days of %1 in this billing period").arg(qs(row.name)));
  toggle->setAccessibleName(tr("Days: %1").arg(qs(row.name)));
  toggle->setMinimumSize(touch_ ? QSize(kTouch, kTouch) : QSize(28, 28));
  const std::string key = row.key;
  const auto show = [this, days, toggle, key](bool open) {
    toggle->setArrowType(open ? Qt::DownArrow : Qt::RightArrow);
    days->setVisible(open);
    if (open) {
      open_.insert(key);
    } else {
      open_.erase(key);
    }
  };
  connect(toggle, &QToolButton::toggled, this, show);
  toggle->setChecked(open_.count(key) != 0);
  show(toggle->isChecked());
  grid->addWidget(toggle, 0, 3, 2, 1, Qt::AlignVCenter);
  return widget;
}

}  // namespace kestrio::gui
