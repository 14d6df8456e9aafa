#pragma once

#include <QWidget>
#include <memory>

#include "counters/CounterView.h"
#include "counters/TextFieldViewController.h"

class QLabel;
class QLineEdit;

namespace kestrio::gui {

// The one-line text pane: a label, the field with the keyboard focus, Done and Cancel.
class TextFieldScreen : public QWidget, public kestrio::CounterView {
  Q_OBJECT

 public:
  TextFieldScreen(std::shared_ptr<kestrio::TextFieldViewController> controller,
                  QWidget* parent = nullptr);
  ~TextFieldScreen() override;

  kestrio::TextFieldViewController& controller() { return *controller_; }
  QLineEdit* field() const { return field_; }

  void reloadData() override;

 private:
  std::shared_ptr<kestrio::TextFieldViewController> controller_;
  QLineEdit* field_ = nullptr;
  QLabel* label_ = nullptr;
};

}  // namespace kestrio::gui
