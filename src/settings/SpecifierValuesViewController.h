#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/Ui.h"
#include "settings/ChangeListener.h"
#include "settings/SettingsStore.h"
#include "settings/Specifier.h"

namespace kestrio::settings {

// The list of choices a multi-value row of the settings tab opens.

// The choices of a multi-value row: its titles, the current value's checked. Choosing another
// entry stores its value, synchronises and announces the change; choosing the checked one does
// nothing.
class SpecifierValuesViewController : public ViewController {
 public:
  SpecifierValuesViewController(std::shared_ptr<SettingsStore> store, ChangeListener& changes)
      : store_(std::move(store)), changes_(changes) {}

  void setCurrentSpecifier(const Specifier& specifier) { specifier_ = specifier; }
  const std::optional<Specifier>& currentSpecifier() const { return specifier_; }

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

  std::shared_ptr<SettingsStore> store_;
  ChangeListener& changes_;
  std::optional<Specifier> specifier_;
};

}  // namespace kestrio::settings
