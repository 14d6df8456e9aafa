#pragma once

#include <CLI/CLI.hpp>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kestrio::cli {

// The candidates nearest to a mistyped `word`, as git suggests a command: those that begin with
// it, or else those within a few edits (a letter left out, added, changed or two swapped). Empty
// when nothing is near enough to be what was meant.
std::vector<std::string> nearestWords(std::string_view word,
                                      const std::vector<std::string>& candidates);

// "a", "a or b", "a, b or c", each quoted as the user would type it.
std::string alternatives(const std::vector<std::string>& words);

// An option's check that its value is one of `words`; a refusal names them and the nearest
// ("--network: "wfi" is not cellular or wifi; did you mean wifi?").
CLI::Validator oneOf(std::vector<std::string> words);

// The words of the command the parser had reached ("history delete"); empty for the program.
std::string commandPath(const CLI::App& program);

// One line for a parse error: the unknown command or option with the nearest ones ("did you
// mean …?"), pointing to the help of the command that was meant.
std::string explainParseError(const CLI::App& program, const CLI::ParseError& error);

}  // namespace kestrio::cli
