#include <gtest/gtest.h>

#include <QCalendarWidget>
#include <QDateTimeEdit>
#include <QLabel>
#include <QLineEdit>
#include <QTableView>
#include <QTest>
#include <QTextCharFormat>
#include <QToolButton>
#include <functional>
#include <memory>

#include "counters/DatePickerViewController.h"
#include "engine/AppSettings.h"
#include "engine/BillingCycle.h"
#include "gui/OneTabWindow.h"
#include "gui/QtApp.h"
#include "gui/counters/CounterScreenRegistry.h"
#include "gui/counters/DatePickerScreen.h"
#include "gui/plan/PlanScreenRegistry.h"
#include "gui/plan/StartDateScreen.h"
#include "gui/shell/DateEntry.h"
#include "gui/theme/ThemeStyle.h"
#include "plan/CustomDatePickerController.h"
#include "support/CaseNames.h"
#include "support/FakePlatform.h"

namespace kestrio::gui {
namespace {

using kestrio::testing::FakePlatform;

// A pane with a date picker, presented over a window on a fake platform at March 10, 2026,
// 12:00 in Berlin, in a US locale; the custom cycle is 30 days long.
struct PaneWorld {
  explicit PaneWorld(const char* locale = "en_US") : platform("Europe/Berlin", locale) {
    platform.setNow(2026, 3, 10, 12);
    AppSettings(platform).getSettings();
    platform.userDefaults().setInteger(BillingCycle::kResetDays, 30);
    platform.userDefaults().synchronize();
    registerCounterScreens(shell.navigator->views(), platform);
    registerPlanScreens(shell.navigator->views(), platform);
    shell.setRoot(new QWidget, nullptr);
    applyTheme(shell.window.get(), platform, true);
    shell.window->resize(440, 760);
    shell.window->show();
  }
  // The application object comes before any widget.
  struct App {
    App() { kestrio::testing::qtApp(); }
  } app;
  FakePlatform platform;
  kestrio::testing::OneTabWindow shell;
};

struct Pane {
  QDateTimeEdit* picker = nullptr;
  shell::TypedDateField* typed = nullptr;
  // What the pane holds now: the stored start, or the end it would hand back.
  std::function<Date()> chosen;
};

struct PaneCase {
  const char* name;
  std::function<Pane(PaneWorld&)> open;
  const char* accepted;  // a typed date the pane takes
  Date (*meaning)(FakePlatform&);
  const char* refused;  // a date outside the pane's limits
  const char* refusal;  // the start of the line that explains it
  int monthStep;        // the way the calendar can turn from the month shown: 1 on, -1 back
};

const PaneCase kPanes[] = {
    {"custom cycle start",
     [](PaneWorld& w) {
       auto controller = std::make_shared<CustomDatePickerController>(w.platform);
       w.shell.ui->present(controller, nullptr);
       auto* screen = qobject_cast<StartDateScreen*>(w.shell.topScreen());
       EXPECT_NE(screen, nullptr);
       return Pane{
           screen->picker(), screen->typedDate(), [&w] {
             return w.platform.userDefaults().dateForKey("CustomStartDate").value_or(Date{});
           }};
     },
     "2/25/26", [](FakePlatform& p) { return p.at(2026, 2, 25); }, "2026-01-02",
     "The cycle can start from 2/9/26 up to now.", -1},
    {"counter end",
     [](PaneWorld& w) {
       auto controller = std::make_shared<DatePickerViewController>(w.platform, *w.shell.ui);
       w.shell.ui->present(controller, nullptr);
       auto* screen = qobject_cast<DatePickerScreen*>(w.shell.topScreen());
       EXPECT_NE(screen, nullptr);
       return Pane{screen->picker(), screen->typedDate(),
                   [controller] { return controller->datePicker; }};
     },
     "2026-04-21 18:45", [](FakePlatform& p) { return p.at(2026, 4, 21, 18, 45); }, "3/9/26",
     "The end must be later than now", 1},
};

class DatePane : public ::testing::TestWithParam<PaneCase> {};

TEST_P(DatePane, TypedDateIsTakenOrRefusedWithTheReason) {
  PaneWorld w;
  const Pane pane = GetParam().open(w);
  ASSERT_TRUE(pane.typed);
  const Date before = pane.chosen();
  QLineEdit* field = pane.typed->field();
  // Refused: outside the limits, then not a date at all; nothing changes.
  for (const char* wrong : {GetParam().refused, "31/31/26"}) {
    field->setText(QString::fromUtf8(wrong));
    EXPECT_FALSE(pane.typed->commit()) << wrong;
    EXPECT_FALSE(pane.typed->problem()->isHidden());
    EXPECT_EQ(pane.chosen(), before);
  }
  EXPECT_TRUE(
      pane.typed->problem()->text().startsWith("\"31/31/26\" is not a date. Type a date as"))
      << pane.typed->problem()->text().toStdString();
  field->setText(QString::fromUtf8(GetParam().refused));
  pane.typed->commit();
  EXPECT_TRUE(pane.typed->problem()->text().startsWith(GetParam().refusal))
      << pane.typed->problem()->text().toStdString();

  // Taken: the pane holds the typed moment, in the picker too, and the reason goes.
  field->setText(QString::fromUtf8(GetParam().accepted));
  EXPECT_TRUE(pane.typed->commit());
  EXPECT_TRUE(pane.typed->problem()->isHidden());
  EXPECT_EQ(pane.chosen(), GetParam().meaning(w.platform));
  EXPECT_EQ(pane.picker->dateTime().toSecsSinceEpoch(),
            static_cast<qint64>(GetParam().meaning(w.platform).secondsSince1970));
}

TEST_P(DatePane, CalendarShowsTwoDigitDaysAndChangesMonthByKeyboard) {
  PaneWorld w;
  const Pane pane = GetParam().open(w);
  QCalendarWidget* calendar = pane.picker->calendarWidget();
  // The drop-down holding the calendar, at the size it opens with.
  QWidget* popup = calendar->window();
  popup->adjustSize();
  popup->show();
  auto* days = calendar->findChild<QTableView*>("qt_calendar_calendarview");
  ASSERT_TRUE(days);
  ASSERT_TRUE(QTest::qWaitForWindowExposed(popup));
  // Weekend days keep the text's colour, not Qt's red, which fails the contrast on dark grey.
  for (const Qt::DayOfWeek day : {Qt::Saturday, Qt::Sunday}) {
    EXPECT_FALSE(calendar->weekdayTextFormat(day).hasProperty(QTextFormat::ForegroundBrush));
  }
  const int twoDigits = days->fontMetrics().horizontalAdvance("28");
  for (int column = 0; column < days->model()->columnCount(); ++column) {
    EXPECT_GE(days->columnWidth(column), twoDigits + 16) << "column " << column;
  }
  calendar->grab().save(kestrio::testing::screenshotDirectory() + "/calendar_" +
                        QString::fromStdString(kestrio::testing::caseName(GetParam().name)) +
                        ".png");
  for (const char* name : {"qt_calendar_prevmonth", "qt_calendar_nextmonth"}) {
    auto* button = calendar->findChild<QToolButton*>(name);
    ASSERT_TRUE(button) << name;
    EXPECT_TRUE(button->focusPolicy() & Qt::TabFocus) << name;
  }
  const int month = calendar->monthShown();
  const bool on = GetParam().monthStep > 0;
  days->setFocus();
  QTest::keyClick(days, on ? Qt::Key_PageDown : Qt::Key_PageUp);
  EXPECT_EQ(calendar->monthShown(), (month - 1 + GetParam().monthStep + 12) % 12 + 1);
  QTest::keyClick(days, on ? Qt::Key_PageUp : Qt::Key_PageDown);
  EXPECT_EQ(calendar->monthShown(), month);
  popup->hide();
}

INSTANTIATE_TEST_SUITE_P(Panes, DatePane, ::testing::ValuesIn(kPanes),
                         kestrio::testing::NameField{});

// Every date entry shows its moment as every other date with a time is written, in the user's
// locale: the platform's short date and short time.
struct FormCase {
  const char* name;
  const char* locale;
  const char* format;  // the entries' display format
  const char* limits;  // the custom start pane's limits, a date with its time
};

const FormCase kForms[] = {
    {"en_US", "en_US", "M/d/yy, h:mm\u202FAP", "Any moment from 2/9/26, 12:00\u202FAM up to now."},
    {"de_DE", "de_DE", "dd.MM.yy, HH:mm", "Any moment from 09.02.26, 00:00 up to now."},
};

class DateForm : public ::testing::TestWithParam<FormCase> {};

TEST_P(DateForm, EntriesShowThePlatformsDateWithTime) {
  PaneWorld w(GetParam().locale);
  auto start = std::make_shared<CustomDatePickerController>(w.platform);
  w.shell.ui->present(start, nullptr);
  auto* screen = qobject_cast<StartDateScreen*>(w.shell.topScreen());
  ASSERT_NE(screen, nullptr);
  EXPECT_EQ(screen->picker()->displayFormat().toStdString(), GetParam().format);
  auto* limits = screen->findChild<QLabel*>("dateLimits");
  ASSERT_NE(limits, nullptr);
  EXPECT_EQ(limits->text().toStdString(), GetParam().limits);
  w.shell.ui->dismiss(start.get());

  auto end = std::make_shared<DatePickerViewController>(w.platform, *w.shell.ui);
  w.shell.ui->present(end, nullptr);
  auto* pane = qobject_cast<DatePickerScreen*>(w.shell.topScreen());
  ASSERT_NE(pane, nullptr);
  EXPECT_EQ(pane->picker()->displayFormat().toStdString(), GetParam().format);
}

INSTANTIATE_TEST_SUITE_P(Locales, DateForm, ::testing::ValuesIn(kForms),
                         kestrio::testing::NameField{});

// ICU's patterns as a date entry writes them: fields kept in order with their separators and
// quoted text, fields an entry cannot edit left out.
TEST(DisplayFormat, FollowsTheIcuPattern) {
  const std::pair<const char*, const char*> cases[] = {
      {"M/d/yy, h:mm\u202Fa", "M/d/yy, h:mm\u202FAP"},
      {"dd.MM.yy, HH:mm", "dd.MM.yy, HH:mm"},
      {"y-MM-dd HH:mm:ss", "yyyy-MM-dd HH:mm:ss"},
      {"EEEE d MMMM y 'at' h:mm a", "dddd d MMMM yyyy 'at' h:mm AP"},
      {"d/M/yy, HH:mm z", "d/M/yy, HH:mm"},
      {"", ""},
  };
  for (const auto& [icu, qt] : cases)
    EXPECT_EQ(shell::displayFormatFor(icu).toStdString(), qt) << icu;
}

}  // namespace
}  // namespace kestrio::gui
