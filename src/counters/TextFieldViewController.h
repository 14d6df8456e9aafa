#pragma once

#include <string>

#include "counters/CounterView.h"
#include "platform/IndexPath.h"
#include "platform/Ui.h"

namespace kestrio {

class TextFieldViewController;

// Hears the text the pane closed with.
class TextViewControllerDelegate {
 public:
  virtual ~TextViewControllerDelegate() = default;
  virtual void textViewControllerDidFinish(TextFieldViewController& pane, const std::string& text,
                                           IndexPath indexPath) = 0;
};

// The pane that asks for one line of text, such as a counter's name.
class TextFieldViewController : public ViewController {
 public:
  static constexpr int kKeyboardTypeDefault = 0;

  explicit TextFieldViewController(Ui& ui);

  std::string title() const override { return labelText; }
  // Loads the pane: the field shows the initial text and takes the keyboard focus.
  void viewWillAppear() override;
  void setView(CounterView* view) { view_ = view; }

  // Done hands back what the field holds; Cancel hands back the initial text, so a cancelled
  // edit leaves the old text in place.
  void done();
  void cancel();

  TextViewControllerDelegate* delegate = nullptr;
  std::string textField;
  std::string initialText;
  std::string placeholderText;
  int keyboardType = kKeyboardTypeDefault;
  std::string labelText;
  IndexPath indexPath;

 private:
  Ui& ui_;
  CounterView* view_ = nullptr;
};

}  // namespace kestrio
