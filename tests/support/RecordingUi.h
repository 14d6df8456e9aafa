#pragma once

#include <string>
#include <vector>

#include "platform/Ui.h"

namespace kestrio::testing {

// Records every alert and opened page; a test answers an alert as the user would.
class RecordingUi final : public Ui {
 public:
  struct Shown {
    Alert alert;
    AlertDelegate* delegate = nullptr;
  };

  void showAlert(const Alert& alert, AlertDelegate* delegate) override {
    shown.push_back(Shown{alert, delegate});
  }
  void openURL(const std::string& url) override { openedUrls.push_back(url); }

  // Taps a button of the latest alert, with the text typed into its field when it has one.
  void tap(int buttonIndex, const std::string& typed = "") {
    Shown latest = shown.back();
    if (latest.alert.textField) latest.alert.textField->text = typed;
    if (latest.delegate) latest.delegate->clickedButtonAtIndex(latest.alert, buttonIndex);
  }
  const Alert& latest() const { return shown.back().alert; }

  std::vector<Shown> shown;
  std::vector<std::string> openedUrls;
};

}  // namespace kestrio::testing
