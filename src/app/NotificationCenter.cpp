#include "app/NotificationCenter.h"

#include <algorithm>

namespace kestrio {

int NotificationCenter::addObserver(const std::string& name, Observer observer) {
  entries_.push_back(Entry{nextToken_, name, std::move(observer)});
  return nextToken_++;
}

void NotificationCenter::removeObserver(int token) {
  std::erase_if(entries_, [token](const Entry& e) { return e.token == token; });
}

void NotificationCenter::post(const std::string& name, const UserInfo& userInfo) {
  // An observer may register or remove observers while being called: walk a copy.
  const std::vector<Entry> entries = entries_;
  for (const auto& e : entries) {
    if (e.name == name) e.observer(userInfo);
  }
}

}  // namespace kestrio
