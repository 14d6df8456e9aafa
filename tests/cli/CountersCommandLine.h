#pragma once

#include <CLI/CLI.hpp>
#include <algorithm>
#include <sstream>
#include <string>
#include <vector>

#include "cli/CountersCommand.h"
#include "platform/Platform.h"

namespace kestrio::cli {

// `kestrio counters ARGS…` as the command line parses it, with `typed` on standard input.
inline int runCountersCommandLine(Platform& platform, std::vector<std::string> args,
                                  std::ostream& out, std::ostream& err, bool interactive = false,
                                  const std::string& typed = "") {
  CLI::App app;
  CounterCommand command;
  addCounterSubcommands(*app.add_subcommand("counters"), command);
  args.insert(args.begin(), "counters");
  std::reverse(args.begin(), args.end());
  app.parse(args);
  std::istringstream in(typed);
  return runCounterCommand(platform, command, interactive, in, out, err);
}

}  // namespace kestrio::cli
