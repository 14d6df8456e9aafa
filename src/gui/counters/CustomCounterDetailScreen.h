#pragma once

#include <QWidget>
#include <memory>

#include "counters/CounterView.h"
#include "counters/CustomCounterDetailViewController.h"

class QToolButton;

namespace kestrio::gui {

class SectionedTable;

// One counter: what it tracks, when it ends, and its figures per network.
class CustomCounterDetailScreen : public QWidget, public kestrio::CounterView {
  Q_OBJECT

 public:
  CustomCounterDetailScreen(std::shared_ptr<kestrio::CustomCounterDetailViewController> controller,
                            QWidget* parent = nullptr);
  ~CustomCounterDetailScreen() override;

  kestrio::CustomCounterDetailViewController& controller() { return *controller_; }
  SectionedTable* table() const { return table_; }
  QToolButton* backButton() const { return backButton_; }
  QToolButton* editButton() const { return editButton_; }

  void reloadData() override;

 private:
  std::shared_ptr<kestrio::CustomCounterDetailViewController> controller_;
  SectionedTable* table_ = nullptr;
  QToolButton* backButton_ = nullptr;
  QToolButton* editButton_ = nullptr;
  QWidget* bar_ = nullptr;
};

}  // namespace kestrio::gui
