// Where the settings tab keeps its values: how a stored value reads as on or off, the typed
// readers, and the file store written back whole.
#include "settings/SettingsStore.h"

#include <cmath>

#include "platform/PropertyList.h"

namespace kestrio::settings {

bool truthOf(const PlistValue& value) {
  if (const std::optional<double> number = value.number()) return *number != 0;
  const std::string* text = value.get<std::string>();
  if (!text) return false;
  std::size_t i = 0;
  while (i < text->size() && ((*text)[i] == ' ' || (*text)[i] == '\t')) ++i;
  if (i < text->size() && ((*text)[i] == '+' || (*text)[i] == '-')) ++i;
  while (i < text->size() && (*text)[i] == '0') ++i;
  if (i == text->size()) return false;
  const char c = (*text)[i];
  return c == 'Y' || c == 'y' || c == 'T' || c == 't' || (c >= '1' && c <= '9');
}

void SettingsStore::setObject(const std::string&, const PlistValue&) {
  throw UnimplementedError("setObject:forKey: must be implemented in subclasses of SettingsStore");
}

std::optional<PlistValue> SettingsStore::objectForKey(const std::string&) {
  throw UnimplementedError("objectForKey: must be implemented in subclasses of SettingsStore");
}

bool SettingsStore::boolForKey(const std::string& key) {
  const std::optional<PlistValue> value = objectForKey(key);
  return value && truthOf(*value);
}

double SettingsStore::doubleForKey(const std::string& key) {
  const std::optional<PlistValue> value = objectForKey(key);
  if (!value) return 0;
  if (const std::optional<double> number = value->number()) return *number;
  if (const std::string* text = value->get<std::string>()) {
    try {
      return std::stod(*text);
    } catch (const std::exception&) {
      return 0;
    }
  }
  return 0;
}

std::int64_t SettingsStore::integerForKey(const std::string& key) {
  const double value = doubleForKey(key);
  if (!std::isfinite(value)) return 0;
  return static_cast<std::int64_t>(std::clamp(value, -9.2e18, 9.2e18));
}

SettingsStoreFile::SettingsStoreFile(FileSystem& files, std::string path)
    : files_(files), path_(std::move(path)) {
  if (const std::optional<std::string> bytes = files_.read(path_)) {
    if (std::optional<PlistValue> parsed = plist::parse(*bytes)) {
      if (auto* dictionary = parsed->get<PlistValue::Dictionary>()) values_ = *dictionary;
    }
  }
}

std::optional<PlistValue> SettingsStoreFile::objectForKey(const std::string& key) {
  const auto it = values_.find(key);
  if (it == values_.end()) return std::nullopt;
  return it->second;
}

bool SettingsStoreFile::synchronize() {
  return files_.writeAtomically(path_, plist::toXml(PlistValue(values_)));
}

}  // namespace kestrio::settings
