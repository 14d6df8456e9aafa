#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTest>
#include <QToolButton>
#include <algorithm>
#include <functional>

#include "engine/AppSettings.h"
#include "gui/MainWindow.h"
#include "gui/QtApp.h"
#include "gui/plan/DaysScreen.h"
#include "gui/plan/QuotaScreen.h"
#include "gui/plan/StartDateScreen.h"
#include "gui/plan/StartDayScreen.h"
#include "gui/settings/AppSettingsScreen.h"
#include "gui/settings/SpecifierValuesScreen.h"
#include "gui/shell/NavigationStack.h"
#include "gui/shell/QtUi.h"
#include "support/FakePlatform.h"
#include "support/SettingsBundle.h"

namespace kestrio::gui {
namespace {

using kestrio::testing::FakePlatform;

// The window on the shipped schema, its settings tab in front.
class SettingsTabTest : public ::testing::Test {
 protected:
  SettingsTabTest() {
    kestrio::testing::qtApp();
    kestrio::testing::putSettingsBundle(platform);
    platform.setBoot(1000, "boot-1");
    platform.setNow(2027, 3, 14, 12, 0, 0);
    platform.setCounters("wwan0", 0, 0, InterfaceKind::Cellular);
  }

  // A returning user: no welcome in front of the window.
  void returning() {
    AppSettings(platform).getSettings();
    platform.userDefaults().setObject(KestrioAppDelegate::kFirstRunKey, PlistValue(platform.now()));
    platform.userDefaults().setString(KestrioAppDelegate::kVersionKey, KESTRIO_VERSION);
    platform.userDefaults().synchronize();
  }

  MainWindow& start() {
    window = std::make_unique<MainWindow>(platform);
    window->resize(540, 760);
    window->show();
    EXPECT_TRUE(QTest::qWaitForWindowActive(window.get()));
    window->launch();
    return *window;
  }

  void openSettingsTab() {
    QTabBar* bar = window->tabs()->tabBar();
    QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(4).center());
    ASSERT_EQ(window->tabs()->currentIndex(), 4);
  }

  shell::NavigationStack& stack() { return *window->stack(4); }
  AppSettingsScreen& settingsScreen() {
    for (AppSettingsScreen* view : stack().findChildren<AppSettingsScreen*>()) {
      if (&view->controller() == &window->settingsController()) return *view;
    }
    throw std::runtime_error("no settings view");
  }
  QWidget* control(const char* key) { return settingsScreen().controlForKey(key); }
  // The disclosure row (a flat button) whose title is `title`.
  QPushButton* row(const QString& title) {
    for (auto* button : stack().topView()->findChildren<QPushButton*>("settingsDisclosure")) {
      if (button->accessibleName() == title) return button;
    }
    return nullptr;
  }
  void save(QWidget* what, const QString& name) {
    QCoreApplication::processEvents();
    EXPECT_TRUE(what->grab().save(kestrio::testing::screenshotDirectory() + "/" + name + ".png"));
  }

  FakePlatform platform;
  std::unique_ptr<MainWindow> window;
};

TEST_F(SettingsTabTest, EveryRowKindDrawsItsValueAndStoresItsChange) {
  returning();
  platform.userDefaults().setObject("over_notification", PlistValue(false));
  start();
  openSettingsTab();
  save(window.get(), "settings-tab");

  auto* toggle = qobject_cast<QCheckBox*>(control("over_notification"));
  ASSERT_TRUE(toggle);
  EXPECT_FALSE(toggle->isChecked());
  QTest::mouseClick(toggle, Qt::LeftButton);
  EXPECT_TRUE(platform.userDefaults().boolForKey("over_notification"));

  auto* field = qobject_cast<QLineEdit*>(control("cellularInterfaces"));
  ASSERT_TRUE(field);
  field->setFocus();
  QTest::keyClicks(field, "ww*,usb0");
  EXPECT_EQ(platform.userDefaults().objectForKey("cellularInterfaces"),
            PlistValue(PlistValue::Array{"ww*", "usb0"}));

  // A multi-value row opens its list; a click stores the choice and the row shows its title.
  QPushButton* unit = row("Show figures in");
  ASSERT_TRUE(unit);
  EXPECT_TRUE(unit->findChild<QLabel*>("rowDetail")->text().startsWith("MB"));
  QTest::mouseClick(unit, Qt::LeftButton);
  ASSERT_EQ(stack().depth(), 2);
  auto* list = qobject_cast<SpecifierValuesScreen*>(stack().topView());
  ASSERT_TRUE(list);
  EXPECT_EQ(list->item(1)->data(Qt::CheckStateRole).toInt(), Qt::Checked);
  save(window.get(), "settings-values");
  QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                    list->visualItemRect(list->item(2)).center());
  EXPECT_EQ(platform.userDefaults().stringForKey("dataunit_settings"), "GB");
  QTest::mouseClick(stack().backButton(), Qt::LeftButton);
  EXPECT_TRUE(row("Show figures in")->findChild<QLabel*>("rowDetail")->text().startsWith("GB"));

