#include "gui/history/HistoryScreenRegistry.h"

#include "gui/history/HistoryChartScreen.h"
#include "gui/history/HistoryDetailScreen.h"
#include "gui/shell/WindowNavigator.h"
#include "history/HistoryChartViewController.h"
#include "history/HistoryDetailViewController.h"

namespace kestrio::gui {

void registerHistoryScreens(shell::WindowNavigator& navigator) {
  shell::WindowNavigator* window = &navigator;
  navigator.views().add<kestrio::HistoryDetailViewController>(
      [window](const std::shared_ptr<kestrio::HistoryDetailViewController>& controller) {
        auto* view = new HistoryDetailScreen(controller);
        // The view keeps its controller alive: the raw pointer lives as long as the connection.
        kestrio::ViewController* shown = controller.get();
        QObject::connect(view, &HistoryDetailScreen::backRequested, view,
                         [window, shown] { window->dismiss(shown); });
        return view;
      });
  navigator.views().add<kestrio::HistoryChartViewController>(
      [](const std::shared_ptr<kestrio::HistoryChartViewController>& controller) {
        return new HistoryChartScreen(controller);
      });
}

}  // namespace kestrio::gui
