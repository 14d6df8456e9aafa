#include "gui/shell/NavigationStack.h"

#include <QAction>
#include <QApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QKeySequence>
#include <QLabel>
#include <QResizeEvent>
#include <QStackedWidget>
#include <QToolButton>
#include <QVBoxLayout>

#include "gui/shell/ViewRegistry.h"

namespace kestrio::gui::shell {

NavigationStack::NavigationStack(const ViewRegistry& views, QWidget* root,
                                 kestrio::ViewController* rootController, QWidget* parent)
    : NavigationStack(views, RootLater{}, parent) {
  setRoot(root, rootController);
}

NavigationStack::NavigationStack(const ViewRegistry& views, RootLater, QWidget* parent)
    : QWidget(parent), views_(views) {
  setObjectName(QStringLiteral("navigationStack"));
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);

  bar_ = new QWidget(this);
  bar_->setObjectName(QStringLiteral("navigationBar"));
  auto* barLayout = new QHBoxLayout(bar_);
  barLayout->setContentsMargins(6, 4, 6, 4);
  back_ = new QToolButton(bar_);
  back_->setObjectName(QStringLiteral("backButton"));
  back_->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
  back_->setArrowType(Qt::LeftArrow);
  back_->setFocusPolicy(Qt::StrongFocus);
  connect(back_, &QToolButton::clicked, this, [this] { pop(); });
  title_ = new QLabel(bar_);
  title_->setObjectName(QStringLiteral("navigationTitle"));
  title_->setAlignment(Qt::AlignCenter);
  // A long title wraps rather than widen the window past a phone's width.
  title_->setWordWrap(true);
  QFont bold = title_->font();
  bold.setBold(true);
  title_->setFont(bold);
  barLayout->addWidget(back_);
  barLayout->addWidget(title_, 1);
  // Keeps the title centred against the back button.
  auto* balance = new QWidget(bar_);
  balance->setObjectName(QStringLiteral("navigationBalance"));
  barLayout->addWidget(balance);
  layout->addWidget(bar_);

  content_ = new QHBoxLayout;
  content_->setContentsMargins(0, 0, 0, 0);
  content_->setSpacing(0);
  pages_ = new QStackedWidget(this);
  content_->addWidget(pages_, 3);
  layout->addLayout(content_, 1);

  // Alt+Left goes back, as in a browser; only while this stack is the one shown.
  auto* goBack = new QAction(this);
  goBack->setShortcuts(QKeySequence::Back);
  goBack->setShortcutContext(Qt::WidgetWithChildrenShortcut);
  connect(goBack, &QAction::triggered, this, [this] { pop(); });
  addAction(goBack);
}

QWidget* NavigationStack::pageArea() const {
  return rootPlace_ ? rootPlace_ : pages_;
}

void NavigationStack::showPushesBeside(int width, QWidget* placeholder) {
  besideWidth_ = width;
  rootPlace_ = new QWidget(this);
  rootPlace_->setObjectName(QStringLiteral("rootPlace"));
  auto* place = new QVBoxLayout(rootPlace_);
  place->setContentsMargins(0, 0, 0, 0);
  content_->insertWidget(0, rootPlace_, 2);
  placeholder_ = placeholder;
  pages_->addWidget(placeholder_);
}

bool NavigationStack::isSideBySide() const {
  return rootPlace_ && width() >= besideWidth_;
}

void NavigationStack::setRoot(QWidget* root, kestrio::ViewController* rootController) {
  if (rootPlace_) {
    rootPlace_->layout()->addWidget(root);
  } else {
    pages_->addWidget(root);
  }
  entries_.push_back(Entry{root, rootController});
  showTop();
}

void NavigationStack::arrangeBeside() {
  if (!rootPlace_) return;
  const bool nested = entries_.size() > 1;
  const bool beside = isSideBySide();
  rootPlace_->setVisible(beside || !nested);
  pages_->setVisible(beside || nested);
  if (!nested) pages_->setCurrentWidget(placeholder_);
}

namespace {

// Holds a controller for the view that draws it. Created after the view, it is the view's last
// child and goes after everything else of the view.
class ControllerHolder : public QObject {
 public:
  ControllerHolder(QObject* view, std::shared_ptr<kestrio::ViewController> controller)
      : QObject(view), controller_(std::move(controller)) {}

