#include "gui/history/HistoryTab.h"

#include <QStackedWidget>
#include <QTableView>
#include <QToolButton>
#include <QVBoxLayout>

#include "gui/history/HistoryChartWindow.h"
#include "gui/history/HistoryDetailScreen.h"
#include "gui/history/HistoryListScreen.h"
#include "history/HistoryChartViewController.h"
#include "history/HistoryDetailViewController.h"
#include "history/HistoryViewController.h"

namespace kestrio::gui {

class HistoryTab::Navigation final : public kestrio::Ui {
 public:
  Navigation(HistoryTab& tab, kestrio::Ui& window) : tab_(tab), window_(window) {}
  void showAlert(const kestrio::Alert& alert, kestrio::AlertDelegate* delegate) override {
    window_.showAlert(alert, delegate);
  }
  void openURL(const std::string& url) override { window_.openURL(url); }
  void showActionSheet(const kestrio::ActionSheet& sheet,
                       kestrio::ActionSheetDelegate* delegate) override {
    window_.showActionSheet(sheet, delegate);
  }
  void push(std::shared_ptr<kestrio::ViewController> screen, kestrio::ViewController*) override {
    tab_.push(std::move(screen));
  }
  void present(std::shared_ptr<kestrio::ViewController> screen, kestrio::ViewController*) override {
    tab_.present(std::move(screen));
  }
  void dismiss(kestrio::ViewController* screen) override { tab_.dismiss(screen); }

 private:
  HistoryTab& tab_;
  kestrio::Ui& window_;
};

HistoryTab::HistoryTab(kestrio::Platform& platform, kestrio::Ui& windowUi, QWidget* parent)
    : QWidget(parent), platform_(platform) {
  setObjectName(QStringLiteral("History"));
  navigation_ = std::make_unique<Navigation>(*this, windowUi);
  controller_ = std::make_shared<kestrio::HistoryViewController>(platform_, *navigation_);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  stack_ = new QStackedWidget(this);
  list_ = new HistoryListScreen(controller_, stack_);
  stack_->addWidget(list_);
  layout->addWidget(stack_);
}

HistoryTab::~HistoryTab() {
  if (chart_) delete chart_.data();
  // The screens go before the navigation their controllers use.
  delete stack_;
}

QWidget* HistoryTab::topScreen() const {
  return stack_->currentWidget();
}

HistoryChartWindow* HistoryTab::chartWindow() const {
  return chart_.data();
}

int HistoryTab::depth() const {
  return stack_->count();
}

void HistoryTab::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  // The list reloads each time it appears, so periods closed meanwhile show.
  if (stack_->currentWidget() == list_) controller_->viewWillAppear();
}

void HistoryTab::push(std::shared_ptr<kestrio::ViewController> screen) {
  auto detail = std::dynamic_pointer_cast<kestrio::HistoryDetailViewController>(screen);
  if (!detail) return;
  auto* view = new HistoryDetailScreen(detail, stack_);
  connect(view, &HistoryDetailScreen::backRequested, this, &HistoryTab::pop);
  stack_->addWidget(view);
  stack_->setCurrentWidget(view);
  view->actionButton()->setFocus();
}

void HistoryTab::pop() {
  if (stack_->count() <= 1) return;
  QWidget* top = stack_->widget(stack_->count() - 1);
  stack_->removeWidget(top);
  top->deleteLater();
  if (stack_->currentWidget() == list_) {
    controller_->viewWillAppear();
    list_->table()->setFocus();
  }
}

void HistoryTab::popToRoot() {
  while (stack_->count() > 1) pop();
}

void HistoryTab::present(std::shared_ptr<kestrio::ViewController> screen) {
  auto chart = std::dynamic_pointer_cast<kestrio::HistoryChartViewController>(screen);
  if (!chart) return;
  if (chart_) chart_->close();
  chart_ = new HistoryChartWindow(chart, window());
  chart_->setAttribute(Qt::WA_DeleteOnClose);
  chart_->open();
}

void HistoryTab::dismiss(kestrio::ViewController* screen) {
  if (chart_ && &chart_->controller() == screen) {
    chart_->close();
    return;
  }
  for (int i = stack_->count() - 1; i > 0; --i) {
    auto* detail = qobject_cast<HistoryDetailScreen*>(stack_->widget(i));
    if (detail && &detail->controller() == screen) {
      while (stack_->count() > i) pop();
      return;
    }
  }
}

}  // namespace kestrio::gui
