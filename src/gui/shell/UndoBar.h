#pragma once

#include <QFrame>
#include <QTimer>
#include <functional>

class QLabel;
class QPushButton;

namespace kestrio::gui::shell {

// The bar at the bottom of the window that offers, for a few seconds, to take back a deletion:
// its message and an Undo button. A new offer replaces the one shown (that deletion then
// stands); so does the bar's time running out or its close button.
class UndoBar : public QFrame {
  Q_OBJECT

 public:
  static constexpr int kDefaultTimeoutMs = 8000;

  // `touch`: the phone idiom, where the buttons are at least 44 by 44 pixels.
  explicit UndoBar(bool touch, QWidget* parent = nullptr);

  void offer(const QString& message, std::function<void()> undo);
  // How long an offer stays; tests shorten it.
  void setTimeout(int milliseconds) { timeoutMs_ = milliseconds; }
  bool isOffering() const { return static_cast<bool>(undo_); }

  QLabel* messageLabel() const { return message_; }
  QPushButton* undoButton() const { return undoButton_; }

 signals:
  // The offer ended: taken (undone) or lapsed.
  void offerEnded(bool undone);

 protected:
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void takeUndo();
  void lapse();

  QLabel* message_ = nullptr;
  QPushButton* undoButton_ = nullptr;
  QPushButton* closeButton_ = nullptr;
  QTimer timer_;
  int timeoutMs_ = kDefaultTimeoutMs;
  std::function<void()> undo_;
};

}  // namespace kestrio::gui::shell
