#pragma once

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>

namespace kestrio::testing {

// The name a daemon of this data directory once held in the abstract socket namespace, which any
// local user could bind first.
inline std::string abstractDaemonName(const std::string& directory) {
  const std::string path = std::filesystem::canonical(directory).string();
  std::uint64_t hash = 14695981039346656037ull;
  for (unsigned char c : path) {
    hash ^= c;
    hash *= 1099511628211ull;
  }
  char name[64];
  std::snprintf(name, sizeof name, "kestrio-daemon/%u/%016llx", static_cast<unsigned>(::getuid()),
                static_cast<unsigned long long>(hash));
  return name;
}

// Binds and listens on a name in the abstract namespace, as a squatter would; the descriptor, or
// -1 when the name could not be taken.
inline int squatAbstractName(const std::string& name) {
  const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return -1;
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::memcpy(address.sun_path + 1, name.data(), name.size());
  const auto length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + name.size());
  if (::bind(fd, reinterpret_cast<const sockaddr*>(&address), length) != 0 ||
      ::listen(fd, 1) != 0) {
    ::close(fd);
    return -1;
  }
  return fd;
}

}  // namespace kestrio::testing