  // A button row reaches the application delegate, whose confirmation starts on Cancel.
  QPushButton* reset = nullptr;
  for (auto* b : stack().topView()->findChildren<QPushButton*>("settingsButton")) {
    if (b->property(AppSettingsScreen::kKeyProperty).toString() == "ResetCellularUsage") reset = b;
  }
  ASSERT_TRUE(reset);
  QTest::mouseClick(reset, Qt::LeftButton);
  const auto dialogs = window->ui().openDialogs();
  ASSERT_EQ(dialogs.size(), 1);
  QWidget* focused = dialogs[0]->focusWidget();
  ASSERT_TRUE(focused);
  EXPECT_EQ(qobject_cast<QPushButton*>(focused)->text(), "Cancel");
  save(dialogs[0], "reset-confirmation");
  QTest::keyClick(focused, Qt::Key_Return);
  EXPECT_TRUE(window->ui().openDialogs().isEmpty());
  EXPECT_EQ(window->ui().openDialogs().size(), 0);
}

// The switch is the autostart entry: after a change that did not take, the user has been told
// and the switch shows the entry as it is, not as it was clicked.
TEST_F(SettingsTabTest, StartWithTheDesktopRevertsAfterAFailedChange) {
  returning();
  start();
  openSettingsTab();
  platform.fakeAutostart.failWith = "cannot write ~/.config/autostart: Read-only file system";
  auto* toggle = qobject_cast<QCheckBox*>(control("startWithDesktop"));
  ASSERT_TRUE(toggle);
  QTest::mouseClick(toggle, Qt::LeftButton);
  const auto dialogs = window->ui().openDialogs();
  ASSERT_EQ(dialogs.size(), 1);
  EXPECT_EQ(window->ui().alertOf(dialogs[0])->message,
            "cannot write ~/.config/autostart: Read-only file system");
  save(dialogs[0], "start-with-desktop-failed");
  QWidget* ok = dialogs[0]->focusWidget();
  ASSERT_TRUE(ok);
  QTest::keyClick(ok, Qt::Key_Return);
  QCoreApplication::processEvents();
  EXPECT_TRUE(window->ui().openDialogs().isEmpty());
  auto* shown = qobject_cast<QCheckBox*>(control("startWithDesktop"));
  ASSERT_TRUE(shown);
  EXPECT_FALSE(shown->isChecked());

  platform.fakeAutostart.failWith.clear();
  QTest::mouseClick(shown, Qt::LeftButton);
  EXPECT_TRUE(platform.fakeAutostart.on);
  EXPECT_TRUE(window->ui().openDialogs().isEmpty());
  save(window.get(), "settings-start-with-desktop");
}

