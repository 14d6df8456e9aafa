#pragma once

#include <iosfwd>
#include <string>

namespace kestrio::cli {

// Every command that deletes or zeroes something asks first, the same way: the question ends in
// "[y/N]", and only y or yes (any case) goes on; Return, anything else or the end of input
// changes nothing. --yes answers for the user.

// Without a terminal to ask on and without --yes, the command refuses: one line on `err` naming
// `command` ("history clear") and --yes. True when it refused; the caller then stops before it
// reads or writes anything, with kRefusedStatus.
bool refusesWithoutTerminal(const std::string& command, bool yes, bool interactive,
                            std::ostream& err);
inline constexpr int kRefusedStatus = 2;

// Asks `question` with "[y/N]" on `out` and reads the answer from `in`; true for y or yes.
bool askYesNo(const std::string& question, std::istream& in, std::ostream& out);

}  // namespace kestrio::cli
