#pragma once

#include <QVBoxLayout>
#include <QWidget>
#include <memory>

#include "gui/shell/NavigationStack.h"
#include "gui/shell/QtUi.h"
#include "gui/shell/WindowNavigator.h"

namespace kestrio::testing {

// A window with one tab on the window's shell: the tab's navigation stack, the navigator that
// routes its screens' pushes and presentations through the registered views, and the Ui its
// controllers show dialogs with. Build the root controller with `ui`, register the views, then
// `setRoot`.
struct OneTabWindow {
  OneTabWindow() {
    window = std::make_unique<QWidget>();
    ui = new gui::QtUi(window.get());
    navigator = new gui::shell::WindowNavigator(window.get(), [this] { return stack; });
    navigator->install(*ui);
  }
  ~OneTabWindow() {
    // The screens go before the Ui and the window their controllers use.
    navigator->closeAll();
    delete stack;
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  }
  void setRoot(QWidget* root, kestrio::ViewController* controller) {
    stack = new gui::shell::NavigationStack(navigator->views(), root, controller, window.get());
    navigator->addStack(stack);
    auto* layout = new QVBoxLayout(window.get());
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(stack);
  }
  // The screen the user sees on top: the topmost presented one, else the stack's.
  QWidget* topScreen() const {
    const QList<QDialog*> dialogs = navigator->presentedDialogs();
    if (!dialogs.isEmpty()) return gui::shell::WindowNavigator::stackOf(dialogs.back())->topView();
    return stack->topView();
  }

  std::unique_ptr<QWidget> window;
  gui::QtUi* ui = nullptr;
  gui::shell::WindowNavigator* navigator = nullptr;
  gui::shell::NavigationStack* stack = nullptr;
};

}  // namespace kestrio::testing
