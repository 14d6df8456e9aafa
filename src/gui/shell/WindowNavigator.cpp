#include "gui/shell/WindowNavigator.h"

#include <QDialog>
#include <QGuiApplication>
#include <QScreen>
#include <QVBoxLayout>
#include <algorithm>

#include "gui/shell/NavigationStack.h"

namespace kestrio::gui::shell {
namespace {

constexpr const char* kStackProperty = "navigationStack";

}  // namespace

WindowNavigator::WindowNavigator(QWidget* window, std::function<NavigationStack*()> currentStack)
    : QObject(window), window_(window), currentStack_(std::move(currentStack)) {}

void WindowNavigator::addStack(NavigationStack* stack) {
  stacks_.emplace_back(stack);
}

void WindowNavigator::install(QtUi& ui) {
  QtUi::Navigator navigator;
  navigator.push = [this](std::shared_ptr<kestrio::ViewController> screen,
                          kestrio::ViewController* from) { push(std::move(screen), from); };
  navigator.present = [this](std::shared_ptr<kestrio::ViewController> screen,
                             kestrio::ViewController* from) { present(std::move(screen), from); };
  navigator.dismiss = [this](kestrio::ViewController* screen) { dismiss(screen); };
  ui.setNavigator(std::move(navigator));
}

NavigationStack* WindowNavigator::stackShowing(const kestrio::ViewController* controller) const {
  if (!controller) return nullptr;
  for (auto it = presented_.rbegin(); it != presented_.rend(); ++it) {
    if (it->dialog && it->stack->contains(controller)) return it->stack;
  }
  for (const QPointer<NavigationStack>& stack : stacks_) {
    if (stack && stack->contains(controller)) return stack;
  }
  return nullptr;
}

bool WindowNavigator::push(std::shared_ptr<kestrio::ViewController> screen,
                           kestrio::ViewController* from) {
  NavigationStack* stack = stackShowing(from);
  if (!stack && !presented_.empty() && presented_.back().dialog) stack = presented_.back().stack;
  if (!stack && currentStack_) stack = currentStack_();
  return stack && stack->push(std::move(screen));
}

bool WindowNavigator::present(std::shared_ptr<kestrio::ViewController> screen,
                              kestrio::ViewController* from) {
  if (!screen) return false;
  QWidget* view = views_.make(screen);
  if (!view) return false;
  NavigationStack* under = stackShowing(from);
  if (!under && currentStack_) under = currentStack_();

  // Above the topmost dialog, so a screen presented from a presented screen stays in front.
  QWidget* parent = window_;
  if (!presented_.empty() && presented_.back().dialog) parent = presented_.back().dialog;
  auto* dialog = new QDialog(parent);
  dialog->setObjectName(QStringLiteral("presentedScreen"));
  dialog->setAttribute(Qt::WA_DeleteOnClose);
  dialog->setWindowModality(Qt::WindowModal);
  dialog->setWindowTitle(QString::fromStdString(screen->title()));
  auto* layout = new QVBoxLayout(dialog);
  layout->setContentsMargins(0, 0, 0, 0);
  screen->viewWillAppear();
  auto* stack = new NavigationStack(views_, view, screen.get(), dialog);
  dialog->setProperty(kStackProperty, QVariant::fromValue<QObject*>(stack));
  layout->addWidget(stack);

  // Never larger than the window it covers, nor than the screen.
  QSize limit = window_ ? window_->size() : QSize(480, 640);
  if (const QScreen* where = window_ ? window_->screen() : QGuiApplication::primaryScreen()) {
    limit = limit.boundedTo(where->availableSize());
  }
  dialog->resize(dialog->sizeHint().expandedTo(QSize(360, 420)).boundedTo(limit));

  presented_.push_back(Presented{dialog, stack, screen.get(), under});
  NavigationStack::keepAlive(view, std::move(screen));
  connect(dialog, &QDialog::finished, this, [this, dialog] { closed(dialog); });
  dialog->open();
  view->setFocus(Qt::OtherFocusReason);
  return true;
}

bool WindowNavigator::dismiss(kestrio::ViewController* screen) {
  if (!screen) return false;
  for (auto it = presented_.rbegin(); it != presented_.rend(); ++it) {
    if (it->controller == screen) {
      if (it->dialog) it->dialog->close();  // reaches closed() through finished
      return true;
    }
    if (it->dialog && it->stack->popTo(screen)) return true;
  }
  for (const QPointer<NavigationStack>& stack : stacks_) {
    if (stack && stack->popTo(screen)) return true;
  }
  return false;
}

void WindowNavigator::closed(QDialog* dialog) {
  const auto it = std::find_if(presented_.begin(), presented_.end(),
                               [dialog](const Presented& entry) { return entry.dialog == dialog; });
  if (it == presented_.end()) return;
  const QPointer<NavigationStack> under = it->under;
  // The dialog deletes itself, its views and their controllers once the event loop is back.
  presented_.erase(it);
  // What the presented screen changed shows on the screen it covered.
  if (under) under->willAppear();
}

void WindowNavigator::closeAll() {
  std::vector<Presented> closing = std::move(presented_);
  presented_.clear();
  for (auto it = closing.rbegin(); it != closing.rend(); ++it) delete it->dialog.data();
}

QList<QDialog*> WindowNavigator::presentedDialogs() const {
  QList<QDialog*> result;
  for (const Presented& entry : presented_) {
    if (entry.dialog) result.append(entry.dialog);
  }
  return result;
}

NavigationStack* WindowNavigator::stackOf(QDialog* dialog) {
  if (!dialog) return nullptr;
  return qobject_cast<NavigationStack*>(dialog->property(kStackProperty).value<QObject*>());
}

}  // namespace kestrio::gui::shell
