#include "gui/shell/WindowNavigator.h"

#include <QDialog>
#include <QGuiApplication>
#include <QScreen>
#include <QVBoxLayout>
#include <algorithm>

#include "gui/shell/NavigationStack.h"
#include "gui/shell/WindowGeometry.h"

namespace kestrio::gui::shell {
namespace {

constexpr const char* kStackProperty = "navigationStack";

// The dialog of a presented screen. Closed by the user, it asks the screen to cancel, which
// dismisses it through the navigator; closed by the navigator, it just closes.
class PresentedDialog final : public QDialog {
 public:
  PresentedDialog(QWidget* parent, std::function<bool()> cancel)
      : QDialog(parent), cancel_(std::move(cancel)) {}

  void closeByNavigator() {
    closing_ = true;
    close();
  }

  void reject() override {
    if (!closing_ && cancel_ && cancel_()) return;
    QDialog::reject();
  }

 private:
  std::function<bool()> cancel_;
  bool closing_ = false;
};

void closeByNavigator(QDialog* dialog) {
  if (auto* presented = dynamic_cast<PresentedDialog*>(dialog)) {
    presented->closeByNavigator();
  } else if (dialog) {
    dialog->close();
  }
}

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
  return stack && stack->push(std::move(screen), from);
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
  kestrio::ViewController* controller = screen.get();
  auto* dialog =
      new PresentedDialog(parent, [this, controller] { return views_.cancel(*controller); });
  dialog->setObjectName(QStringLiteral("presentedScreen"));
  dialog->setAttribute(Qt::WA_DeleteOnClose);
  dialog->setWindowModality(Qt::WindowModal);
  // The screen's title, else the one its view carries.
  const QString title = QString::fromStdString(screen->title());
  dialog->setWindowTitle(title.isEmpty() ? view->windowTitle() : title);
  auto* layout = new QVBoxLayout(dialog);
  layout->setContentsMargins(0, 0, 0, 0);
  screen->viewWillAppear();
  auto* stack = new NavigationStack(views_, view, screen.get(), dialog);
  dialog->setProperty(kStackProperty, QVariant::fromValue<QObject*>(stack));
  layout->addWidget(stack);

  // Never larger than the window it covers, nor than the screen; a view with a size of its own
  // is bounded by the screen only.
  const QScreen* where = window_ ? window_->screen() : QGuiApplication::primaryScreen();
  const QSize wanted = view->property(kPresentedSizeProperty).toSize();
  if (wanted.isValid()) {
    dialog->resize(where ? wanted.boundedTo(where->availableSize() * 0.95) : wanted);
  } else {
    QSize limit = window_ ? window_->size() : QSize(480, 640);
    if (where) limit = limit.boundedTo(where->availableSize());
    dialog->resize(dialog->sizeHint().expandedTo(QSize(360, 420)).boundedTo(limit));
  }

  presented_.push_back(Presented{dialog, stack, screen.get(), under});
  NavigationStack::keepAlive(view, std::move(screen));
  connect(dialog, &QDialog::finished, this, [this, dialog] { closed(dialog); });
  dialog->open();
  // Over a window that fills a small screen, the dialog's frame stays on the screen too.
  if (where) {
    const QRect frame = dialog->frameGeometry();
    dialog->move(dialog->pos() + keepInside(frame, where->availableGeometry()) - frame.topLeft());
  }
  // The keyboard goes to the dialog at once, not to the screen it covers, even where no window
  // manager hands it over.
  dialog->activateWindow();
  view->setFocus(Qt::OtherFocusReason);
  return true;
}

bool WindowNavigator::dismiss(kestrio::ViewController* screen) {
  if (!screen) return false;
  for (auto it = presented_.rbegin(); it != presented_.rend(); ++it) {
    if (it->controller == screen) {
      // What was presented over it goes with it, the topmost first; each reaches closed()
      // through finished.
      std::vector<QPointer<QDialog>> closing;
      for (auto above = presented_.rbegin(); above != it + 1; ++above) {
        closing.push_back(above->dialog);
      }
      for (const QPointer<QDialog>& dialog : closing) closeByNavigator(dialog);
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
  // The keyboard returns to the window below, even where no window manager hands it back.
  if (QWidget* below = dialog->parentWidget()) below->window()->activateWindow();
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
