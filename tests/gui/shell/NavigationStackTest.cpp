#include <gtest/gtest.h>

#include <QDialog>
#include <QLabel>
#include <QTest>
#include <QToolButton>
#include <memory>

#include "gui/QtApp.h"
#include "gui/shell/NavigationStack.h"
#include "gui/shell/QtUi.h"
#include "gui/shell/ViewRegistry.h"
#include "gui/shell/WindowNavigator.h"

namespace kestrio::gui::shell {
namespace {

// A screen that counts its about-to-appear hooks.
class Screen : public kestrio::ViewController {
 public:
  explicit Screen(std::string title) : title_(std::move(title)) {}
  std::string title() const override { return title_; }
  void viewWillAppear() override { ++appeared; }
  int appeared = 0;

 private:
  std::string title_;
};

// A screen no view is registered for.
class Unknown : public kestrio::ViewController {};

class NavigationStackTest : public ::testing::Test {
 protected:
  NavigationStackTest() {
    kestrio::testing::qtApp();
    window = std::make_unique<QWidget>();
    window->resize(400, 600);
    navigator = new WindowNavigator(window.get(), [this] { return tab; });
    navigator->views().add<Screen>([](const std::shared_ptr<Screen>& screen) {
      auto* label = new QLabel(QString::fromStdString(screen->title()));
      label->setFocusPolicy(Qt::StrongFocus);
      return label;
    });
    root = std::make_unique<Screen>("Settings");
    tab = new NavigationStack(navigator->views(), new QLabel("root"), root.get(), window.get());
    tab->resize(400, 600);
    navigator->addStack(tab);
    navigator->install(ui);
    window->show();
  }

  // Lets deferred deletions run.
  static void settle() {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents();
  }

