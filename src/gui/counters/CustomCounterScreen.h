#pragma once

#include <QWidget>
#include <memory>

#include "counters/CounterView.h"
#include "counters/CustomCounterViewController.h"

class QListWidget;
class QToolButton;
class QLabel;

namespace kestrio::gui {

// The list of custom counters: a row per counter with its figures and an on/off switch. The edit
// button enters editing mode, where rows are deleted (their delete button, or the Delete key)
// and moved (dragged, or Ctrl+Up and Ctrl+Down); Return opens the selected counter.
class CustomCounterScreen : public QWidget, public kestrio::CounterView {
  Q_OBJECT

 public:
  CustomCounterScreen(std::shared_ptr<kestrio::CustomCounterViewController> controller,
                      QWidget* parent = nullptr);
  ~CustomCounterScreen() override;

  kestrio::CustomCounterViewController& controller() { return *controller_; }
  QListWidget* list() const { return list_; }
  QToolButton* editButton() const { return editButton_; }
  QToolButton* addButton() const { return addButton_; }

  // --- CounterView ---
  void reloadData() override;
  void deleteRow(int row) override;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QWidget* rowWidget(int row);
  void toggleEditing();
  void moveSelected(int by);

  std::shared_ptr<kestrio::CustomCounterViewController> controller_;
  QListWidget* list_ = nullptr;
  QToolButton* editButton_ = nullptr;
  QToolButton* addButton_ = nullptr;
  QLabel* emptyLabel_ = nullptr;
};

}  // namespace kestrio::gui
