#include "cli/TerminalUi.h"

#include <spawn.h>
#include <sys/wait.h>

#include <algorithm>
#include <cctype>
#include <istream>
#include <ostream>

#include "cli/Confirm.h"

extern char** environ;

namespace kestrio::cli {

namespace {

std::string lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

}  // namespace

TerminalUi::TerminalUi(std::ostream& out, std::istream& in, bool interactive, bool printAlerts)
    : out_(out), in_(in), interactive_(interactive), printAlerts_(printAlerts) {}

void TerminalUi::showAlert(const Alert& alert, AlertDelegate* delegate) {
  shown_.push_back(alert);
  // A question with one way to go on is asked as every command asks: [y/N].
  if (interactive_ && alert.otherButtons.size() == 1) {
    out_ << alert.title << "\n";
    lastAnswer_ = askYesNo(alert.message, in_, out_) ? 1 : 0;
    if (delegate) delegate->clickedButtonAtIndex(alert, lastAnswer_);
    return;
  }
  if (printAlerts_ || interactive_) out_ << alert.title << "\n" << alert.message << "\n";
  if (alert.otherButtons.empty() || !interactive_) {
    // Nothing to choose, or nobody to ask: the cancel button, which never changes anything.
    lastAnswer_ = 0;
    if (delegate) delegate->clickedButtonAtIndex(alert, 0);
    return;
  }
  std::string choices = alert.cancelButton;
  for (const auto& b : alert.otherButtons) choices += "/" + b;
  out_ << "[" << choices << "]? " << std::flush;
  std::string answer;
  std::getline(in_, answer);
  answer = lower(answer);
  int index = 0;
  for (size_t i = 0; i < alert.otherButtons.size(); ++i) {
    const std::string button = lower(alert.otherButtons[i]);
    if (answer == button || ((answer == "yes" || answer == "y") && i == 0)) {
      index = static_cast<int>(i) + 1;
      break;
    }
  }
  lastAnswer_ = index;
  if (delegate) delegate->clickedButtonAtIndex(alert, index);
}

void TerminalUi::showActionSheet(const ActionSheet& sheet, ActionSheetDelegate* delegate) {
  const int cancel = sheet.cancelButtonIndex.value_or(-1);
  if (!interactive_ || sheet.buttons.empty()) {
    lastAnswer_ = cancel;
    if (delegate && cancel >= 0) delegate->clickedButtonAtIndex(sheet, cancel);
    return;
  }
  if (!sheet.title.empty()) out_ << sheet.title << "\n";
  std::string choices;
  for (const auto& b : sheet.buttons) choices += (choices.empty() ? "" : "/") + b;
  out_ << "[" << choices << "]? " << std::flush;
  std::string answer;
  std::getline(in_, answer);
  answer = lower(answer);
  int index = cancel;
  for (size_t i = 0; i < sheet.buttons.size(); ++i) {
    if (answer == lower(sheet.buttons[i])) index = static_cast<int>(i);
  }
  lastAnswer_ = index;
  if (delegate && index >= 0) delegate->clickedButtonAtIndex(sheet, index);
}

void TerminalUi::openURL(const std::string& url) {
  std::string program = "xdg-open";
  std::string target = url;
  char* argv[] = {program.data(), target.data(), nullptr};
  pid_t pid = 0;
  if (posix_spawnp(&pid, "xdg-open", nullptr, nullptr, argv, environ) != 0) {
    out_ << url << "\n";
    return;
  }
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) out_ << url << "\n";
}

}  // namespace kestrio::cli
