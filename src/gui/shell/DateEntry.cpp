#include "gui/shell/DateEntry.h"

#include <QCalendarWidget>
#include <QDateTimeEdit>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QScreen>
#include <QTableView>
#include <QTextCharFormat>
#include <QToolButton>
#include <QVBoxLayout>

#include "platform/DeviceIdiom.h"

namespace kestrio::gui::shell {
namespace {

bool phoneScreen() {
  const QScreen* screen = QGuiApplication::primaryScreen();
  return screen && kestrio::idiomForScreenWidth(screen->geometry().width()) ==
                       kestrio::UserInterfaceIdiom::Phone;
}

}  // namespace

void prepareCalendarPopup(QDateTimeEdit* picker) {
  picker->setCalendarPopup(true);
  QCalendarWidget* calendar = picker->calendarWidget();
  // The window's padding of table cells would leave "…" in place of every two-digit day.
  calendar->setStyleSheet(QStringLiteral("QTableView::item { padding: 0; border: none; }"));
  const bool touch = phoneScreen();
  // Two digits with room either side, even where a style pads cells.
  const int cell =
      touch ? 44 : calendar->fontMetrics().horizontalAdvance(QStringLiteral("28")) + 24;
  calendar->setMinimumSize(cell * 8, cell * 8);
  // Weekends in the text's own colour: Qt's red reads at under 3:1 on the window's dark grey.
  for (const Qt::DayOfWeek day : {Qt::Saturday, Qt::Sunday}) {
    calendar->setWeekdayTextFormat(day, QTextCharFormat());
  }
  for (QToolButton* button : calendar->findChildren<QToolButton*>()) {
    button->setFocusPolicy(Qt::StrongFocus);
    if (touch) button->setMinimumSize(44, 44);
  }
}

TypedDateField::TypedDateField(std::function<std::string(const std::string&)> accept,
                               QWidget* parent)
    : QWidget(parent), accept_(std::move(accept)) {
  setObjectName(QStringLiteral("typedDate"));
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(4);
  field_ = new QLineEdit(this);
  field_->setObjectName(QStringLiteral("typedDateField"));
  field_->setPlaceholderText(tr("Or type a date, then Return"));
  field_->setAccessibleName(tr("Date"));
  field_->setClearButtonEnabled(true);
  if (phoneScreen()) field_->setMinimumHeight(44);
  problem_ = new QLabel(this);
  problem_->setObjectName(QStringLiteral("typedDateProblem"));
  problem_->setWordWrap(true);
  problem_->setTextFormat(Qt::PlainText);
  problem_->setStyleSheet(QStringLiteral("color: #E5483D;"));
  problem_->hide();
  layout->addWidget(field_);
  layout->addWidget(problem_);
  connect(field_, &QLineEdit::returnPressed, this, [this] { commit(); });
  connect(field_, &QLineEdit::textEdited, problem_, &QLabel::hide);
}

bool TypedDateField::commit() {
  const QString typed = field_->text().trimmed();
  if (typed.isEmpty()) return true;
  const std::string why = accept_(typed.toStdString());
  problem_->setText(QString::fromStdString(why));
  problem_->setVisible(!why.empty());
  if (!why.empty()) return false;
  field_->clear();
  return true;
}

}  // namespace kestrio::gui::shell
