#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <set>
#include <string>
#include <string_view>

#include "platform/FileSystem.h"
#include "platform/PlistValue.h"

namespace kestrio {

// The user's settings and flags: a typed key-value store kept as an XML property list. Several
// processes may share one file: `synchronize` merges, key by key, what another process stored
// since this one last read it, so neither side's changes are lost.
class UserDefaults {
 public:
  using Logger = std::function<void(std::string_view)>;
  using Clock = std::function<Date()>;

  // The file is read at the first access, not here. The clock dates a store moved aside.
  UserDefaults(FileSystem& files, std::string path, std::string lockPath, Logger log, Clock clock);

  // The number a text holds as the typed readers read it: the whole text, a point for decimals.
  static std::optional<double> numberFromText(const std::string& text);

  std::optional<PlistValue> objectForKey(const std::string& key);
  // Typed readers convert what they can (a number for a boolean, a numeric text for a number)
  // and answer the type's empty value when the key is absent or holds something else.
  bool boolForKey(const std::string& key);
  std::int64_t integerForKey(const std::string& key);
  double doubleForKey(const std::string& key);
  std::optional<std::string> stringForKey(const std::string& key);
  std::optional<Date> dateForKey(const std::string& key);
  std::optional<PlistValue::Array> arrayForKey(const std::string& key);
  std::optional<PlistValue::Dictionary> dictionaryForKey(const std::string& key);
  // Texts of an array, leaving out its other members; nothing when the key holds no array.
  std::optional<std::vector<std::string>> stringArrayForKey(const std::string& key);

  void setObject(const std::string& key, PlistValue value);
  void setBool(const std::string& key, bool value) { setObject(key, PlistValue(value)); }
  void setInteger(const std::string& key, std::int64_t value) { setObject(key, PlistValue(value)); }
  void setDouble(const std::string& key, double value) { setObject(key, PlistValue(value)); }
  void setString(const std::string& key, std::string value) {
    setObject(key, PlistValue(std::move(value)));
  }
  void removeObjectForKey(const std::string& key);

  // Under the lock: reads the file, takes from it every key this process has not changed since
  // its last synchronize, and, when this process changed keys, writes the merged store back
  // atomically. False when the write failed; the changes then stay pending for the next call.
  bool synchronize();

 private:
  void loadIfNeeded();
  // The stored keys; nothing when the file exists but cannot be read (nor moved aside).
  std::optional<PlistValue::Dictionary> readFile();

  FileSystem& files_;
  std::string path_;
  std::string lockPath_;
  Logger log_;
  Clock clock_;
  bool loaded_ = false;
  PlistValue::Dictionary values_;
  std::set<std::string> changedKeys_;  // set or removed since the last successful synchronize
  // The stored bytes `values_` holds when no key changed since: a synchronize that finds them
  // again has nothing to merge, and spares parsing the store once more.
  std::optional<std::string> seenBytes_;
  std::optional<std::string> lastRead_;  // what readFile read last
};

}  // namespace kestrio
