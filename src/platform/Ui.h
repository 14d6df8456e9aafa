#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace kestrio {

// An alert with buttons and, for prompts, one text field. Button 0 is the cancel button; the
// other buttons follow from index 1.
struct Alert {
  struct TextField {
    std::string text;  // pre-filled; holds what the user typed when the answer comes back
    bool numeric = true;
  };
  std::string title;
  std::string message;
  std::string cancelButton;
  std::vector<std::string> otherButtons;
  std::optional<TextField> textField;
  // The other buttons destroy something (a reset, a deletion): the cancel button is the one
  // Return and the initial focus choose.
  bool destructive = false;
};

// Receives the answer to an alert: the button's index and the alert as answered (its text field
// holds what was typed).
class AlertDelegate {
 public:
  virtual ~AlertDelegate() = default;
  virtual void clickedButtonAtIndex(const Alert& alert, int buttonIndex) = 0;
};

// A sheet of choices for an action, shown over the tab bar. Buttons are answered by their index in
// `buttons`; the destructive and the cancel button are among them, marked by index. The tag tells
// the delegate which sheet answered.
struct ActionSheet {
  std::string title;
  std::vector<std::string> buttons;
  std::optional<int> destructiveButtonIndex;
  std::optional<int> cancelButtonIndex;
  int tag = 0;
};

class ActionSheetDelegate {
 public:
  virtual ~ActionSheetDelegate() = default;
  // Dismissing the sheet without a choice answers the cancel button.
  virtual void clickedButtonAtIndex(const ActionSheet& sheet, int buttonIndex) = 0;
};

// A screen's controller as the front end sees it: the front end finds the view that draws a
// controller of this kind. The hook runs each time the screen is about to be shown, so a screen
// can reload what other screens or processes changed.
class ViewController {
 public:
  virtual ~ViewController() = default;
  virtual std::string title() const { return {}; }
  virtual void viewWillAppear() {}
};

// A deletion that the user can take back for a few seconds: the window shows `message` with an
// Undo button at its bottom. `undo` puts back exactly what was deleted and reports by itself
// when that could not be stored; once the offer lapses (or another takes its place) the deletion
// stands.
struct UndoOffer {
  std::string message;
  std::function<void()> undo;
};

// Alerts and pages shown to the user. The desktop shows non-blocking dialogs, the terminal asks
// on its prompt, tests record and answer.
class Ui {
 public:
  virtual ~Ui() = default;
  // Shows the alert; the answer reaches the delegate later (or at once on a terminal).
  virtual void showAlert(const Alert& alert, AlertDelegate* delegate) = 0;
  // Opens a web page in the user's browser.
  virtual void openURL(const std::string& url) = 0;
  // Shows the sheet; the answer reaches the delegate later (or at once on a terminal).
  virtual void showActionSheet(const ActionSheet& sheet, ActionSheetDelegate* delegate) = 0;

  // Offers to take back a deletion just stored. Where nothing can show the offer, the deletion
  // simply stands.
  virtual void offerUndo(const UndoOffer& offer) { (void)offer; }

  // Pushes `screen` onto the navigation stack that shows `from`, with a back button.
  virtual void push(std::shared_ptr<ViewController> screen, ViewController* from) = 0;
  // Presents `screen` modally over the window, above `from`.
  virtual void present(std::shared_ptr<ViewController> screen, ViewController* from) = 0;
  // Closes a presented screen, or pops a pushed one with everything above it.
  virtual void dismiss(ViewController* screen) = 0;
};

}  // namespace kestrio
