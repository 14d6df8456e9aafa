#pragma once

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/PlistValue.h"

namespace kestrio {

// In-process broadcasts: the gauge announces a change of colour band, the tab bar a change of
// tab, the settings screens a stored change, and every observer of that name is called at once,
// in the order it registered. A broadcast carries an object (the settings' key, for one) and a
// dictionary of user information whose values may be of any kind a store keeps.
class NotificationCenter {
 public:
  using UserInfo = std::map<std::string, PlistValue>;
  struct Notification {
    std::string name;
    std::optional<PlistValue> object;
    UserInfo userInfo;
  };
  using Observer = std::function<void(const UserInfo& userInfo)>;
  using NotificationObserver = std::function<void(const Notification& notification)>;

  // Answers a token for removeObserver.
  int addObserver(const std::string& name, Observer observer);
  int addObserver(const std::string& name, NotificationObserver observer);
  void removeObserver(int token);
  void post(const std::string& name, const UserInfo& userInfo);
  void post(const std::string& name, std::optional<PlistValue> object, const UserInfo& userInfo);

  // The whole number under `key`, when the user information holds a number there.
  static std::optional<int> integer(const UserInfo& userInfo, const std::string& key);

 private:
  struct Entry {
    int token;
    std::string name;
    NotificationObserver observer;
  };
  std::vector<Entry> entries_;
  int nextToken_ = 1;
};

// The colour band of a gauge changed, or the user switched tabs; "dataType" 1 cellular, 2 Wi-Fi,
// 3 neither.
inline constexpr const char* kProgressBarMileStoneNotification =
    "kProgressBarMileStoneNotification";

}  // namespace kestrio
