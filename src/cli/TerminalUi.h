#pragma once

#include <iosfwd>
#include <string>
#include <vector>

#include "platform/Ui.h"

namespace kestrio::cli {

// Alerts on a terminal: the title and message are printed; an alert with a choice asks for it on
// the prompt when input is a terminal, and otherwise takes the cancel button. Alerts are also
// kept, so a command can report what the screens would have shown.
class TerminalUi final : public Ui {
 public:
  TerminalUi(std::ostream& out, std::istream& in, bool interactive, bool printAlerts);

  void showAlert(const Alert& alert, AlertDelegate* delegate) override;
  // Opens the page with xdg-open (no shell); prints the address when that is not possible.
  void openURL(const std::string& url) override;
  // Asks for one of the sheet's buttons like an alert; without a terminal the cancel button.
  void showActionSheet(const ActionSheet& sheet, ActionSheetDelegate* delegate) override;
  // A terminal has no screens to stack: commands print what a screen would show instead.
  void push(std::shared_ptr<ViewController>, ViewController*) override {}
  void present(std::shared_ptr<ViewController>, ViewController*) override {}
  void dismiss(ViewController*) override {}

  const std::vector<Alert>& shown() const { return shown_; }
  // The button chosen for the latest alert (0, the cancel button, when nobody was asked).
  int lastAnswer() const { return lastAnswer_; }

 private:
  std::ostream& out_;
  std::istream& in_;
  bool interactive_;
  bool printAlerts_;
  std::vector<Alert> shown_;
  int lastAnswer_ = 0;
};

}  // namespace kestrio::cli
