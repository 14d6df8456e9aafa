#pragma once

#include <QWidget>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "platform/Date.h"
#include "platform/Platform.h"
#include "platform/Ui.h"

class QDateTimeEdit;
class QLabel;

namespace kestrio::gui {
namespace shell {
class TypedDateField;
}

// Both custom-start panes and the start-date pane: a date-and-time field within the pane's
// limits, and, where `typed` reads typed dates, a field to type one into.
class StartDateScreen : public QWidget {
  Q_OBJECT
 public:
  // `changed` stores a picked moment and answers the summary text (empty for none); nothing
  // when the moment could not be stored.
  StartDateScreen(
      kestrio::Platform& platform, std::shared_ptr<kestrio::ViewController> controller,
      std::function<kestrio::Date()> minimum, std::function<kestrio::Date()> maximum,
      std::function<kestrio::Date()> current,
      std::function<std::optional<std::string>(kestrio::Date)> changed,
      std::function<std::optional<kestrio::Date>(const std::string&, std::string&)> typed = {});
  QDateTimeEdit* picker() const { return picker_; }
  // The field a date is typed into; none when the pane takes no typed date.
  shell::TypedDateField* typedDate() const { return typed_; }
  QLabel* summary() const { return summary_; }

 private:
  std::shared_ptr<kestrio::ViewController> controller_;
  QDateTimeEdit* picker_ = nullptr;
  QLabel* summary_ = nullptr;
  shell::TypedDateField* typed_ = nullptr;
};

}  // namespace kestrio::gui
