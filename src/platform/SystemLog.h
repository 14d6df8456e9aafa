#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace kestrio {

// How much a line matters, as syslog(3) counts: routine lines are information, so that
// `journalctl -p warning` shows only what went wrong.
enum class LogPriority { Error = 3, Warning = 4, Notice = 5, Info = 6 };

// Where the programs' diagnostic lines go: the systemd journal when there is one, else syslog.
// They never reach the terminal on their own, so a command's output stays what the user asked
// for; `verbose` (the command line's --verbose) also shows them on standard error. A line meant
// for the user (a wait for another process) is told: logged as a notice and always shown.
class SystemLog {
 public:
  struct Outputs {
    // Sends one entry to the journal; false when there is no journal to take it.
    std::function<bool(std::string_view, LogPriority)> journal;
    std::function<void(std::string_view, LogPriority)> syslog;
    // Writes one whole line, line break included, to standard error.
    std::function<void(std::string_view)> terminal;
  };
  // The journal over its socket, syslog(3), and standard error.
  static Outputs system();

  SystemLog(Outputs outputs, bool verbose) : outputs_(std::move(outputs)), verbose_(verbose) {}

  void log(std::string_view line, LogPriority priority = LogPriority::Info);
  void tell(std::string_view line);

  // One line as the log holds it: a line break inside would split one entry into two, and
  // names from files and the user must not carry escape sequences to a terminal.
  static std::string entry(std::string_view line);

 private:
  void record(const std::string& text, LogPriority priority);

  Outputs outputs_;
  bool verbose_;
};

}  // namespace kestrio
