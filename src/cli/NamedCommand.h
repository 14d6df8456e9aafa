#pragma once

#include <optional>
#include <string_view>

namespace kestrio::cli {

// The command the arguments name (argv[0] is the program), when nothing asks for the whole
// parser: only that command's options need setting up, as building every command's costs a
// refresh a quarter of its time. Nothing for the program's own help or version, or without a
// known command: every command is set up then.
std::optional<std::string_view> namedCommand(int argc, const char* const* argv);

}  // namespace kestrio::cli
