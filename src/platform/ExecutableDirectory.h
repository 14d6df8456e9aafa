#pragma once

#include <unistd.h>

#include <climits>
#include <string>

namespace kestrio {

// The directory of the running program, from which its installed or built companions (the
// settings schema, the place names module) are found; empty when the kernel does not say.
inline std::string executableDirectory() {
  char buffer[PATH_MAX];
  const ssize_t length = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
  if (length <= 0) return {};
  std::string path(buffer, static_cast<std::size_t>(length));
  return path.substr(0, path.rfind('/'));
}

}  // namespace kestrio
