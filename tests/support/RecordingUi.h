#pragma once

#include <memory>
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
  void showActionSheet(const ActionSheet& sheet, ActionSheetDelegate* delegate) override {
    sheets.push_back(ShownSheet{sheet, delegate});
  }
  void push(std::shared_ptr<ViewController> screen, ViewController* from) override {
    pushed.push_back({std::move(screen), from});
  }
  void present(std::shared_ptr<ViewController> screen, ViewController* from) override {
    presented.push_back({std::move(screen), from});
  }
  void dismiss(ViewController* screen) override { dismissed.push_back(screen); }
  void offerUndo(const UndoOffer& offer) override { undoOffers.push_back(offer); }

  // Taps a button of the latest action sheet.
  void tapSheet(int buttonIndex) {
    ShownSheet latest = sheets.back();
    if (latest.delegate) latest.delegate->clickedButtonAtIndex(latest.sheet, buttonIndex);
  }

  // Taps a button of the latest alert, with the text typed into its field when it has one.
  void tap(int buttonIndex, const std::string& typed = "") {
    Shown latest = shown.back();
    if (latest.alert.textField) latest.alert.textField->text = typed;
    if (latest.delegate) latest.delegate->clickedButtonAtIndex(latest.alert, buttonIndex);
  }
  const Alert& latest() const { return shown.back().alert; }

  struct ShownSheet {
    ActionSheet sheet;
    ActionSheetDelegate* delegate = nullptr;
  };
  struct ShownScreen {
    std::shared_ptr<ViewController> screen;
    ViewController* from = nullptr;
  };

  std::vector<Shown> shown;
  std::vector<std::string> openedUrls;
  std::vector<ShownSheet> sheets;
  std::vector<ShownScreen> pushed;
  std::vector<ShownScreen> presented;
  std::vector<ViewController*> dismissed;
  std::vector<UndoOffer> undoOffers;
};

}  // namespace kestrio::testing