 private:
  std::shared_ptr<kestrio::ViewController> controller_;
};

}  // namespace

void NavigationStack::keepAlive(QWidget* view,
                                std::shared_ptr<kestrio::ViewController> controller) {
  new ControllerHolder(view, std::move(controller));
}

bool NavigationStack::push(std::shared_ptr<kestrio::ViewController> controller,
                           const kestrio::ViewController* from) {
  if (!controller) return false;
  // Another row of the list beside: its screen takes the place of the one shown.
  if (isSideBySide() && from && from == entries_.front().controller) popToRoot();
  QWidget* view = views_.make(controller);
  if (!view) return false;
  controller->viewWillAppear();
  pages_->addWidget(view);
  entries_.push_back(Entry{view, controller.get()});
  keepAlive(view, std::move(controller));
  showTop();
  view->setFocus(Qt::OtherFocusReason);
  emit topChanged();
  return true;
}

bool NavigationStack::pop() {
  if (entries_.size() <= 1) return false;
  const Entry top = entries_.back();
  const bool hadFocus = top.view && top.view->isAncestorOf(QApplication::focusWidget());
  entries_.pop_back();
  if (entries_.back().controller) entries_.back().controller->viewWillAppear();
  showTop();
  // The keyboard stays with the screen uncovered, not with whatever Qt picks next.
  if (hadFocus && entries_.back().view) entries_.back().view->setFocus(Qt::OtherFocusReason);
  // The view (or its controller) may be what is running this pop, from its own button: both go
  // once the event loop is back.
  if (top.view) {
    pages_->removeWidget(top.view);
    top.view->hide();
    top.view->deleteLater();
  }
  emit topChanged();
  return true;
}

bool NavigationStack::popTo(const kestrio::ViewController* controller) {
  for (std::size_t i = 1; i < entries_.size(); ++i) {
    if (entries_[i].controller != controller) continue;
    while (entries_.size() > i) pop();
    return true;
  }
  return false;
}

void NavigationStack::popToRoot() {
  while (pop()) {
  }
}

bool NavigationStack::contains(const kestrio::ViewController* controller) const {
  if (!controller) return false;
  for (const Entry& entry : entries_) {
    if (entry.controller == controller) return true;
  }
  return false;
}

kestrio::ViewController* NavigationStack::topController() const {
  return entries_.back().controller;
}

QWidget* NavigationStack::topView() const {
  return entries_.back().view;
}

void NavigationStack::keyPressEvent(QKeyEvent* event) {
  // Escape that no control used goes back too, as it closes a dialog.
  const bool back = event->matches(QKeySequence::Back) || event->key() == Qt::Key_Back ||
                    (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier);
  if (back && pop()) {
    event->accept();
    return;
  }
  QWidget::keyPressEvent(event);
}

void NavigationStack::willAppear() {
  if (kestrio::ViewController* top = topController()) top->viewWillAppear();
  showTop();
}

void NavigationStack::showTop() {
  const Entry& top = entries_.back();
  if (top.view && pages_->indexOf(top.view) >= 0) pages_->setCurrentWidget(top.view);
  arrangeBeside();
  const bool nested = entries_.size() > 1;
  // The root screen draws its own heading; pushed screens get the bar unless they draw one.
  bar_->setVisible(nested && !(top.view && top.view->property(kOwnBarProperty).toBool()));
  if (!nested) return;
  const kestrio::ViewController* below = entries_[entries_.size() - 2].controller;
  const QString backTitle = below ? QString::fromStdString(below->title()) : QString();
  back_->setText(backTitle.isEmpty() ? tr("Back") : backTitle);
  back_->setToolTip(tr("Back (Alt+Left)"));
  title_->setText(top.controller ? QString::fromStdString(top.controller->title()) : QString());
  balanceBar();
}

void NavigationStack::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  arrangeBeside();
  balanceBar();
}

void NavigationStack::balanceBar() {
  auto* balance = bar_->findChild<QWidget*>(QStringLiteral("navigationBalance"));
  const QMargins margins = bar_->layout()->contentsMargins();
  const int back = back_->sizeHint().width();
  const int title = title_->fontMetrics().horizontalAdvance(title_->text());
  const int room = width() - margins.left() - margins.right() - 2 * bar_->layout()->spacing();
  balance->setFixedWidth(2 * back + title <= room ? back : 0);
}

}  // namespace kestrio::gui::shell
