#include "gui/shell/UndoBar.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>

namespace kestrio::gui::shell {

UndoBar::UndoBar(bool touch, QWidget* parent) : QFrame(parent) {
  setObjectName(QStringLiteral("undoBar"));
  setFrameShape(QFrame::StyledPanel);
  setAutoFillBackground(true);
  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(12, 4, 4, 4);
  message_ = new QLabel(this);
  message_->setObjectName(QStringLiteral("undoMessage"));
  message_->setTextFormat(Qt::PlainText);
  layout->addWidget(message_, 1);
  undoButton_ = new QPushButton(tr("Undo"), this);
  undoButton_->setObjectName(QStringLiteral("undoButton"));
  undoButton_->setShortcut(QKeySequence::Undo);
  connect(undoButton_, &QPushButton::clicked, this, &UndoBar::takeUndo);
  layout->addWidget(undoButton_);
  closeButton_ = new QPushButton(QStringLiteral("✕"), this);
  closeButton_->setObjectName(QStringLiteral("undoCloseButton"));
  closeButton_->setAccessibleName(tr("Dismiss"));
  closeButton_->setToolTip(tr("Dismiss"));
  closeButton_->setFlat(true);
  connect(closeButton_, &QPushButton::clicked, this, &UndoBar::lapse);
  layout->addWidget(closeButton_);
  if (touch) {
    for (QPushButton* button : {undoButton_, closeButton_}) button->setMinimumSize(44, 44);
  }
  timer_.setSingleShot(true);
  connect(&timer_, &QTimer::timeout, this, &UndoBar::lapse);
  hide();
}

void UndoBar::offer(const QString& message, std::function<void()> undo) {
  if (undo_) emit offerEnded(false);
  undo_ = std::move(undo);
  message_->setText(message);
  undoButton_->setAccessibleDescription(message);
  show();
  timer_.start(timeoutMs_);
}

void UndoBar::takeUndo() {
  if (!undo_) return;
  timer_.stop();
  // Taken once: the bar goes before the undo runs, which may show an alert of its own.
  const std::function<void()> undo = std::move(undo_);
  undo_ = nullptr;
  const bool hadFocus = isAncestorOf(QApplication::focusWidget());
  hide();
  if (hadFocus) window()->setFocus(Qt::OtherFocusReason);
  undo();
  emit offerEnded(true);
}

void UndoBar::lapse() {
  timer_.stop();
  const bool offering = static_cast<bool>(undo_);
  undo_ = nullptr;
  const bool hadFocus = isAncestorOf(QApplication::focusWidget());
  hide();
  if (hadFocus) window()->setFocus(Qt::OtherFocusReason);
  if (offering) emit offerEnded(false);
}

void UndoBar::keyPressEvent(QKeyEvent* event) {
  // Escape in the bar lets the deletion stand.
  if (event->key() == Qt::Key_Escape) {
    lapse();
    return;
  }
  QFrame::keyPressEvent(event);
}

}  // namespace kestrio::gui::shell