// A first-time user: the welcome, then the settings tab, then a monthly 5 GB plan from the
// 15th, with the keyboard alone.
TEST_F(SettingsTabTest, AFirstTimeUserEntersAPlanWithTheKeyboard) {
  start();
  const auto welcome = window->ui().openDialogs();
  ASSERT_EQ(welcome.size(), 1);
  QTest::keyClick(welcome[0]->focusWidget(), Qt::Key_Return);
  ASSERT_EQ(window->tabs()->currentIndex(), 4);
  window->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));

  const auto press = [this](const QString& title) {
    QPushButton* button = row(title);
    ASSERT_TRUE(button) << title.toStdString();
    button->setFocus(Qt::TabFocusReason);
    QTest::keyClick(button, Qt::Key_Space);
  };
  // One row sets the cycle: the list opens on the cycle in force and Return picks the 15th.
  press("Billing cycle starts");
  auto* cycles = qobject_cast<SpecifierValuesScreen*>(stack().topView());
  ASSERT_TRUE(cycles);
  cycles->setFocus();
  EXPECT_EQ(cycles->currentRow(), 0);
  for (int i = 0; i < 14; ++i) QTest::keyClick(cycles, Qt::Key_Down);
  QTest::keyClick(cycles, Qt::Key_Return);
  save(window.get(), "plan-start-day");
  QTest::keyClick(cycles, Qt::Key_Left, Qt::AltModifier);
  ASSERT_EQ(stack().depth(), 1);

  // The quota field holds 0 (none): a tap before the 0 still selects it, so typing 5 makes 5,
  // not 50.
  auto* quota = qobject_cast<QLineEdit*>(control("cellularDataLimit"));
  ASSERT_TRUE(quota);
  QTest::mouseClick(quota, Qt::LeftButton, {}, QPoint(2, quota->height() / 2));
  EXPECT_TRUE(QTest::qWaitFor([quota] { return quota->selectedText() == "0"; }));
  QTest::keyClicks(quota, "5");
  QTest::keyClick(quota, Qt::Key_Return);
  press("Quota unit");
  auto* units = qobject_cast<SpecifierValuesScreen*>(stack().topView());
  ASSERT_TRUE(units);
  units->setFocus();
  QTest::keyClick(units, Qt::Key_Down);
  QTest::keyClick(units, Qt::Key_Return);
  QTest::keyClick(units, Qt::Key_Left, Qt::AltModifier);
  ASSERT_EQ(stack().depth(), 1);

  UserDefaults& store = platform.userDefaults();
  EXPECT_EQ(store.integerForKey("firstDayOfCycle"), 15);
  EXPECT_EQ(store.integerForKey("cellularDataLimit"), 5);
  EXPECT_EQ(store.stringForKey("cellularDataLimitUnit"), "GB");
  // Back on the settings screen, its rows show the new plan, each network's rows alike.
  const auto shown = [this](const QString& title, int which) {
    QList<QPushButton*> rows;
    for (auto* b : stack().topView()->findChildren<QPushButton*>("settingsDisclosure")) {
      if (b->accessibleName() == title) rows.append(b);
    }
    std::sort(rows.begin(), rows.end(), [](QPushButton* l, QPushButton* r) {
      return l->mapToGlobal(QPoint()).y() < r->mapToGlobal(QPoint()).y();
    });
    return which < rows.size()
               ? rows[which]->findChild<QLabel*>("rowDetail")->text().remove(QStringLiteral("  ›"))
               : QStringLiteral("(no row)");
  };
  EXPECT_EQ(shown("Billing cycle starts", 0), "15th of the month");
  EXPECT_EQ(shown("Quota unit", 0), "GB");
  EXPECT_EQ(shown("Custom cycle", 0), "Off");
  EXPECT_EQ(shown("Billing cycle starts", 1), "1st of the month");
  EXPECT_EQ(shown("Custom cycle", 1), "Off");
  save(window.get(), "plan-quota");
}

