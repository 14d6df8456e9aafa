#pragma once

#include <functional>
#include <map>

namespace kestrio {

// The descriptors of the platform's event sources (the location service) gathered behind one
// descriptor, so a Qt window or the daemon's wait can watch them all. Callbacks run on the
// thread that calls `dispatch`.
class EventLoop {
 public:
  EventLoop();
  ~EventLoop();
  EventLoop(const EventLoop&) = delete;
  EventLoop& operator=(const EventLoop&) = delete;

  // Calls `ready` whenever `fd` is readable at a dispatch. False when it cannot be watched.
  bool add(int fd, std::function<void()> ready);
  void remove(int fd);
  bool empty() const { return sources_.empty(); }
  // Readable while any source is; -1 when none could be made.
  int descriptor() const { return epoll_; }
  // Serves every source that is readable now, without waiting.
  void dispatch();

 private:
  int epoll_ = -1;
  std::map<int, std::function<void()>> sources_;
};

}  // namespace kestrio
