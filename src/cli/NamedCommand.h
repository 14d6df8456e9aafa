#pragma once

#include <CLI/CLI.hpp>
#include <optional>
#include <string>
#include <string_view>

namespace kestrio::cli {

// The program's own options, taken before or after the command.
struct GlobalOptions {
  bool verbose = false;
  std::string colour = "auto";
};

// Adds the global options (and the version flag) to `app`: the full parser and the search for
// the named command read the same definitions.
void addGlobalOptions(CLI::App& app, GlobalOptions& options);

// The command the arguments name (argv[0] is the program), when nothing asks for the whole
// parser: only that command's options need setting up, as building every command's costs a
// refresh a quarter of its time. Found by a parser with the global options alone, which stops at
// the first word that is none of them. Nothing for the program's own help or version, a wrong
// global option, or without a known command: every command is set up then.
std::optional<std::string_view> namedCommand(int argc, const char* const* argv);

}  // namespace kestrio::cli
