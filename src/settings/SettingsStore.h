#pragma once

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>

#include "platform/FileSystem.h"
#include "platform/PlistValue.h"
#include "platform/UserDefaults.h"

namespace kestrio::settings {

// Where the settings tab keeps its values: the user defaults every other part reads, or one
// property-list file of its own.

// Raised by a store that lacks one of the two primitives every store must provide.
class UnimplementedError : public std::logic_error {
 public:
  using std::logic_error::logic_error;
};

// The truth of a stored value: a boolean as it is, a number when not zero, a text when it starts
// with Y, y, T, t or a digit 1 to 9 (after spaces, a sign and leading zeros).
bool truthOf(const PlistValue& value);

// Where the settings screens read and write their values. Subclasses provide `setObject` and
// `objectForKey`; the typed accessors go through them.
class SettingsStore {
 public:
  virtual ~SettingsStore() = default;

  virtual void setObject(const std::string& key, const PlistValue& value);
  virtual std::optional<PlistValue> objectForKey(const std::string& key);
  // Forgets the key, so readers fall back to their default.
  virtual void removeObjectForKey(const std::string& key) = 0;
  // Makes what was set durable; false when that failed.
  virtual bool synchronize() { return true; }
  // Why the latest change did not take, for a store whose changes can fail at once; empty
  // otherwise.
  virtual std::string lastError() const { return {}; }

  void setBool(const std::string& key, bool value) { setObject(key, PlistValue(value)); }
  void setFloat(const std::string& key, float value) {
    setObject(key, PlistValue(static_cast<double>(value)));
  }
  void setInteger(const std::string& key, std::int64_t value) { setObject(key, PlistValue(value)); }
  void setDouble(const std::string& key, double value) { setObject(key, PlistValue(value)); }

  bool boolForKey(const std::string& key);
  float floatForKey(const std::string& key) { return static_cast<float>(doubleForKey(key)); }
  std::int64_t integerForKey(const std::string& key);
  double doubleForKey(const std::string& key);
};

// The store the system uses: the user-defaults store every other part reads.
class SettingsStoreUserDefaults : public SettingsStore {
 public:
  explicit SettingsStoreUserDefaults(UserDefaults& defaults) : defaults_(defaults) {}
  void setObject(const std::string& key, const PlistValue& value) override {
    defaults_.setObject(key, value);
  }
  std::optional<PlistValue> objectForKey(const std::string& key) override {
    return defaults_.objectForKey(key);
  }
  void removeObjectForKey(const std::string& key) override { defaults_.removeObjectForKey(key); }
  bool synchronize() override { return defaults_.synchronize(); }

 private:
  UserDefaults& defaults_;
};

// A dictionary read from a property-list file when made (empty when the file cannot be read),
// written back whole and atomically by `synchronize`.
class SettingsStoreFile : public SettingsStore {
 public:
  SettingsStoreFile(FileSystem& files, std::string path);
  void setObject(const std::string& key, const PlistValue& value) override { values_[key] = value; }
  std::optional<PlistValue> objectForKey(const std::string& key) override;
  void removeObjectForKey(const std::string& key) override { values_.erase(key); }
  bool synchronize() override;
  const std::string& filePath() const { return path_; }

 private:
  FileSystem& files_;
  std::string path_;
  PlistValue::Dictionary values_;
};

}  // namespace kestrio::settings
