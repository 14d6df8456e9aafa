#include "cli/NamedCommand.h"

#include <algorithm>
#include <array>

namespace kestrio::cli {

namespace {

constexpr std::array<std::string_view, 10> kCommands{
    "update", "status",   "adjust",  "reset",    "daemon",
    "plan",   "settings", "history", "counters", "notifications"};

}  // namespace

std::optional<std::string_view> namedCommand(int argc, const char* const* argv) {
  for (int i = 1; i < argc; ++i) {
    const std::string_view argument = argv[i];
    if (argument == "--color") {
      ++i;  // its value
      continue;
    }
    if (argument.starts_with("-")) {
      if (argument == "-h" || argument == "--help" || argument == "--help-all" ||
          argument == "-V" || argument == "--version") {
        return std::nullopt;
      }
      continue;  // -v, --verbose, --color=WHEN
    }
    const auto* known = std::find(kCommands.begin(), kCommands.end(), argument);
    if (known == kCommands.end()) return std::nullopt;
    return *known;
  }
  return std::nullopt;
}

}  // namespace kestrio::cli
