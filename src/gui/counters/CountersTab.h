#pragma once

#include <QDialog>
#include <QPointer>
#include <QWidget>
#include <memory>
#include <vector>

#include "app/NotificationCenter.h"
#include "gui/QtUi.h"
#include "platform/Platform.h"
#include "platform/Ui.h"

class QStackedWidget;

namespace kestrio {
class CustomCounterViewController;
}

namespace kestrio::gui {

class CounterListScreen;

// The "Custom" tab: a navigation stack whose root is the list of counters. It shows the counter
// screens its controllers push (the detail) in place, with a way back, and those they present
// (the editor, the date and name panes) as dialogs over the window. Screens of other tabs are
// passed on to the navigator that was set before.
class CountersTab : public QWidget {
  Q_OBJECT

 public:
  CountersTab(kestrio::Platform& platform, QtUi& ui, kestrio::NotificationCenter& center,
              QWidget* parent = nullptr);
  ~CountersTab() override;

  CounterListScreen* listScreen() const { return list_; }
  QStackedWidget* stack() const { return stack_; }
  // The screen shown on top: the last dialog presented, else the top of the stack.
  QWidget* topScreen() const;
  // The dialogs presented now, the first one lowest.
  QList<QDialog*> presentedDialogs() const;

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  struct Entry {
    std::shared_ptr<kestrio::ViewController> controller;
    QPointer<QWidget> screen;
    QPointer<QDialog> dialog;  // none for a pushed screen
  };

  QWidget* makeScreen(const std::shared_ptr<kestrio::ViewController>& controller);
  bool push(const std::shared_ptr<kestrio::ViewController>& controller);
  bool present(const std::shared_ptr<kestrio::ViewController>& controller);
  bool dismiss(kestrio::ViewController* controller);
  // The user closed a dialog with Escape or its close button: the screen's Cancel.
  void cancelPresented(kestrio::ViewController* controller);

  kestrio::Platform& platform_;
  // The window may take its Ui down before its tabs.
  QPointer<QtUi> ui_;
  std::shared_ptr<kestrio::CustomCounterViewController> root_;
  CounterListScreen* list_ = nullptr;
  QStackedWidget* stack_ = nullptr;
  std::vector<Entry> pushed_;
  std::vector<Entry> presented_;
  QtUi::Navigator previous_;
};

}  // namespace kestrio::gui
