#include "settings/IASKSpecifierValuesViewController.h"

#include "settings/IASKAppSettingsViewController.h"

namespace kestrio {

std::vector<std::string> IASKSpecifierValuesViewController::titles() const {
  return specifier_ ? specifier_->multipleTitles() : std::vector<std::string>();
}

std::optional<PlistValue> IASKSpecifierValuesViewController::currentValue() {
  if (!specifier_) return std::nullopt;
  std::optional<PlistValue> value = store_->objectForKey(specifier_->key());
  return value ? value : specifier_->defaultValue();
}

std::optional<std::size_t> IASKSpecifierValuesViewController::checkedIndex() {
  return specifier_ ? specifier_->indexOfValue(currentValue()) : std::nullopt;
}

void IASKSpecifierValuesViewController::didSelectRow(std::size_t row) {
  if (!specifier_) return;
  const std::vector<PlistValue> values = specifier_->multipleValues();
  if (row >= values.size() || checkedIndex() == row) return;
  const std::string key = specifier_->key();
  store_->setObject(key, values[row]);
  store_->synchronize();
  center_.post(kIASKAppSettingChanged, PlistValue(key), {{key, values[row]}});
  if (reloadData) reloadData();
}

}  // namespace kestrio
