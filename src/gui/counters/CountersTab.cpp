#include "gui/counters/CountersTab.h"

#include <QStackedWidget>
#include <QVBoxLayout>

#include "counters/CustomCounterDetailViewController.h"
#include "counters/CustomCounterEditViewController.h"
#include "counters/CustomCounterViewController.h"
#include "counters/DatePickerViewController.h"
#include "counters/TextFieldViewController.h"
#include "gui/counters/CounterDetailScreen.h"
#include "gui/counters/CounterEditScreen.h"
#include "gui/counters/CounterListScreen.h"
#include "gui/counters/CounterPanes.h"

namespace kestrio::gui {

using std::dynamic_pointer_cast;

CountersTab::CountersTab(kestrio::Platform& platform, QtUi& ui, kestrio::NotificationCenter& center,
                         QWidget* parent)
    : QWidget(parent), platform_(platform), ui_(&ui) {
  setObjectName(QStringLiteral("Custom"));
  root_ = std::make_shared<kestrio::CustomCounterViewController>(platform, ui, center);
  stack_ = new QStackedWidget(this);
  list_ = new CounterListScreen(root_, stack_);
  stack_->addWidget(list_);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(stack_);

  previous_ = ui_->navigator();
  QtUi::Navigator navigator;
  navigator.push = [this](std::shared_ptr<kestrio::ViewController> screen,
                          kestrio::ViewController* from) {
    if (!push(screen) && previous_.push) previous_.push(std::move(screen), from);
  };
  navigator.present = [this](std::shared_ptr<kestrio::ViewController> screen,
                             kestrio::ViewController* from) {
    if (!present(screen) && previous_.present) previous_.present(std::move(screen), from);
  };
  navigator.dismiss = [this](kestrio::ViewController* screen) {
    if (!dismiss(screen) && previous_.dismiss) previous_.dismiss(screen);
  };
  ui_->setNavigator(std::move(navigator));
}

CountersTab::~CountersTab() {
  if (ui_) ui_->setNavigator(previous_);
  for (Entry& entry : presented_) {
    if (entry.dialog) delete entry.dialog.data();
  }
}

QWidget* CountersTab::makeScreen(const std::shared_ptr<kestrio::ViewController>& controller) {
  if (auto detail = dynamic_pointer_cast<kestrio::CustomCounterDetailViewController>(controller)) {
    return new CounterDetailScreen(detail);
  }
  if (auto edit = dynamic_pointer_cast<kestrio::CustomCounterEditViewController>(controller)) {
    return new CounterEditScreen(platform_, edit);
  }
  if (auto date = dynamic_pointer_cast<kestrio::DatePickerViewController>(controller)) {
    return new DatePickerPane(date);
  }
  if (auto text = dynamic_pointer_cast<kestrio::TextFieldViewController>(controller)) {
    return new TextFieldPane(text);
  }
  return nullptr;
}

bool CountersTab::push(const std::shared_ptr<kestrio::ViewController>& controller) {
  QWidget* screen = makeScreen(controller);
  if (!screen) return false;
  stack_->addWidget(screen);
  stack_->setCurrentWidget(screen);
  pushed_.push_back({controller, screen, nullptr});
  controller->viewWillAppear();
  screen->setFocus();
  return true;
}

bool CountersTab::present(const std::shared_ptr<kestrio::ViewController>& controller) {
  QWidget* screen = makeScreen(controller);
  if (!screen) return false;
  // Over the topmost dialog, so a pane stands in front of the editor that opened it.
  QWidget* over = presented_.empty() || !presented_.back().dialog
                      ? window()
                      : static_cast<QWidget*>(presented_.back().dialog.data());
  auto* dialog = new QDialog(over);
  dialog->setObjectName(QStringLiteral("presentedScreen"));
  dialog->setAttribute(Qt::WA_DeleteOnClose);
  dialog->setWindowTitle(QString::fromStdString(controller->title()));
  dialog->setWindowModality(Qt::WindowModal);
  auto* layout = new QVBoxLayout(dialog);
  layout->setContentsMargins(0, 0, 0, 0);
  screen->setParent(dialog);
  layout->addWidget(screen);
  const bool pane =
      dynamic_pointer_cast<kestrio::CustomCounterEditViewController>(controller) == nullptr;
  dialog->resize(pane ? QSize(380, 300) : QSize(440, 640));
  kestrio::ViewController* raw = controller.get();
  connect(dialog, &QDialog::rejected, this, [this, raw] { cancelPresented(raw); });
  presented_.push_back({controller, screen, dialog});
  controller->viewWillAppear();
  dialog->open();
  screen->setFocus();
  return true;
}

bool CountersTab::dismiss(kestrio::ViewController* controller) {
  for (auto it = presented_.begin(); it != presented_.end(); ++it) {
    if (it->controller.get() != controller) continue;
    // Everything presented above it closes with it.
    std::vector<Entry> closing(it, presented_.end());
    presented_.erase(it, presented_.end());
    for (auto c = closing.rbegin(); c != closing.rend(); ++c) {
      if (c->dialog) {
        c->dialog->disconnect(this);
        c->dialog->close();
      }
    }
    return true;
  }
  for (auto it = pushed_.begin(); it != pushed_.end(); ++it) {
    if (it->controller.get() != controller) continue;
    std::vector<Entry> popping(it, pushed_.end());
    pushed_.erase(it, pushed_.end());
    QWidget* revealed =
        pushed_.empty() ? static_cast<QWidget*>(list_) : pushed_.back().screen.data();
    stack_->setCurrentWidget(revealed);
    for (Entry& entry : popping) {
      if (entry.screen) {
        stack_->removeWidget(entry.screen);
        entry.screen->deleteLater();
      }
    }
    // The screen shown again reads the stores again.
    if (pushed_.empty()) {
      root_->viewWillAppear();
    } else {
      pushed_.back().controller->viewWillAppear();
    }
    revealed->setFocus();
    return true;
  }
  return false;
}

void CountersTab::cancelPresented(kestrio::ViewController* controller) {
  bool present = false;
  for (const Entry& entry : presented_) present = present || entry.controller.get() == controller;
  if (!present) return;
  // The controller answers as its Cancel button would, which dismisses it.
  if (auto* edit = dynamic_cast<kestrio::CustomCounterEditViewController*>(controller)) {
    edit->cancelAndDismissView();
  } else if (auto* date = dynamic_cast<kestrio::DatePickerViewController*>(controller)) {
    date->cancel();
  } else if (auto* text = dynamic_cast<kestrio::TextFieldViewController*>(controller)) {
    text->cancel();
  } else {
    dismiss(controller);
  }
}

QWidget* CountersTab::topScreen() const {
  for (auto it = presented_.rbegin(); it != presented_.rend(); ++it) {
    if (it->screen) return it->screen;
  }
  return stack_->currentWidget();
}

QList<QDialog*> CountersTab::presentedDialogs() const {
  QList<QDialog*> dialogs;
  for (const Entry& entry : presented_) {
    if (entry.dialog) dialogs.append(entry.dialog.data());
  }
  return dialogs;
}

void CountersTab::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  // Each time the tab comes to front, the screen on top reads the stores again.
  if (pushed_.empty()) {
    root_->viewWillAppear();
  } else {
    pushed_.back().controller->viewWillAppear();
  }
}

}  // namespace kestrio::gui
