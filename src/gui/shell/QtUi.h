#pragma once

#include <QDialog>
#include <QList>
#include <QObject>
#include <QPointer>
#include <functional>
#include <memory>
#include <string>

#include "gui/shell/UndoBar.h"
#include "platform/Ui.h"

class QWidget;

namespace kestrio::gui {

// Alerts as non-blocking dialogs over the window, one at a time: an alert raised while another
// is open waits until that one is answered. Each dialog deletes itself when closed; the answer
// reaches the delegate with the typed text in the alert's text field. Closing a dialog without a
// button (Escape, the window's close button) answers the cancel button, index 0.
class QtUi : public QObject, public kestrio::Ui {
  Q_OBJECT

 public:
  // Object names of a dialog's parts, for tests and style sheets.
  static constexpr const char* kTitleName = "alertTitle";
  static constexpr const char* kMessageName = "alertMessage";
  static constexpr const char* kTextFieldName = "alertTextField";

  explicit QtUi(QWidget* parent);
  ~QtUi() override;

  void showAlert(const kestrio::Alert& alert, kestrio::AlertDelegate* delegate) override;
  void openURL(const std::string& url) override;
  // A dialog with one button per choice, stacked; the cancel button holds the focus and Return
  // never chooses the destructive button on its own.
  void showActionSheet(const kestrio::ActionSheet& sheet,
                       kestrio::ActionSheetDelegate* delegate) override;
  void push(std::shared_ptr<kestrio::ViewController> screen,
            kestrio::ViewController* from) override;
  void present(std::shared_ptr<kestrio::ViewController> screen,
               kestrio::ViewController* from) override;
  void dismiss(kestrio::ViewController* screen) override;
  // Shown in the window's undo bar; without one, the deletion simply stands.
  void offerUndo(const kestrio::UndoOffer& offer) override;
  void setUndoBar(shell::UndoBar* bar) { undoBar_ = bar; }

  // The window's shell shows pushed and presented screens; until it is set they are logged away.
  struct Navigator {
    std::function<void(std::shared_ptr<kestrio::ViewController>, kestrio::ViewController*)> push;
    std::function<void(std::shared_ptr<kestrio::ViewController>, kestrio::ViewController*)> present;
    std::function<void(kestrio::ViewController*)> dismiss;
  };
  void setNavigator(Navigator navigator) { navigator_ = std::move(navigator); }
  // The navigator set now, so a tab's own stack can handle its screens and pass on the others.
  const Navigator& navigator() const { return navigator_; }

  // The dialogs still open, oldest first.
  QList<QDialog*> openDialogs() const;
  // The alerts waiting for the open one to be answered.
  int pendingAlerts() const { return static_cast<int>(pending_.size()); }
  // The alert a dialog of this Ui shows, or none for any other widget.
  const kestrio::Alert* alertOf(const QDialog* dialog) const;
  // Answers a dialog as if the user clicked the button with this text (after typing `typed`
  // into its field, if it has one). False when the dialog has no such button.
  bool answer(QDialog* dialog, const QString& buttonText);
  bool answer(QDialog* dialog, const QString& buttonText, const QString& typed);
  // The delegate is going away: its open dialogs close without an answer.
  void forgetDelegate(const kestrio::AlertDelegate* delegate);

 signals:
  void alertShown(const kestrio::Alert& alert, QDialog* dialog);

 private:
  struct Open {
    QPointer<QDialog> dialog;
    kestrio::Alert alert;
    kestrio::AlertDelegate* delegate = nullptr;
  };
  struct Pending {
    kestrio::Alert alert;
    kestrio::AlertDelegate* delegate = nullptr;
  };
  void openAlert(const kestrio::Alert& alert, kestrio::AlertDelegate* delegate);
  // The next waiting alert, once no alert is open.
  void showNextPending();
  void deliver(QDialog* dialog, int buttonIndex);
  Open* find(const QDialog* dialog);
  const Open* find(const QDialog* dialog) const;
  void prune();

  QPointer<QWidget> parentWidget_;
  QPointer<shell::UndoBar> undoBar_;
  QList<Open> open_;
  QList<Pending> pending_;
  Navigator navigator_;
};

}  // namespace kestrio::gui
