#include "gui/history/HistoryWidgets.h"

#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPainter>
#include <QResizeEvent>
#include <QScreen>
#include <QStandardPaths>
#include <QTableView>
#include <QVBoxLayout>
#include <algorithm>

#include "app/Theme.h"
#include "gui/theme/ThemeStyle.h"
#include "history/HistoryViewController.h"

namespace kestrio::gui {

HistoryNavBar::HistoryNavBar(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("historyNavBar"));
  setAttribute(Qt::WA_StyledBackground, true);
  setStyleSheet(QStringLiteral("#historyNavBar { background-color: %1; }")
                    .arg(toQColor(KestrioColors::appNavBarColor()).name()));
  outer_ = new QVBoxLayout(this);
  outer_->setContentsMargins(8, 6, 8, 6);
  outer_->setSpacing(4);
  row_ = new QHBoxLayout;
  outer_->addLayout(row_);
  auto* layout = row_;
  left_ = new QHBoxLayout;
  right_ = new QHBoxLayout;
  title_ = new QLabel(this);
  title_->setObjectName(QStringLiteral("navTitle"));
  title_->setProperty(kThemeRoleProperty, kRoleTitle);
  title_->setAlignment(Qt::AlignCenter);
  // A long title gives way to the buttons, shortened with an ellipsis.
  title_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
  title_->setMinimumWidth(0);
  QFont font = title_->font();
  font.setPixelSize(18);
  font.setBold(true);
  title_->setFont(font);
  layout->addLayout(left_);
  layout->addWidget(title_, 1);
  layout->addLayout(right_);
}

void HistoryNavBar::setTitle(const QString& title) {
  fullTitle_ = title;
  title_->setToolTip(title);
  placeTitle();
  elideTitle();
}

void HistoryNavBar::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  placeTitle();
  elideTitle();
}

void HistoryNavBar::placeTitle() {
  // Where the buttons leave too little room for the whole title (a phone held upright), the
  // title takes a line of its own above them.
  const QMargins margins = outer_->contentsMargins();
  const int needed = left_->sizeHint().width() + right_->sizeHint().width() +
                     title_->fontMetrics().horizontalAdvance(fullTitle_) + 2 * row_->spacing() + 8 +
                     margins.left() + margins.right();
  const bool above = needed > width();
  if (above == titleAbove_) return;
  titleAbove_ = above;
  if (above) {
    row_->removeWidget(title_);
    row_->insertStretch(1, 1);
    outer_->insertWidget(0, title_);
  } else {
    outer_->removeWidget(title_);
    delete row_->takeAt(1);  // the stretch that stood for the title
    row_->insertWidget(1, title_, 1);
  }
}

void HistoryNavBar::elideTitle() {
  title_->setText(title_->fontMetrics().elidedText(fullTitle_, Qt::ElideRight,
                                                   std::max(0, title_->width() - 8)));
}

void HistoryNavBar::addLeft(QWidget* widget) {
  left_->addWidget(widget);
}

void HistoryNavBar::addRight(QWidget* widget) {
  right_->addWidget(widget);
}

QRect HistoryRowDelegate::deleteArea(const QRect& row) {
  return QRect(row.right() - 90, row.top() + 12, 80, row.height() - 24);
}

void HistoryRowDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                               const QModelIndex& index) const {
  painter->save();
  painter->setRenderHint(QPainter::Antialiasing);
  const QRect rect = option.rect;
  const bool selected = option.state & QStyle::State_Selected;
  // The row the keyboard is on must stand out on the dark cells: lighter, with a solid frame.
  const bool current = option.state & QStyle::State_HasFocus;
  const QColor cell = toQColor(KestrioColors::tableCellBackgroundColor());
  painter->fillRect(rect, selected || current ? cell.lighter(160) : cell);
  painter->setPen(toQColor(KestrioColors::tableSeperatorColor()));
  painter->drawLine(rect.bottomLeft(), rect.bottomRight());
  if (current) {
    painter->setPen(QPen(toQColor(KestrioColors::appTintColor()), 2));
    painter->drawRect(rect.adjusted(1, 1, -2, -2));
  }

  const auto icon = index.data(Qt::DecorationRole).value<QIcon>();
  const QRect iconRect(rect.left() + 12, rect.center().y() - 16, 32, 32);
  icon.paint(painter, iconRect);

  const bool deletable = index.data(kDeletableRole).toBool();
  const int textLeft = iconRect.right() + 14;
  const int textRight = rect.right() - (deletable ? 100 : 36);
  QFont titleFont = option.font;
  titleFont.setPixelSize(17);
  painter->setFont(titleFont);
  painter->setPen(toQColor(KestrioColors::tableCellForegroundColor()));
  const QRect titleRect(textLeft, rect.top() + 8, textRight - textLeft, 24);
  painter->drawText(titleRect, Qt::AlignLeft | Qt::AlignVCenter,
                    painter->fontMetrics().elidedText(index.data().toString(), Qt::ElideRight,
                                                      titleRect.width()));
  QFont detailFont = option.font;
  detailFont.setPixelSize(14);
  painter->setFont(detailFont);
  painter->setPen(toQColor(KestrioColors::tableCellDetailForegroundColor()));
  painter->drawText(QRect(textLeft, rect.top() + 32, textRight - textLeft, 20),
                    Qt::AlignLeft | Qt::AlignVCenter, index.data(kDetailRole).toString());

  if (deletable) {
    const QRect area = deleteArea(rect);
    painter->setPen(Qt::NoPen);
    painter->setBrush(QColor(0xD0, 0x2B, 0x2B));
    painter->drawRoundedRect(area, 6, 6);
    painter->setPen(Qt::white);
    painter->setFont(detailFont);
    painter->drawText(area, Qt::AlignCenter, QObject::tr("Delete"));
  } else {
    // The disclosure chevron: the row opens a screen.
    painter->setPen(QPen(toQColor(KestrioColors::tableCellDetailForegroundColor()), 2));
    const QPoint tip(rect.right() - 16, rect.center().y());
    painter->drawLine(tip + QPoint(-6, -7), tip);
    painter->drawLine(tip + QPoint(-6, 7), tip);
  }
  painter->restore();
}

QSize HistoryRowDelegate::sizeHint(const QStyleOptionViewItem& option,
                                   const QModelIndex& index) const {
  return QSize(QStyledItemDelegate::sizeHint(option, index).width(),
               kestrio::HistoryViewController::kRowHeight);
}

bool isTabletScreen(const QScreen* screen) {
  if (!screen) return true;
  const QSize size = screen->geometry().size();
  return std::min(size.width(), size.height()) >= 600;
}

void styleHistoryTable(QTableView* table) {
  table->setShowGrid(false);
  table->horizontalHeader()->hide();
  table->verticalHeader()->hide();
  table->horizontalHeader()->setStretchLastSection(true);
  table->setSelectionBehavior(QAbstractItemView::SelectRows);
  table->setSelectionMode(QAbstractItemView::SingleSelection);
  table->setEditTriggers(QAbstractItemView::NoEditTriggers);
  table->setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
  table->setWordWrap(false);
}

QString askForCsvFile(QWidget* parent) {
  const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
  return QFileDialog::getSaveFileName(parent, QObject::tr("Save CSV"), documents + "/kestrio.csv",
                                      QObject::tr("CSV files (*.csv)"));
}

}  // namespace kestrio::gui
