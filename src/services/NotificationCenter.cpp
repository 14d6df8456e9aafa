#include "services/NotificationCenter.h"

#include <algorithm>
#include <cmath>

namespace kestrio {

int NotificationCenter::addObserver(const std::string& name, Observer observer) {
  return addObserver(
      name, NotificationObserver(
                [observer = std::move(observer)](const Notification& n) { observer(n.userInfo); }));
}

int NotificationCenter::addObserver(const std::string& name, NotificationObserver observer) {
  entries_.push_back(Entry{nextToken_, name, std::move(observer)});
  return nextToken_++;
}

void NotificationCenter::removeObserver(int token) {
  std::erase_if(entries_, [token](const Entry& e) { return e.token == token; });
}

void NotificationCenter::post(const std::string& name, const UserInfo& userInfo) {
  post(name, std::nullopt, userInfo);
}

void NotificationCenter::post(const std::string& name, std::optional<PlistValue> object,
                              const UserInfo& userInfo) {
  const Notification notification{name, std::move(object), userInfo};
  // An observer may register or remove observers while being called: walk a copy.
  const std::vector<Entry> entries = entries_;
  for (const auto& e : entries) {
    if (e.name == name) e.observer(notification);
  }
}

std::optional<int> NotificationCenter::integer(const UserInfo& userInfo, const std::string& key) {
  const auto it = userInfo.find(key);
  if (it == userInfo.end()) return std::nullopt;
  const std::optional<double> number = it->second.number();
  if (!number || !std::isfinite(*number)) return std::nullopt;
  return static_cast<int>(std::clamp(*number, -2147483648.0, 2147483647.0));
}

}  // namespace kestrio
