#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QPushButton>
#include <QSet>
#include <QTest>
#include <memory>

#include "engine/AppSettings.h"
#include "gui/MainWindow.h"
#include "gui/QtApp.h"
#include "gui/shell/QtUi.h"
#include "support/CaseNames.h"
#include "support/FakePlatform.h"

namespace kestrio::gui {
namespace {

using kestrio::testing::FakePlatform;

// How the user answers a dialog from the keyboard alone.
struct AnswerCase {
  const char* name;
  std::function<void(QDialog*)> answer;
};

void tabToAndPress(QDialog* dialog, const QString& text) {
  for (int i = 0;
       i < 4 && !(qobject_cast<QPushButton*>(QApplication::focusWidget()) &&
                  qobject_cast<QPushButton*>(QApplication::focusWidget())->text() == text);
       ++i) {
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
  }
  ASSERT_EQ(qobject_cast<QPushButton*>(QApplication::focusWidget())->text(), text);
  ASSERT_TRUE(dialog->isAncestorOf(QApplication::focusWidget()));
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
}

const AnswerCase kAnswers[] = {
    {"Escape", [](QDialog*) { QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape); }},
    {"Return", [](QDialog*) { QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return); }},
    {"Tab Space", [](QDialog* d) { tabToAndPress(d, "OK"); }},
};

// The second launch of a new version, eleven days and more after the first: the news and the
// rating prompt are both due.
class StartupDialogs : public ::testing::TestWithParam<AnswerCase> {
 protected:
  StartupDialogs() {
    kestrio::testing::qtApp();
    platform.setNow(2026, 3, 10, 12);
    UserDefaults& store = platform.userDefaults();
    AppSettings(platform).getSettings();
    store.setObject(KestrioAppDelegate::kFirstRunKey,
                    PlistValue(platform.now().addingSeconds(-20 * 86400.0)));
    store.setString(KestrioAppDelegate::kVersionKey, "0.0.1");
    store.synchronize();
    window = std::make_unique<MainWindow>(platform);
    window->show();
    EXPECT_TRUE(QTest::qWaitForWindowActive(window.get()));
    window->launch();
    window->becameActive();
  }
  ~StartupDialogs() override {
    window.reset();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  }

  // The one dialog open now, once it holds the keyboard.
  QDialog* shownAlone(const std::string& title) {
    QDialog* shown = nullptr;
    const bool ready = QTest::qWaitFor(
        [&] {
          const QList<QDialog*> open = window->ui().openDialogs();
          shown = open.size() == 1 ? open[0] : nullptr;
          return shown && QApplication::activeWindow() == shown &&
                 shown->isAncestorOf(QApplication::focusWidget());
        },
        2000);
    EXPECT_TRUE(ready) << "no single " << title << " dialog with the keyboard";
    if (!ready) return nullptr;
    EXPECT_EQ(window->ui().alertOf(shown)->title, title);
    return shown;
  }

  FakePlatform platform;
  std::unique_ptr<MainWindow> window;
};

TEST_P(StartupDialogs, OneAtATimeEachAnsweredByKeyboard) {
  QDialog* news = shownAlone("What's New in " KESTRIO_VERSION);
  ASSERT_NE(news, nullptr);
  EXPECT_EQ(window->ui().pendingAlerts(), 1);
  news->grab().save(kestrio::testing::screenshotDirectory() + "/startup_whats_new.png");
  GetParam().answer(news);

  QDialog* rating = shownAlone("Rate Kestrio");
  ASSERT_NE(rating, nullptr);
  rating->grab().save(kestrio::testing::screenshotDirectory() + "/startup_rating.png");
  // Return would rate: the default button holds the focus first, and Tab reaches every button.
  auto* focused = qobject_cast<QPushButton*>(QApplication::focusWidget());
  ASSERT_NE(focused, nullptr);
  EXPECT_TRUE(focused->isDefault());
  EXPECT_EQ(focused->text(), "Rate It!");
  QSet<QString> reached;
  for (int i = 0; i < 2; ++i) {
    reached.insert(qobject_cast<QPushButton*>(QApplication::focusWidget())->text());
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
  }
  EXPECT_EQ(reached, (QSet<QString>{"No, Thanks", "Rate It!"}));
  // Escape is "not now".
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
  EXPECT_TRUE(QTest::qWaitFor([&] { return window->ui().openDialogs().isEmpty(); }, 2000));
  EXPECT_EQ(window->ui().pendingAlerts(), 0);
}

INSTANTIATE_TEST_SUITE_P(Keys, StartupDialogs, ::testing::ValuesIn(kAnswers),
                         kestrio::testing::NameField{});

}  // namespace
}  // namespace kestrio::gui