  kestrio::gui::QtUi ui{nullptr};
  std::unique_ptr<QWidget> window;
  WindowNavigator* navigator = nullptr;
  NavigationStack* tab = nullptr;
  std::unique_ptr<Screen> root;
};

TEST_F(NavigationStackTest, PushShowsTheScreenWithABackButtonNamedAfterTheOneBelow) {
  auto plan = std::make_shared<Screen>("Plan");
  ui.push(plan, root.get());
  ASSERT_EQ(tab->depth(), 2);
  EXPECT_EQ(plan->appeared, 1);
  EXPECT_EQ(tab->topController(), plan.get());
  EXPECT_EQ(qobject_cast<QLabel*>(tab->topView())->text(), "Plan");
  EXPECT_TRUE(tab->backButton()->isVisibleTo(tab));
  EXPECT_EQ(tab->backButton()->text(), "Settings");
  EXPECT_EQ(tab->titleLabel()->text(), "Plan");

  // Back: the root reloads, the pushed controller is released once its view is gone.
  std::weak_ptr<Screen> released = plan;
  plan.reset();
  QTest::mouseClick(tab->backButton(), Qt::LeftButton);
  EXPECT_EQ(tab->depth(), 1);
  EXPECT_EQ(root->appeared, 1);
  EXPECT_FALSE(tab->backButton()->isVisibleTo(tab));
  settle();
  EXPECT_TRUE(released.expired());
}

TEST_F(NavigationStackTest, AltLeftGoesBackAndTheRootIsNeverPopped) {
  ui.push(std::make_shared<Screen>("A"), root.get());
  ui.push(std::make_shared<Screen>("B"), nullptr);  // unknown origin: the tab in front
  ASSERT_EQ(tab->depth(), 3);
  EXPECT_EQ(tab->backButton()->text(), "A");
  // Shortcuts reach the window that has the keyboard.
  window->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
  tab->topView()->setFocus();
  QTest::keyClick(tab->topView(), Qt::Key_Left, Qt::AltModifier);
  EXPECT_EQ(tab->depth(), 2);
  EXPECT_FALSE(tab->pop() && tab->pop());
  EXPECT_EQ(tab->depth(), 1);
}

TEST_F(NavigationStackTest, ScreensWithoutAViewAreRefused) {
  EXPECT_FALSE(navigator->push(std::make_shared<Unknown>(), root.get()));
  EXPECT_FALSE(navigator->present(std::make_shared<Unknown>(), root.get()));
  EXPECT_EQ(tab->depth(), 1);
  EXPECT_TRUE(navigator->presentedDialogs().isEmpty());
}

TEST_F(NavigationStackTest, DismissingAPushedScreenPopsEverythingAboveIt) {
  auto a = std::make_shared<Screen>("A");
  ui.push(a, root.get());
  ui.push(std::make_shared<Screen>("B"), a.get());
  ui.push(std::make_shared<Screen>("C"), nullptr);
  ui.dismiss(a.get());
  EXPECT_EQ(tab->depth(), 1);
  EXPECT_EQ(root->appeared, 1);
}

TEST_F(NavigationStackTest, APresentedScreenIsModalPushesInsideItsDialogAndReloadsWhatItCovered) {
  auto picker = std::make_shared<Screen>("Start Date");
  ui.present(picker, root.get());
  const QList<QDialog*> dialogs = navigator->presentedDialogs();
  ASSERT_EQ(dialogs.size(), 1);
  QDialog* dialog = dialogs.front();
  EXPECT_TRUE(dialog->isModal() || dialog->windowModality() != Qt::NonModal);
  EXPECT_EQ(dialog->windowTitle(), "Start Date");
  EXPECT_LE(dialog->height(), window->height());
  EXPECT_EQ(picker->appeared, 1);

  // A push from the presented screen stays inside its dialog.
  auto next = std::make_shared<Screen>("Days");
  ui.push(next, picker.get());
  EXPECT_EQ(tab->depth(), 1);
  EXPECT_EQ(WindowNavigator::stackOf(dialog)->depth(), 2);

  std::weak_ptr<Screen> released = picker;
  picker.reset();
  next.reset();
  ui.dismiss(released.lock().get());
  EXPECT_TRUE(navigator->presentedDialogs().isEmpty());
  EXPECT_EQ(root->appeared, 1);  // the covered screen reloads
  settle();
  EXPECT_TRUE(released.expired());
}

TEST_F(NavigationStackTest, EscapeOnAPresentedScreenClosesItAsADismissal) {
  ui.present(std::make_shared<Screen>("Quota"), root.get());
  QDialog* dialog = navigator->presentedDialogs().front();
  QTest::keyClick(dialog, Qt::Key_Escape);
  EXPECT_TRUE(navigator->presentedDialogs().isEmpty());
  EXPECT_EQ(root->appeared, 1);
}

TEST_F(NavigationStackTest, ClosingByHandRunsTheScreensCancelAndADismissalClosesWhatIsAbove) {
  int cancels = 0;
  navigator->views().addCancel<Screen>([&](Screen& screen) {
    ++cancels;
    ui.dismiss(&screen);
  });
  auto editor = std::make_shared<Screen>("Editor");
  ui.present(editor, root.get());
  ui.present(std::make_shared<Screen>("Name"), editor.get());
  ASSERT_EQ(navigator->presentedDialogs().size(), 2);
  // Dismissed by its controller: no Cancel, and the pane over it goes too.
  ui.dismiss(editor.get());
  EXPECT_EQ(cancels, 0);
  EXPECT_TRUE(navigator->presentedDialogs().isEmpty());

  // Escape is the screen's Cancel, which dismisses it.
  ui.present(editor, root.get());
  QTest::keyClick(navigator->presentedDialogs().front(), Qt::Key_Escape);
  EXPECT_EQ(cancels, 1);
  EXPECT_TRUE(navigator->presentedDialogs().isEmpty());
}

TEST_F(NavigationStackTest, AViewMayDrawItsOwnBarAndAskForItsPresentedSize) {
  navigator->views().add<Unknown>([](const std::shared_ptr<Unknown>&) {
    auto* view = new QLabel("chart");
    view->setProperty(kOwnBarProperty, true);
    view->setProperty(kPresentedSizeProperty, QSize(700, 300));
    return view;
  });
  ui.push(std::make_shared<Unknown>(), root.get());
  ASSERT_EQ(tab->depth(), 2);
  EXPECT_FALSE(tab->backButton()->isVisibleTo(tab));
  // Wider than the window it covers: a landscape view keeps its shape.
  ui.present(std::make_shared<Unknown>(), root.get());
  ASSERT_EQ(navigator->presentedDialogs().size(), 1);
  EXPECT_EQ(navigator->presentedDialogs().front()->size(), QSize(700, 300));
}

TEST_F(NavigationStackTest, SelectingTheTabRunsTheHookOfItsTopScreenOnly) {
  auto a = std::make_shared<Screen>("A");
  ui.push(a, root.get());
  tab->willAppear();
  EXPECT_EQ(a->appeared, 2);
  EXPECT_EQ(root->appeared, 0);
}

}  // namespace
}  // namespace kestrio::gui::shell
