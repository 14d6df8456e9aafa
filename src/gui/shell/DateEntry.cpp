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
#include <algorithm>

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

QString displayFormatFor(const std::string& icuPattern) {
  const QString pattern = QString::fromStdString(icuPattern);
  QString format;
  for (qsizetype i = 0; i < pattern.size();) {
    const QChar c = pattern[i];
    if (c == QLatin1Char('\'')) {
      // Quoted text and '' are written alike in both.
      qsizetype end = pattern.indexOf(QLatin1Char('\''), i + 1);
      if (end < 0) end = pattern.size() - 1;
      format += pattern.mid(i, end - i + 1);
      i = end + 1;
      continue;
    }
    if (!((c >= QLatin1Char('a') && c <= QLatin1Char('z')) ||
          (c >= QLatin1Char('A') && c <= QLatin1Char('Z')))) {
      format += c;
      ++i;
      continue;
    }
    qsizetype run = 1;
    while (i + run < pattern.size() && pattern[i + run] == c) ++run;
    i += run;
    const auto repeat = [](const char* letters, qsizetype count) {
      return QString::fromLatin1(letters).repeated(count);
    };
    switch (c.toLatin1()) {
      case 'y':
      case 'Y':
      case 'u':
        format += run == 2 ? QStringLiteral("yy") : QStringLiteral("yyyy");
        break;
      case 'M':
      case 'L':
        format += repeat("M", std::min<qsizetype>(run, 4));
        break;
      case 'd':
        format += repeat("d", std::min<qsizetype>(run, 2));
        break;
      case 'E':
      case 'c':
      case 'e':
        format += run <= 3 ? QStringLiteral("ddd") : QStringLiteral("dddd");
        break;
      case 'H':
      case 'k':
        format += repeat("H", std::min<qsizetype>(run, 2));
        break;
      case 'h':
      case 'K':
        format += repeat("h", std::min<qsizetype>(run, 2));
        break;
      case 'm':
        format += repeat("m", std::min<qsizetype>(run, 2));
        break;
      case 's':
        format += repeat("s", std::min<qsizetype>(run, 2));
        break;
      case 'a':
      case 'b':
      case 'B':
        format += QStringLiteral("AP");
        break;
      default:
        break;  // era, zone, quarter: nothing an entry edits
    }
  }
  return format.trimmed();
}

void showInPlatformForm(QDateTimeEdit* picker, const std::string& icuPattern) {
  const QString format = displayFormatFor(icuPattern);
  if (!format.contains(QLatin1Char('d')) && !format.contains(QLatin1Char('M'))) return;
  picker->setDisplayFormat(format);
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
