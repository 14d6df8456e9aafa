#include "accountd/Log.h"

#include <unistd.h>

#include <cerrno>
#include <string>

#include "platform/SafeText.h"

namespace kestrio::accountd {

void log(LogPriority priority, std::string_view line) {
  std::string entry = "<" + std::to_string(static_cast<int>(priority)) + ">";
  // Names from the cgroup tree are anybody's: no escape sequence or line break reaches the log.
  for (char c : text::forTerminal(line)) entry += (c == '\n' || c == '\t') ? ' ' : c;
  entry += '\n';
  while (::write(STDERR_FILENO, entry.data(), entry.size()) < 0 && errno == EINTR) {
  }
}

}  // namespace kestrio::accountd
