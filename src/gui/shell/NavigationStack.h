#pragma once

#include <QPointer>
#include <QWidget>
#include <memory>
#include <vector>

#include "platform/Ui.h"

class QBoxLayout;
class QLabel;
class QStackedWidget;
class QToolButton;

namespace kestrio::gui::shell {

class ViewRegistry;

// A pushed view that draws its own bar (its back button beside its actions) holds `true` under
// this property; the stack then shows no bar of its own above it.
inline constexpr const char* kOwnBarProperty = "drawsOwnNavigationBar";

// One tab's stack of screens: the root screen, and the screens pushed over it, each with a bar
// holding a back button (named after the screen below) and the screen's title. Only the top
// screen is shown. Each time a screen is about to be shown (pushed, uncovered by a pop, or its
// tab selected) its controller's `viewWillAppear()` runs first, so it can reload.
class NavigationStack : public QWidget {
  Q_OBJECT

 public:
  // `root` becomes a child of the stack; `rootController`, when given, hears the about-to-appear
  // hook for the root screen and outlives the root view.
  NavigationStack(const ViewRegistry& views, QWidget* root,
                  kestrio::ViewController* rootController = nullptr, QWidget* parent = nullptr);
  // A stack whose root comes later, with `setRoot`: a root built as a child of `pageArea()`
  // (the root's place) is never moved, so a screen with a style of its own is styled once.
  struct RootLater {};
  NavigationStack(const ViewRegistry& views, RootLater, QWidget* parent);
  QWidget* pageArea() const;
  // Call once, before anything else, on a stack made without a root.
  void setRoot(QWidget* root, kestrio::ViewController* rootController = nullptr);
  // From `width` logical pixels up, the root stays on the left and what it pushes is shown on
  // the right, `placeholder` while nothing is; narrower, a push covers the root as usual. Call
  // before `setRoot`.
  void showPushesBeside(int width, QWidget* placeholder);
  // Whether the root and the screen it pushed are side by side now.
  bool isSideBySide() const;

  // Keeps `controller` alive exactly as long as `view`, which draws it.
  static void keepAlive(QWidget* view, std::shared_ptr<kestrio::ViewController> controller);

  // Shows `controller`'s view above the current top. False (and nothing shown) when the registry
  // has no view for it.
  // Side by side, a push from the root replaces what it pushed before.
  bool push(std::shared_ptr<kestrio::ViewController> controller,
            const kestrio::ViewController* from = nullptr);
  // Removes the top screen (never the root); false when only the root is left.
  bool pop();
  // Removes `controller`'s screen and every screen above it; false when it is not on this stack
  // (or is the root).
  bool popTo(const kestrio::ViewController* controller);
  void popToRoot();

  // Whether the controller's screen is on this stack (the root included).
  bool contains(const kestrio::ViewController* controller) const;
  // The screens' count, the root included.
  int depth() const { return static_cast<int>(entries_.size()); }
  kestrio::ViewController* topController() const;
  QWidget* topView() const;
  // The back button (hidden on the root screen) and the title of the top screen.
  QToolButton* backButton() const { return back_; }
  QLabel* titleLabel() const { return title_; }

  // Runs the top screen's about-to-appear hook (the tab is being shown) and refreshes the bar.
  void willAppear();

 protected:
  // Alt+Left that no screen used goes back, whether or not the shortcut system saw it (a window
  // that is not the active one).
  void keyPressEvent(QKeyEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 signals:
  // The top screen changed (a push or a pop).
  void topChanged();

 private:
  struct Entry {
    QPointer<QWidget> view;
    kestrio::ViewController* controller = nullptr;
  };
  void showTop();
  // Shows the root's place, the pages or both, as the width and the depth want.
  void arrangeBeside();
  // Keeps the title centred against the back button where the bar has room for both.
  void balanceBar();

  const ViewRegistry& views_;
  std::vector<Entry> entries_;
  QWidget* bar_ = nullptr;
  QToolButton* back_ = nullptr;
  QLabel* title_ = nullptr;
  QStackedWidget* pages_ = nullptr;
  QBoxLayout* content_ = nullptr;
  // Side by side: the root's own place on the left, and the width from which it is used.
  QWidget* rootPlace_ = nullptr;
  QWidget* placeholder_ = nullptr;
  int besideWidth_ = 0;
};

}  // namespace kestrio::gui::shell
