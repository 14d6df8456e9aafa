#include "accountd/ListeningSocket.h"

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace kestrio::accountd {

int openListeningSocket(const std::string& path, std::string& error) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  if (path.empty() || path.front() != '/' || path.size() >= sizeof address.sun_path) {
    error = "the socket path " + path + " is not an absolute path short enough for a socket";
    return -1;
  }
  std::memcpy(address.sun_path, path.data(), path.size());

  const std::string directory = path.substr(0, path.rfind('/'));
  if (!directory.empty() && ::mkdir(directory.c_str(), 0755) != 0 && errno != EEXIST) {
    error = "cannot create " + directory + ": " + std::strerror(errno);
    return -1;
  }
  struct stat info {};
  if (!directory.empty() &&
      (::lstat(directory.c_str(), &info) != 0 || !S_ISDIR(info.st_mode) ||
       info.st_uid != ::geteuid() || (info.st_mode & (S_IWGRP | S_IWOTH)) != 0)) {
    error = directory + " is not a directory of this service's own that only it may change";
    return -1;
  }
  if (::lstat(path.c_str(), &info) == 0) {
    if (!S_ISSOCK(info.st_mode) || info.st_uid != ::geteuid()) {
      error = path + " exists and is not this service's socket";
      return -1;
    }
    ::unlink(path.c_str());
  }

  const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd < 0) {
    error = std::string("cannot create a socket: ") + std::strerror(errno);
    return -1;
  }
  // Every user may connect: the answer holds only what the caller's credentials allow.
  if (::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
      ::chmod(path.c_str(), 0666) != 0 || ::listen(fd, 64) != 0) {
    error = "cannot listen on " + path + ": " + std::strerror(errno);
    ::close(fd);
    return -1;
  }
  return fd;
}

}  // namespace kestrio::accountd
