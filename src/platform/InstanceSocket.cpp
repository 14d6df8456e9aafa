#include "platform/InstanceSocket.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <utility>

namespace kestrio {

namespace {

// The socket's address; false when the path does not fit one.
bool addressOf(const std::string& path, sockaddr_un* address) {
  *address = sockaddr_un{};
  address->sun_family = AF_UNIX;
  if (path.empty() || path.size() >= sizeof address->sun_path) return false;
  std::memcpy(address->sun_path, path.data(), path.size());
  return true;
}

// Holds an exclusive lock on a file for the scope: one claim of a socket at a time.
class ClaimLock {
 public:
  explicit ClaimLock(const std::string& path)
      : fd_(::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600)) {
    if (fd_ >= 0) {
      while (::flock(fd_, LOCK_EX) != 0 && errno == EINTR) {
      }
    }
  }
  ~ClaimLock() {
    if (fd_ >= 0) ::close(fd_);
  }
  ClaimLock(const ClaimLock&) = delete;
  ClaimLock& operator=(const ClaimLock&) = delete;

 private:
  int fd_;
};

}  // namespace

std::string instanceDirectory(const std::string& runtimeDirectory, const std::string& dataDirectory,
                              uid_t user) {
  struct stat info {};
  if (!runtimeDirectory.empty() && runtimeDirectory.front() == '/' &&
      ::stat(runtimeDirectory.c_str(), &info) == 0 && S_ISDIR(info.st_mode) &&
      info.st_uid == user && (info.st_mode & 0777) == 0700) {
    return runtimeDirectory;
  }
  return dataDirectory;
}

std::string instanceSocketPath(const std::string& runtimeDirectory,
                               const std::string& dataDirectory, std::string_view kind) {
  const std::string directory = instanceDirectory(runtimeDirectory, dataDirectory, ::geteuid());
  if (directory == dataDirectory) return dataDirectory + "/" + std::string(kind) + ".socket";
  // The same directory reached through a link or with a trailing slash is the same instance.
  char resolved[PATH_MAX];
  const std::string path =
      ::realpath(dataDirectory.c_str(), resolved) ? std::string(resolved) : dataDirectory;
  std::uint64_t hash = 14695981039346656037ull;  // FNV-1a: the same in every process
  for (unsigned char c : path) {
    hash ^= c;
    hash *= 1099511628211ull;
  }
  char name[64];
  std::snprintf(name, sizeof name, "/kestrio-%.16s-%016llx", std::string(kind).c_str(),
                static_cast<unsigned long long>(hash));
  return directory + name;
}

bool believablePeer(std::optional<uid_t> peer, uid_t self) {
  return peer.has_value() && *peer == self;
}

std::optional<uid_t> peerUser(int socket) {
  ucred peer{};
  socklen_t size = sizeof peer;
  if (::getsockopt(socket, SOL_SOCKET, SO_PEERCRED, &peer, &size) != 0 || size != sizeof peer) {
    return std::nullopt;
  }
  return peer.uid;
}

int connectToInstance(const std::string& path, bool* untrusted) {
  if (untrusted != nullptr) *untrusted = false;
  sockaddr_un address{};
  if (!addressOf(path, &address)) {
    errno = ENAMETOOLONG;
    return -1;
  }
  // Without waiting: a listener whose queue is full answers EAGAIN at once instead of holding
  // the caller.
  const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (fd < 0) return -1;
  if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
    const int error = errno;
    ::close(fd);
    errno = error;
    return -1;
  }
  if (!believablePeer(peerUser(fd), ::geteuid())) {
    if (untrusted != nullptr) *untrusted = true;
    ::close(fd);
    errno = EPERM;
    return -1;
  }
  ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  return fd;
}

std::optional<InstanceListener> InstanceListener::listen(const std::string& path, int* error) {
  auto fail = [error](int number) -> std::optional<InstanceListener> {
    if (error != nullptr) *error = number;
    return std::nullopt;
  };
  sockaddr_un address{};
  if (!addressOf(path, &address)) return fail(ENAMETOOLONG);
  const ClaimLock lock(path + ".lock");
  if (const int live = connectToInstance(path); live >= 0) {
    ::close(live);
    return fail(EADDRINUSE);
  }
  // A full queue is a live listener, and in a directory only the user can write to, the user's
  // own: never taken from it.
  if (errno == EAGAIN) return fail(EADDRINUSE);
  // Nobody of the user's own listens: what is left there is stale, or not to be believed.
  struct stat left {};
  if (::lstat(path.c_str(), &left) == 0 && S_ISSOCK(left.st_mode)) ::unlink(path.c_str());
  const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (fd < 0) return fail(errno);
  const bool bound = ::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
  const int bindError = errno;
  struct stat info {};
  if (!bound || ::listen(fd, SOMAXCONN) != 0 || ::lstat(path.c_str(), &info) != 0) {
    // Something other than a socket in the way is no running instance.
    const int number = bound ? errno : (bindError == EADDRINUSE ? EEXIST : bindError);
    if (bound) ::unlink(path.c_str());
    ::close(fd);
    return fail(number);
  }
  return InstanceListener(fd, path, info.st_dev, info.st_ino);
}

InstanceListener::InstanceListener(InstanceListener&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)),
      path_(std::exchange(other.path_, std::string())),
      device_(other.device_),
      inode_(other.inode_) {}

InstanceListener& InstanceListener::operator=(InstanceListener&& other) noexcept {
  if (this != &other) {
    close();
    fd_ = std::exchange(other.fd_, -1);
    path_ = std::exchange(other.path_, std::string());
    device_ = other.device_;
    inode_ = other.inode_;
  }
  return *this;
}

InstanceListener::~InstanceListener() {
  close();
}

int InstanceListener::releaseDescriptor() {
  return std::exchange(fd_, -1);
}

void InstanceListener::close() {
  if (fd_ >= 0) ::close(std::exchange(fd_, -1));
  if (path_.empty()) return;
  // Only our own file: a later instance may have replaced it.
  struct stat info {};
  if (::lstat(path_.c_str(), &info) == 0 && info.st_dev == device_ && info.st_ino == inode_) {
    ::unlink(path_.c_str());
  }
  path_.clear();
}

}  // namespace kestrio
