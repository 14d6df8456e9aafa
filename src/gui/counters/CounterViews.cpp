#include "gui/counters/CounterViews.h"

#include "counters/CustomCounterDetailViewController.h"
#include "counters/CustomCounterEditViewController.h"
#include "counters/DatePickerViewController.h"
#include "counters/TextFieldViewController.h"
#include "gui/counters/CounterDetailScreen.h"
#include "gui/counters/CounterEditScreen.h"
#include "gui/counters/CounterPanes.h"
#include "gui/shell/ViewRegistry.h"

namespace kestrio::gui {

void registerCounterViews(shell::ViewRegistry& views, kestrio::Platform& platform) {
  using kestrio::CustomCounterDetailViewController;
  using kestrio::CustomCounterEditViewController;
  using kestrio::DatePickerViewController;
  using kestrio::TextFieldViewController;
  views.add<CustomCounterDetailViewController>(
      [](const std::shared_ptr<CustomCounterDetailViewController>& controller) {
        return new CounterDetailScreen(controller);
      });
  views.add<CustomCounterEditViewController>(
      [&platform](const std::shared_ptr<CustomCounterEditViewController>& controller) {
        return new CounterEditScreen(platform, controller);
      });
  views.add<DatePickerViewController>(
      [](const std::shared_ptr<DatePickerViewController>& controller) {
        return new DatePickerPane(controller);
      });
  views.add<TextFieldViewController>(
      [](const std::shared_ptr<TextFieldViewController>& controller) {
        return new TextFieldPane(controller);
      });
  views.addCancel<CustomCounterEditViewController>(
      [](CustomCounterEditViewController& edit) { edit.cancelAndDismissView(); });
  views.addCancel<DatePickerViewController>([](DatePickerViewController& pane) { pane.cancel(); });
  views.addCancel<TextFieldViewController>([](TextFieldViewController& pane) { pane.cancel(); });
}

}  // namespace kestrio::gui
