#pragma once

#include <functional>
#include <map>
#include <string>
#include <vector>

namespace kestrio {

// In-process broadcasts: the gauge announces a change of colour band, the tab bar a change of
// tab, and every observer of that name is called at once, in the order it registered.
class NotificationCenter {
 public:
  using UserInfo = std::map<std::string, int>;
  using Observer = std::function<void(const UserInfo& userInfo)>;

  // Answers a token for removeObserver.
  int addObserver(const std::string& name, Observer observer);
  void removeObserver(int token);
  void post(const std::string& name, const UserInfo& userInfo);

 private:
  struct Entry {
    int token;
    std::string name;
    Observer observer;
  };
  std::vector<Entry> entries_;
  int nextToken_ = 1;
};

// The colour band of a gauge changed, or the user switched tabs; "dataType" 1 cellular, 2 Wi-Fi,
// 3 neither.
inline constexpr const char* kProgressBarMileStoneNotification =
    "kProgressBarMileStoneNotification";

}  // namespace kestrio