// The start-day list opens on the start in force, or on no row when that is of the other kind,
// and any row can be picked from there, the one it opens on and the first included.
TEST_F(SettingsTabTest, EveryStartDayCanBePicked) {
  struct Case {
    const char* name;
    int planType;
    int storedCode;
    std::optional<int> highlighted;  // the row shown as chosen when the list opens
    std::function<void(QListWidget*)> pick;
    int code;
    const char* summary;
  };
  const auto click = [](int row) {
    return [row](QListWidget* list) {
      QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                        list->visualItemRect(list->item(row)).center());
    };
  };
  const auto key = [](Qt::Key k) { return [k](QListWidget* list) { QTest::keyClick(list, k); }; };
  for (const Case& c :
       {Case{"day 1 after a weekly plan", 0, 103, std::nullopt, click(0), 1, "1st of the month"},
        Case{"the day it opens on", 0, 1, 0, click(0), 1, "1st of the month"},
        Case{"Sunday after a monthly plan, by key", 1, 15, std::nullopt, key(Qt::Key_Return), 101,
             "Every Sunday"},
        Case{"Monday after a monthly plan, by key", 1, 15, std::nullopt, key(Qt::Key_Down), 102,
             "Every Monday"},
        Case{"the weekday it opens on, by key", 1, 106, 5, key(Qt::Key_Return), 106,
             "Every Friday"}}) {
    SCOPED_TRACE(c.name);
    FakePlatform fresh;
    fresh.userDefaults().setInteger("CellularPlanType", c.planType);
    fresh.userDefaults().setInteger("firstDayOfCycle", c.storedCode);
    StartDayScreen screen(std::make_shared<StartDayViewController>(fresh));
    screen.resize(320, 480);
    screen.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&screen));
    const QList<QListWidgetItem*> selected = screen.list()->selectedItems();
    EXPECT_EQ(selected.isEmpty() ? std::nullopt : std::optional(screen.list()->row(selected[0])),
              c.highlighted);
    EXPECT_EQ(fresh.userDefaults().integerForKey("firstDayOfCycle"), c.storedCode);
    screen.list()->setFocus();
    c.pick(screen.list());
    EXPECT_EQ(fresh.userDefaults().integerForKey("firstDayOfCycle"), c.code);
    EXPECT_EQ(screen.summary()->text().toStdString(), c.summary);
  }
}

TEST_F(SettingsTabTest, TheCustomCyclePanesLiveInANestedScreen) {
  returning();
  platform.userDefaults().setInteger("ResetDays", 30);
  start();
  openSettingsTab();
  QPushButton* custom = row("Custom cycle");
  ASSERT_TRUE(custom);
  QTest::mouseClick(custom, Qt::LeftButton);
  ASSERT_EQ(stack().depth(), 2);
  EXPECT_EQ(stack().titleLabel()->text(), "Custom cycle");
  save(window.get(), "settings-custom-cycle");

  QTest::mouseClick(row("Cycle length"), Qt::LeftButton);
  auto* length = qobject_cast<DaysScreen*>(stack().topView());
  ASSERT_TRUE(length);
  length->days()->setValue(28);
  EXPECT_EQ(length->summary()->text(), "28 Days");
  EXPECT_EQ(platform.userDefaults().integerForKey("firstDayOfCycle"), 9999);
  save(window.get(), "plan-days");
  QTest::mouseClick(stack().backButton(), Qt::LeftButton);

  QTest::mouseClick(row("First day of the cycle"), Qt::LeftButton);
  auto* picker = qobject_cast<StartDateScreen*>(stack().topView());
  ASSERT_TRUE(picker);
  // 28 days: from midnight 27 days ago up to now.
  EXPECT_EQ(picker->picker()->minimumDateTime().toSecsSinceEpoch(),
            static_cast<qint64>(platform.at(2027, 2, 15).secondsSince1970));
  picker->picker()->setDateTime(QDateTime::fromSecsSinceEpoch(
      static_cast<qint64>(platform.at(2027, 3, 1, 9).secondsSince1970)));
  EXPECT_EQ(platform.userDefaults().dateForKey("CustomStartDate"), platform.at(2027, 3, 1, 9));
  save(window.get(), "plan-custom-start");
}

TEST_F(SettingsTabTest, CurrentUsageAndStartDatePanes) {
  returning();
  start();
  openSettingsTab();
  QTest::mouseClick(row("Current usage this cycle"), Qt::LeftButton);
  auto* usage = qobject_cast<QuotaScreen*>(stack().topView());
  ASSERT_TRUE(usage);
  usage->unit()->setCurrentIndex(1);
  usage->amount()->setValue(3);
  EXPECT_EQ(usage->summary()->text(), "3 GB");
  save(window.get(), "plan-current-usage");
  QTest::mouseClick(stack().backButton(), Qt::LeftButton);
  QTest::mouseClick(row("Custom cycle"), Qt::LeftButton);
  QTest::mouseClick(row("Move the start date only"), Qt::LeftButton);
  auto* start = qobject_cast<StartDateScreen*>(stack().topView());
  ASSERT_TRUE(start);
  save(window.get(), "plan-start-date");
}

}  // namespace
}  // namespace kestrio::gui
