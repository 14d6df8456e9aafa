#include "platform/InotifyWatch.h"

#include <sys/inotify.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstring>

#include "platform/LinuxPlatform.h"

namespace kestrio {

bool isStoredFileName(const std::string& name) {
  const auto endsWith = [&name](std::string_view suffix) {
    return name.size() > suffix.size() &&
           name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0;
  };
  return endsWith(".plist") || endsWith(".archive");
}

namespace {

class InotifyWatch final : public DirectoryWatch {
 public:
  explicit InotifyWatch(int fd) : fd_(fd) {}
  ~InotifyWatch() override { ::close(fd_); }
  InotifyWatch(const InotifyWatch&) = delete;
  InotifyWatch& operator=(const InotifyWatch&) = delete;

  int descriptor() const override { return fd_; }

  bool takeChanges() override {
    bool stored = false;
    alignas(inotify_event) std::array<char, 8192> buffer;
    while (true) {
      const ssize_t length = ::read(fd_, buffer.data(), buffer.size());
      if (length < 0 && errno == EINTR) continue;
      if (length <= 0) break;  // EAGAIN: everything pending has been read
      for (ssize_t at = 0; at + static_cast<ssize_t>(sizeof(inotify_event)) <= length;) {
        inotify_event event;
        std::memcpy(&event, buffer.data() + at, sizeof event);
        // The queue overflowed: anything may have changed.
        if (event.mask & IN_Q_OVERFLOW) stored = true;
        if (event.len > 0) {
          const char* name = buffer.data() + at + sizeof(inotify_event);
          if (isStoredFileName(std::string(name, ::strnlen(name, event.len)))) stored = true;
        }
        at += static_cast<ssize_t>(sizeof(inotify_event) + event.len);
      }
    }
    return stored;
  }

 private:
  int fd_;
};

}  // namespace

std::unique_ptr<DirectoryWatch> watchDirectoryWithInotify(const std::string& directory) {
  const int fd = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  if (fd < 0) return nullptr;
  if (::inotify_add_watch(fd, directory.c_str(),
                          IN_CLOSE_WRITE | IN_MOVED_TO | IN_DELETE | IN_ONLYDIR) < 0) {
    ::close(fd);
    return nullptr;
  }
  return std::make_unique<InotifyWatch>(fd);
}

std::unique_ptr<DirectoryWatch> LinuxPlatform::watchDocumentsDirectory() {
  return watchDirectoryWithInotify(documentsDirectory());
}

}  // namespace kestrio
