#pragma once

#include <QWidget>
#include <memory>

#include "counters/CounterView.h"
#include "counters/CustomCounterEditViewController.h"
#include "platform/Platform.h"

class QPushButton;
class QToolButton;

namespace kestrio::gui {

class SectionedTable;

// The add and edit screen of a counter, shown over the window: Cancel and Save in its bar, the
// name and end-date rows open their panes, the Track and Direction controls and the alert switch
// change the counter at once, and nothing is stored until Save.
class CustomCounterEditScreen : public QWidget, public kestrio::CounterView {
  Q_OBJECT

 public:
  CustomCounterEditScreen(kestrio::Platform& platform,
                          std::shared_ptr<kestrio::CustomCounterEditViewController> controller,
                          QWidget* parent = nullptr);
  ~CustomCounterEditScreen() override;

  kestrio::CustomCounterEditViewController& controller() { return *controller_; }
  SectionedTable* table() const { return table_; }
  QToolButton* saveButton() const { return saveButton_; }
  QToolButton* cancelButton() const { return cancelButton_; }

  void reloadData() override;
  void reloadDataAfter(double seconds) override;
  void applyTheme() override;

 private:
  QWidget* rowWidget(kestrio::IndexPath indexPath);

  kestrio::Platform& platform_;
  std::shared_ptr<kestrio::CustomCounterEditViewController> controller_;
  SectionedTable* table_ = nullptr;
  QToolButton* saveButton_ = nullptr;
  QToolButton* cancelButton_ = nullptr;
};

}  // namespace kestrio::gui
