#include "cli/NamedCommand.h"

#include <algorithm>
#include <array>

#include "cli/Commands.h"
#include "cli/Suggestion.h"

namespace kestrio::cli {

namespace {

constexpr std::array<std::string_view, 13> kCommands{
    "update",  "status",   "adjust",        "reset",       "daemon", "plan",      "settings",
    "history", "counters", "notifications", "connections", "apps",   "__complete"};

}  // namespace

void addGlobalOptions(CLI::App& app, GlobalOptions& options) {
  app.set_version_flag("-V,--version", std::string("kestrio ") + version(),
                       "Print the version and exit");
  // The global options are also taken after the command: kestrio status --verbose.
  app.fallthrough();
  app.add_flag("-v,--verbose", options.verbose,
               "Also show the diagnostic log on standard error (it goes to the system log)");
  app.add_option("--color", options.colour,
                 "Colour the status words: auto (on a terminal, unless NO_COLOR is set), always "
                 "or never")
      ->check(oneOf({"auto", "always", "never"}))
      ->type_name("WHEN");
}

std::optional<std::string_view> namedCommand(int argc, const char* const* argv) {
  CLI::App scan{"", "kestrio"};
  GlobalOptions ignored;
  addGlobalOptions(scan, ignored);
  scan.prefix_command();
  try {
    scan.parse(argc, argv);
  } catch (const CLI::Error&) {
    return std::nullopt;  // help, version or a wrong option: the full parser answers
  }
  const std::vector<std::string> rest = scan.remaining();
  if (rest.empty()) return std::nullopt;
  const auto* known = std::find(kCommands.begin(), kCommands.end(), rest.front());
  if (known == kCommands.end()) return std::nullopt;
  return *known;
}

}  // namespace kestrio::cli
