#include "platform/EventLoop.h"

#include <sys/epoll.h>
#include <unistd.h>

#include <vector>

namespace kestrio {

EventLoop::EventLoop() : epoll_(::epoll_create1(EPOLL_CLOEXEC)) {}

EventLoop::~EventLoop() {
  if (epoll_ >= 0) ::close(epoll_);
}

bool EventLoop::add(int fd, std::function<void()> ready) {
  if (epoll_ < 0 || fd < 0) return false;
  epoll_event event{};
  event.events = EPOLLIN;
  event.data.fd = fd;
  if (::epoll_ctl(epoll_, EPOLL_CTL_ADD, fd, &event) != 0) return false;
  sources_[fd] = std::move(ready);
  return true;
}

void EventLoop::remove(int fd) {
  if (sources_.erase(fd) == 0) return;
  ::epoll_ctl(epoll_, EPOLL_CTL_DEL, fd, nullptr);
}

void EventLoop::dispatch() {
  if (epoll_ < 0) return;
  epoll_event events[16];
  const int count = ::epoll_wait(epoll_, events, 16, 0);
  // A callback may remove sources (its own included): look each one up as it comes.
  std::vector<int> ready;
  for (int i = 0; i < count; ++i) ready.push_back(events[i].data.fd);
  for (int fd : ready) {
    auto it = sources_.find(fd);
    if (it == sources_.end()) continue;
    auto callback = it->second;  // a copy: the callback may remove itself
    callback();
  }
}

}  // namespace kestrio
