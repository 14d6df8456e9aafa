#pragma once

#include <iosfwd>
#include <optional>
#include <string>

#include "platform/Platform.h"

namespace CLI {
class App;
}

namespace kestrio::cli {

// What `kestrio counters add|edit|pause|resume|reset|remove|move` was asked to do.
struct CounterCommand {
  std::string action;                    // the subcommand's name; empty for the list
  std::string id;                        // the counter: its position (from 1) or its identifier
  std::string name;                      // add: the name
  std::optional<std::string> newName;    // edit --name
  std::optional<std::string> network;    // cellular, wifi or both
  std::optional<std::string> direction;  // sent, received or both
  std::optional<std::string> ends;       // an end date and time
  bool noEnd = false;
  bool alert = false;
  bool noAlert = false;
  bool roaming = false;
  bool noRoaming = false;
  bool yes = false;
  std::string to;  // move: the new position
};

// Declares the subcommands of `kestrio counters` on `counters`, filling `command`.
void addCounterSubcommands(CLI::App& counters, CounterCommand& command);

// Runs the subcommand chosen: each change goes through the store operations the screens use,
// as one transaction under the documents lock, and is read back once stored. Bad input (an
// unknown counter, an end in the past, an unreadable archive) changes nothing and answers 2;
// a change that could not be stored answers 1, with one line on `err` saying why.
int runCounterCommand(Platform& platform, const CounterCommand& command, bool interactive,
                      std::istream& in, std::ostream& out, std::ostream& err);

// An end typed on the command line: "YYYY-MM-DD HH:MM" (or with a "T"), "YYYY-MM-DD" for
// midnight at the start of that day, or the locale's short date and time. Nothing when the text
// is none of these.
std::optional<Date> parseEndDate(Platform& platform, const std::string& text);

}  // namespace kestrio::cli
