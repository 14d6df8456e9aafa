#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/Ui.h"
#include "services/NotificationCenter.h"
#include "settings/IASKSettingsStore.h"
#include "settings/IASKSpecifier.h"

namespace kestrio {

// The choices of a multi-value row: its titles, the current value's checked. Choosing another
// entry stores its value, synchronises and announces the change; choosing the checked one does
// nothing.
class IASKSpecifierValuesViewController : public ViewController {
 public:
  IASKSpecifierValuesViewController(std::shared_ptr<IASKAbstractSettingsStore> store,
                                    NotificationCenter& center)
      : store_(std::move(store)), center_(center) {}

  void setCurrentSpecifier(const IASKSpecifier& specifier) { specifier_ = specifier; }
  const std::optional<IASKSpecifier>& currentSpecifier() const { return specifier_; }

  std::string title() const override { return specifier_ ? specifier_->title() : std::string(); }
  std::vector<std::string> titles() const;
  std::optional<std::size_t> checkedIndex();
  void didSelectRow(std::size_t row);
  // The view redraws the list.
  std::function<void()> reloadData;
  void viewWillAppear() override {
    if (reloadData) reloadData();
  }

 private:
  std::optional<PlistValue> currentValue();

  std::shared_ptr<IASKAbstractSettingsStore> store_;
  NotificationCenter& center_;
  std::optional<IASKSpecifier> specifier_;
};

}  // namespace kestrio
