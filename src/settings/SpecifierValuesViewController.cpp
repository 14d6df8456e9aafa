// The list of choices a multi-value row of the settings tab opens.
#include "settings/SpecifierValuesViewController.h"

#include "settings/AppSettingsViewController.h"

namespace kestrio::settings {

std::vector<std::string> SpecifierValuesViewController::titles() const {
  return specifier_ ? specifier_->multipleTitles() : std::vector<std::string>();
}

std::optional<PlistValue> SpecifierValuesViewController::currentValue() {
  if (!specifier_) return std::nullopt;
  std::optional<PlistValue> value = store_->objectForKey(specifier_->key());
  return value ? value : specifier_->defaultValue();
}

std::optional<std::size_t> SpecifierValuesViewController::checkedIndex() {
  return specifier_ ? specifier_->indexOfValue(currentValue()) : std::nullopt;
}

void SpecifierValuesViewController::didSelectRow(std::size_t row) {
  if (!specifier_) return;
  const std::vector<PlistValue> values = specifier_->multipleValues();
  if (row >= values.size() || checkedIndex() == row) return;
  const std::string key = specifier_->key();
  store_->setObject(key, values[row]);
  store_->synchronize();
  changes_.settingDidChange(key, values[row]);
  if (reloadData) reloadData();
}

}  // namespace kestrio::settings
