#include "platform/UserDefaults.h"

#include <charconv>
#include <cstdlib>

#include "platform/MoveAside.h"
#include "platform/PropertyList.h"

namespace kestrio {

std::optional<double> UserDefaults::numberFromText(const std::string& text) {
  double value = 0;
  const char* end = text.data() + text.size();
  auto [ptr, ec] = std::from_chars(text.data(), end, value);
  if (ec != std::errc() || ptr != end || text.empty()) return std::nullopt;
  return value;
}

UserDefaults::UserDefaults(FileSystem& files, std::string path, std::string lockPath, Logger log,
                           Clock clock)
    : files_(files),
      path_(std::move(path)),
      lockPath_(std::move(lockPath)),
      log_(std::move(log)),
      clock_(std::move(clock)) {}

std::optional<PlistValue::Dictionary> UserDefaults::readFile() {
  lastRead_.reset();
  if (!files_.exists(path_)) return PlistValue::Dictionary{};
  auto bytes = files_.read(path_);
  if (!bytes) {
    log_("UserDefaults: cannot read " + path_);
    return std::nullopt;
  }
  auto parsed = plist::parse(*bytes);
  if (!parsed || !parsed->is<PlistValue::Dictionary>()) {
    // Keep the unreadable store for the user to inspect; the settings start from their defaults.
    auto aside = moveAside(files_, path_, clock_());
    log_("UserDefaults: " + path_ + " is not a property list; " +
         (aside ? "moved to " + *aside : std::string("could not move it aside")));
    if (!aside) return std::nullopt;
    return PlistValue::Dictionary{};
  }
  lastRead_ = std::move(bytes);
  return std::move(*parsed->get<PlistValue::Dictionary>());
}

void UserDefaults::loadIfNeeded() {
  if (loaded_) return;
  auto lock = files_.lock(lockPath_);
  // A file that cannot be read reads as an empty store; synchronize refuses to write over it.
  auto stored = readFile();
  if (stored) values_ = std::move(*stored);
  seenBytes_ = stored ? lastRead_ : std::nullopt;
  loaded_ = true;
}

std::optional<PlistValue> UserDefaults::objectForKey(const std::string& key) {
  loadIfNeeded();
  auto it = values_.find(key);
  if (it == values_.end()) return std::nullopt;
  return it->second;
}

bool UserDefaults::boolForKey(const std::string& key) {
  auto value = objectForKey(key);
  if (!value) return false;
  if (auto n = value->number()) return *n != 0;
  if (auto* s = value->get<std::string>()) {
    if (*s == "YES" || *s == "yes" || *s == "true" || *s == "TRUE") return true;
    auto n = numberFromText(*s);
    return n && *n != 0;
  }
  return false;
}

double UserDefaults::doubleForKey(const std::string& key) {
  auto value = objectForKey(key);
  if (!value) return 0;
  if (auto n = value->number()) return *n;
  if (auto* s = value->get<std::string>()) return numberFromText(*s).value_or(0);
  return 0;
}

std::int64_t UserDefaults::integerForKey(const std::string& key) {
  auto value = objectForKey(key);
  if (value) {
    if (auto* i = value->get<std::int64_t>()) return *i;
  }
  const double d = doubleForKey(key);
  // Out-of-range values saturate rather than overflow.
  if (!(d > -9.2e18)) return d != d ? 0 : INT64_MIN;
  if (!(d < 9.2e18)) return INT64_MAX;
  return static_cast<std::int64_t>(d);
}

std::optional<std::string> UserDefaults::stringForKey(const std::string& key) {
  auto value = objectForKey(key);
  if (!value) return std::nullopt;
  if (auto* s = value->get<std::string>()) return *s;
  return std::nullopt;
}

std::optional<Date> UserDefaults::dateForKey(const std::string& key) {
  auto value = objectForKey(key);
  if (!value) return std::nullopt;
  if (auto* d = value->get<Date>()) return *d;
  return std::nullopt;
}

std::optional<PlistValue::Array> UserDefaults::arrayForKey(const std::string& key) {
  auto value = objectForKey(key);
  if (!value) return std::nullopt;
  if (auto* a = value->get<PlistValue::Array>()) return *a;
  return std::nullopt;
}

std::optional<PlistValue::Dictionary> UserDefaults::dictionaryForKey(const std::string& key) {
  auto value = objectForKey(key);
  if (!value) return std::nullopt;
  if (auto* d = value->get<PlistValue::Dictionary>()) return *d;
  return std::nullopt;
}

std::optional<std::vector<std::string>> UserDefaults::stringArrayForKey(const std::string& key) {
  auto array = arrayForKey(key);
  if (!array) return std::nullopt;
  std::vector<std::string> texts;
  for (const auto& item : *array) {
    if (auto* s = item.get<std::string>()) texts.push_back(*s);
  }
  return texts;
}

void UserDefaults::setObject(const std::string& key, PlistValue value) {
  loadIfNeeded();
  values_[key] = std::move(value);
  changedKeys_.insert(key);
}

void UserDefaults::removeObjectForKey(const std::string& key) {
  loadIfNeeded();
  values_.erase(key);
  changedKeys_.insert(key);
}

bool UserDefaults::synchronize() {
  auto lock = files_.lock(lockPath_);
  // The store still holds the bytes this process last read or wrote: its values are this
  // process's own, the changed keys aside, and need no parsing again.
  const bool storeAsSeen = loaded_ && seenBytes_ && files_.read(path_) == seenBytes_;
  if (storeAsSeen && changedKeys_.empty()) return true;
  if (!storeAsSeen) {
    auto stored = readFile();
    if (!stored) return false;
    PlistValue::Dictionary merged = std::move(*stored);
    for (const auto& key : changedKeys_) {
      auto mine = values_.find(key);
      if (mine == values_.end()) {
        merged.erase(key);
      } else {
        merged[key] = mine->second;
      }
    }
    values_ = std::move(merged);
    loaded_ = true;
    seenBytes_.reset();
    if (changedKeys_.empty()) {
      seenBytes_ = std::move(lastRead_);
      return true;
    }
  }
  std::string bytes = plist::toXml(PlistValue(values_));
  if (!files_.writeAtomically(path_, bytes)) {
    log_("UserDefaults: writing " + path_ + " failed; the changes stay pending");
    return false;
  }
  changedKeys_.clear();
  seenBytes_ = std::move(bytes);
  return true;
}

}  // namespace kestrio
