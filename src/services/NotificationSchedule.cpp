#include "services/NotificationSchedule.h"

#include <algorithm>
#include <cmath>
#include <memory>

#include "platform/MoveAside.h"
#include "platform/PropertyList.h"

namespace kestrio {
namespace {

constexpr const char* kFireDate = "fireDate";
constexpr const char* kAlertBody = "alertBody";
constexpr const char* kAlertAction = "alertAction";
constexpr const char* kSoundName = "soundName";
constexpr const char* kBadge = "applicationIconBadgeNumber";
constexpr const char* kRepeatInterval = "repeatInterval";
constexpr const char* kRepeatCalendar = "repeatCalendar";
constexpr const char* kTimeZone = "timeZone";
constexpr const char* kRepeatFrom = "repeatFromDate";
constexpr const char* kUserInfo = "userInfo";
constexpr const char* kUniqueId = "UniqueId";

constexpr double kSecondsPerDay = 86400;
// More steps than any real gap needs once the first guess is made; a calendar that does not move
// forward must not hang the pass.
constexpr int kMaxRepeatSteps = 1000;

const char* intervalName(RepeatInterval interval) {
  switch (interval) {
    case RepeatInterval::Day:
      return "day";
    case RepeatInterval::Week:
      return "week";
    case RepeatInterval::Month:
      return "month";
    case RepeatInterval::None:
      break;
  }
  return "";
}

RepeatInterval intervalNamed(const std::string& name) {
  if (name == "day") return RepeatInterval::Day;
  if (name == "week") return RepeatInterval::Week;
  if (name == "month") return RepeatInterval::Month;
  return RepeatInterval::None;
}

template <typename T>
const T* field(const PlistValue::Dictionary& d, const char* key) {
  auto it = d.find(key);
  return it == d.end() ? nullptr : it->second.get<T>();
}

PlistValue encode(const NotificationSchedule::Entry& entry) {
  const LocalNotification& n = entry.notification;
  PlistValue::Dictionary d;
  d[kFireDate] = n.fireDate;
  d[kAlertBody] = n.alertBody;
  d[kAlertAction] = n.alertAction;
  d[kSoundName] = n.soundName;
  if (n.applicationIconBadgeNumber) d[kBadge] = *n.applicationIconBadgeNumber;
  if (n.repeatInterval != RepeatInterval::None) {
    d[kRepeatInterval] = intervalName(n.repeatInterval);
    d[kRepeatCalendar] = "gregorian";
    d[kRepeatFrom] = entry.repeatFrom;
  }
  if (!n.repeatTimeZone.empty()) d[kTimeZone] = n.repeatTimeZone;
  if (n.uniqueId) d[kUserInfo] = PlistValue::Dictionary{{kUniqueId, *n.uniqueId}};
  return d;
}

// Nothing when the item is not a notification: every one needs at least its moment.
std::optional<NotificationSchedule::Entry> decode(const PlistValue& item) {
  const auto* d = item.get<PlistValue::Dictionary>();
  if (d == nullptr) return std::nullopt;
  const Date* fireDate = field<Date>(*d, kFireDate);
  if (fireDate == nullptr || !std::isfinite(fireDate->secondsSince1970)) return std::nullopt;

  NotificationSchedule::Entry entry;
  LocalNotification& n = entry.notification;
  n.fireDate = *fireDate;
  if (auto* s = field<std::string>(*d, kAlertBody)) n.alertBody = *s;
  if (auto* s = field<std::string>(*d, kAlertAction)) n.alertAction = *s;
  if (auto* s = field<std::string>(*d, kSoundName)) n.soundName = *s;
  if (auto* i = field<std::int64_t>(*d, kBadge))
    n.applicationIconBadgeNumber = static_cast<int>(*i);
  if (auto* s = field<std::string>(*d, kRepeatInterval)) n.repeatInterval = intervalNamed(*s);
  if (auto* s = field<std::string>(*d, kTimeZone)) n.repeatTimeZone = *s;
  if (auto* info = field<PlistValue::Dictionary>(*d, kUserInfo)) {
    if (auto* id = field<std::string>(*info, kUniqueId)) n.uniqueId = *id;
  }
  const Date* from = field<Date>(*d, kRepeatFrom);
  entry.repeatFrom = from != nullptr && std::isfinite(from->secondsSince1970) ? *from : n.fireDate;
  return entry;
}

std::optional<std::vector<NotificationSchedule::Entry>> decodeAll(const std::string& bytes) {
  std::optional<PlistValue> parsed = plist::parse(bytes);
  if (!parsed) return std::nullopt;
  const auto* items = parsed->get<PlistValue::Array>();
  if (items == nullptr) return std::nullopt;
  std::vector<NotificationSchedule::Entry> entries;
  for (const PlistValue& item : *items) {
    auto entry = decode(item);
    if (!entry) return std::nullopt;
    entries.push_back(std::move(*entry));
  }
  std::stable_sort(entries.begin(), entries.end(), [](const auto& a, const auto& b) {
    return a.notification.fireDate < b.notification.fireDate;
  });
  return entries;
}

}  // namespace

std::string NotificationSchedule::path() {
  return platform_.documentPath(Platform::kNotificationsFileName);
}

std::optional<std::vector<NotificationSchedule::Entry>> NotificationSchedule::load() {
  const std::string file = path();
  FileSystem& files = platform_.files();
  if (!files.exists(file)) return std::vector<Entry>{};
  std::optional<std::string> bytes = files.read(file);
  if (bytes && bytes->empty()) return std::vector<Entry>{};
  std::optional<std::vector<Entry>> entries;
  if (bytes) entries = decodeAll(*bytes);
  if (entries) return entries;

  // Never lose the user's reminders silently: keep the file for them and start afresh.
  if (auto aside = moveAside(files, file, platform_.now())) {
    platform_.warn("Notifications: " + file + " cannot be read; moved to " + *aside);
    return std::vector<Entry>{};
  }
  platform_.warn("Notifications: " + file + " cannot be read and could not be moved aside");
  return std::nullopt;
}

bool NotificationSchedule::store(const std::vector<Entry>& entries) {
  PlistValue::Array items;
  items.reserve(entries.size());
  for (const Entry& entry : entries) items.push_back(encode(entry));
  if (!platform_.files().writeAtomically(path(), plist::toXml(PlistValue(std::move(items))))) {
    platform_.warn("Notifications: the schedule could not be written");
    return false;
  }
  return true;
}

void NotificationSchedule::insert(std::vector<Entry>& entries,
                                  const LocalNotification& notification) {
  auto at =
      std::upper_bound(entries.begin(), entries.end(), notification.fireDate,
                       [](Date date, const Entry& e) { return date < e.notification.fireDate; });
  entries.insert(at, Entry{notification, notification.fireDate});
}

std::optional<Date> NotificationSchedule::nextFireDate(const Entry& entry, Date after) {
  const RepeatInterval interval = entry.notification.repeatInterval;
  if (interval == RepeatInterval::None) return std::nullopt;

  const std::string& zone = entry.notification.repeatTimeZone;
  std::unique_ptr<Calendar> own;
  if (!zone.empty() && zone != platform_.calendar().zoneId()) {
    own = std::make_unique<Calendar>(zone, platform_.calendar().localeId());
  }
  const Calendar& calendar = own ? *own : platform_.calendar();

  // Each moment is built from the first one's wall-clock fields, so the time of day survives a
  // change to or from summer time.
  const DateComponents first = calendar.components(entry.repeatFrom);
  auto moment = [&](int k) {
    DateComponents c = first;
    if (interval == RepeatInterval::Day) c.day += k;
    if (interval == RepeatInterval::Week) c.day += 7 * k;
    if (interval == RepeatInterval::Month) c.month += k;
    return calendar.date(c);
  };

  // Start just short of the answer, so a long gap costs a few steps rather than one per repeat.
  const double elapsed = after.secondsSince1970 - entry.repeatFrom.secondsSince1970;
  double guess = 0;
  if (interval == RepeatInterval::Day) guess = std::floor(elapsed / kSecondsPerDay) - 1;
  if (interval == RepeatInterval::Week) guess = std::floor(elapsed / (7 * kSecondsPerDay)) - 1;
  if (interval == RepeatInterval::Month) {
    const DateComponents now = calendar.components(after);
    guess = (now.year - first.year) * 12.0 + (now.month - first.month) - 1;
  }
  int k = static_cast<int>(std::clamp(guess, 1.0, 1e6));
  for (int steps = 0; steps < kMaxRepeatSteps; ++steps, ++k) {
    Date next = moment(k);
    if (next > after) return next;
  }
  return std::nullopt;
}

}  // namespace kestrio
