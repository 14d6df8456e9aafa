#pragma once

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
};

// Receives the answer to an alert: the button's index and the alert as answered (its text field
// holds what was typed).
class AlertDelegate {
 public:
  virtual ~AlertDelegate() = default;
  virtual void clickedButtonAtIndex(const Alert& alert, int buttonIndex) = 0;
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
};

}  // namespace kestrio
