#include "platform/SystemLog.h"

// The entries say what happened to the data, not where in Kestrio's source.
#define SD_JOURNAL_SUPPRESS_LOCATION
#include <sys/uio.h>
#include <syslog.h>
#include <systemd/sd-journal.h>
#include <unistd.h>

#include <array>
#include <cerrno>

#include "platform/SafeText.h"

namespace kestrio {

SystemLog::Outputs SystemLog::system() {
  Outputs outputs;
  outputs.journal = [](std::string_view text) {
    std::string message = "MESSAGE=";
    message += text;
    std::string priority = "PRIORITY=" + std::to_string(LOG_NOTICE);
    std::string identifier = "SYSLOG_IDENTIFIER=kestrio";
    std::array<iovec, 3> fields{iovec{message.data(), message.size()},
                                iovec{priority.data(), priority.size()},
                                iovec{identifier.data(), identifier.size()}};
    return sd_journal_sendv(fields.data(), static_cast<int>(fields.size())) >= 0;
  };
  outputs.syslog = [](std::string_view text) {
    static const bool opened = [] {
      ::openlog("kestrio", LOG_PID, LOG_USER);
      return true;
    }();
    (void)opened;
    const std::string message(text);
    ::syslog(LOG_NOTICE, "%s", message.c_str());
  };
  outputs.terminal = [](std::string_view line) {
    // One write per line, so lines of processes sharing the terminal never interleave.
    while (::write(STDERR_FILENO, line.data(), line.size()) < 0 && errno == EINTR) {
    }
  };
  return outputs;
}

std::string SystemLog::entry(std::string_view line) {
  std::string text;
  for (char c : text::forTerminal(line)) text += (c == '\n' || c == '\t') ? ' ' : c;
  return text;
}

void SystemLog::record(const std::string& text) {
  if (!outputs_.journal || !outputs_.journal(text)) {
    if (outputs_.syslog) outputs_.syslog(text);
  }
}

void SystemLog::log(std::string_view line) {
  const std::string text = entry(line);
  record(text);
  if (verbose_ && outputs_.terminal) outputs_.terminal("kestrio: " + text + "\n");
}

void SystemLog::tell(std::string_view line) {
  const std::string text = entry(line);
  record(text);
  if (outputs_.terminal) outputs_.terminal("kestrio: " + text + "\n");
}

}  // namespace kestrio
