#pragma once

#include <memory>
#include <string>

#include "counters/CounterView.h"
#include "engine/CustomCounter.h"
#include "platform/Platform.h"
#include "platform/Ui.h"
#include "services/NotificationCenter.h"

namespace kestrio {

// One counter in three sections: what it tracks, when it ends, and its figures per network.
class CustomCounterDetailViewController
    : public ViewController,
      public std::enable_shared_from_this<CustomCounterDetailViewController> {
 public:
  struct Row {
    std::string title;
    std::string subtitle;
  };

  CustomCounterDetailViewController(Platform& platform, Ui& ui, NotificationCenter& center,
                                    CustomCounter counter, std::string displayDataUnit);

  std::string title() const override { return customCounter.name(); }
  // Shows the counter as stored now, so an edit saved from here (or by another process) shows.
  void viewWillAppear() override;
  void setView(CounterView* view) { view_ = view; }

  int numberOfSections() const { return 3; }
  int numberOfRowsInSection(int section) const;
  Row rowAt(int section, int row) const;

  // The edit button: the edit screen for this counter.
  void showEditView();
  // The back button.
  void dismissView();

  CustomCounter customCounter;
  std::string displayDataUnit;

 private:
  Row figuresRow(bool cellular) const;

  Platform& platform_;
  Ui& ui_;
  NotificationCenter& center_;
  CounterView* view_ = nullptr;
};

}  // namespace kestrio
