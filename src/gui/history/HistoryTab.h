#pragma once

#include <QPointer>
#include <QWidget>
#include <memory>

#include "platform/Platform.h"
#include "platform/Ui.h"

class QStackedWidget;

namespace kestrio {
class HistoryViewController;
}

namespace kestrio::gui {

class HistoryChartWindow;
class HistoryListScreen;

// The History tab: the list of billing periods at the root of its own navigation stack, the
// period's detail pushed onto it, the chart presented as a modal window. The screens' alerts and
// action sheets go to the window's Ui; pushes, presentations and dismissals stay in the tab.
class HistoryTab : public QWidget {
  Q_OBJECT

 public:
  HistoryTab(kestrio::Platform& platform, kestrio::Ui& windowUi, QWidget* parent = nullptr);
  ~HistoryTab() override;

  HistoryListScreen* listScreen() const { return list_; }
  // The screen on top of the stack.
  QWidget* topScreen() const;
  int depth() const;
  // The chart window shown now, if any.
  HistoryChartWindow* chartWindow() const;
  // Back to the list (the tab's root).
  void popToRoot();

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  class Navigation;
  void push(std::shared_ptr<kestrio::ViewController> screen);
  void present(std::shared_ptr<kestrio::ViewController> screen);
  void dismiss(kestrio::ViewController* screen);
  void pop();

  kestrio::Platform& platform_;
  std::unique_ptr<Navigation> navigation_;
  std::shared_ptr<kestrio::HistoryViewController> controller_;
  QStackedWidget* stack_ = nullptr;
  HistoryListScreen* list_ = nullptr;
  QPointer<HistoryChartWindow> chart_;
};

}  // namespace kestrio::gui
