#include "platform/SystemLog.h"

#include <sys/uio.h>
#include <syslog.h>
#include <unistd.h>

#include <array>
#include <cerrno>

#include "platform/SafeText.h"
#include "platform/Systemd.h"

namespace kestrio {

static_assert(static_cast<int>(LogPriority::Error) == LOG_ERR &&
              static_cast<int>(LogPriority::Warning) == LOG_WARNING &&
              static_cast<int>(LogPriority::Notice) == LOG_NOTICE &&
              static_cast<int>(LogPriority::Info) == LOG_INFO);

SystemLog::Outputs SystemLog::system() {
  Outputs outputs;
  outputs.journal = [](std::string_view text, LogPriority level) {
    const systemd::Functions* sd = systemd::load();
    if (sd == nullptr) return false;
    std::string message = "MESSAGE=";
    message += text;
    std::string priority = "PRIORITY=" + std::to_string(static_cast<int>(level));
    std::string identifier = "SYSLOG_IDENTIFIER=kestrio";
    std::array<iovec, 3> fields{iovec{message.data(), message.size()},
                                iovec{priority.data(), priority.size()},
                                iovec{identifier.data(), identifier.size()}};
    return sd->sd_journal_sendv(fields.data(), static_cast<int>(fields.size())) >= 0;
  };
  outputs.syslog = [](std::string_view text, LogPriority level) {
    static const bool opened = [] {
      ::openlog("kestrio", LOG_PID, LOG_USER);
      return true;
    }();
    (void)opened;
    const std::string message(text);
    ::syslog(static_cast<int>(level), "%s", message.c_str());
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

void SystemLog::record(const std::string& text, LogPriority priority) {
  if (!outputs_.journal || !outputs_.journal(text, priority)) {
    if (outputs_.syslog) outputs_.syslog(text, priority);
  }
}

void SystemLog::log(std::string_view line, LogPriority priority) {
  const std::string text = entry(line);
  record(text, priority);
  if (verbose_ && outputs_.terminal) outputs_.terminal("kestrio: " + text + "\n");
}

void SystemLog::tell(std::string_view line) {
  const std::string text = entry(line);
  record(text, LogPriority::Notice);
  if (outputs_.terminal) outputs_.terminal("kestrio: " + text + "\n");
}

}  // namespace kestrio
