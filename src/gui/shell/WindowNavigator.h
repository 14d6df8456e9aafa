#pragma once

#include <QObject>
#include <QPointer>
#include <functional>
#include <memory>
#include <vector>

#include "gui/shell/QtUi.h"
#include "gui/shell/ViewRegistry.h"
#include "platform/Ui.h"

class QDialog;
class QWidget;

namespace kestrio::gui::shell {

class NavigationStack;

// A view that wants a size of its own when presented (a landscape chart, an editor taller than
// the default) holds it as a QSize under this property; it is kept within the screen. Others get
// their size hint, never larger than the window they cover.
inline constexpr const char* kPresentedSizeProperty = "presentedSize";

// Routes the screens' pushes, presentations and dismissals to the window: a push goes onto the
// stack that shows the screen it came from (the tab in front when that is unknown); a
// presentation opens a modal dialog over the window holding a stack of its own, so a presented
// screen can push too. Dismissing a presented screen closes its dialog (and those presented over
// it) and the screen it covered reloads; dismissing a pushed one pops it with everything above it.
// A user closing a dialog (Escape, its close button) runs the screen's Cancel when the registry
// has one for it.
class WindowNavigator : public QObject {
  Q_OBJECT

 public:
  // `window` parents the modal dialogs; `currentStack` names the stack of the tab in front.
  WindowNavigator(QWidget* window, std::function<NavigationStack*()> currentStack);

  ViewRegistry& views() { return views_; }
  const ViewRegistry& views() const { return views_; }

  // A tab's stack; the navigator does not own it.
  void addStack(NavigationStack* stack);
  // Makes `ui` forward its push, present and dismiss here.
  void install(QtUi& ui);

  bool push(std::shared_ptr<kestrio::ViewController> screen, kestrio::ViewController* from);
  bool present(std::shared_ptr<kestrio::ViewController> screen, kestrio::ViewController* from);
  bool dismiss(kestrio::ViewController* screen);

  // Closes every presented screen at once, without reloading the screens they cover (the window
  // is going away).
  void closeAll();

  // The modal dialogs open, oldest first; the stack inside one.
  QList<QDialog*> presentedDialogs() const;
  static NavigationStack* stackOf(QDialog* dialog);
  // The stack showing `controller`: a presented one first, then the tabs'; nothing when no stack
  // shows it.
  NavigationStack* stackShowing(const kestrio::ViewController* controller) const;

 private:
  struct Presented {
    QPointer<QDialog> dialog;
    NavigationStack* stack = nullptr;
    kestrio::ViewController* controller = nullptr;
    QPointer<NavigationStack> under;  // the stack it covers, reloaded when it closes
  };
  void closed(QDialog* dialog);

  QPointer<QWidget> window_;
  std::function<NavigationStack*()> currentStack_;
  ViewRegistry views_;
  std::vector<QPointer<NavigationStack>> stacks_;
  std::vector<Presented> presented_;
};

}  // namespace kestrio::gui::shell
