#include "gui/counters/CounterScreenRegistry.h"

#include "counters/CustomCounterDetailViewController.h"
#include "counters/CustomCounterEditViewController.h"
#include "counters/DatePickerViewController.h"
#include "counters/TextFieldViewController.h"
#include "gui/counters/CustomCounterDetailScreen.h"
#include "gui/counters/CustomCounterEditScreen.h"
#include "gui/counters/DatePickerScreen.h"
#include "gui/counters/TextFieldScreen.h"
#include "gui/shell/ViewRegistry.h"
#include "services/StringFormatter.h"

namespace kestrio::gui {

void registerCounterScreens(shell::ViewRegistry& views, kestrio::Platform& platform) {
  using kestrio::CustomCounterDetailViewController;
  using kestrio::CustomCounterEditViewController;
  using kestrio::DatePickerViewController;
  using kestrio::TextFieldViewController;
  views.add<CustomCounterDetailViewController>(
      [](const std::shared_ptr<CustomCounterDetailViewController>& controller) {
        return new CustomCounterDetailScreen(controller);
      });
  views.add<CustomCounterEditViewController>(
      [&platform](const std::shared_ptr<CustomCounterEditViewController>& controller) {
        return new CustomCounterEditScreen(platform, controller);
      });
  views.add<DatePickerViewController>(
      [&platform](const std::shared_ptr<DatePickerViewController>& controller) {
        return new DatePickerScreen(
            controller, kestrio::StringFormatter::getLocalizedShortDateShortTimePattern(platform));
      });
  views.add<TextFieldViewController>(
      [](const std::shared_ptr<TextFieldViewController>& controller) {
        return new TextFieldScreen(controller);
      });
  views.addCancel<CustomCounterEditViewController>(
      [](CustomCounterEditViewController& edit) { edit.cancelAndDismissView(); });
  views.addCancel<DatePickerViewController>([](DatePickerViewController& pane) { pane.cancel(); });
  views.addCancel<TextFieldViewController>([](TextFieldViewController& pane) { pane.cancel(); });
}

}  // namespace kestrio::gui
